#pragma once
// The script engine's one-time tables.
#include <cstdint>

void SeedRandom(uint32_t seed);
void InitEvaluatorOperands();
void FillOperatorTable(int mode);
void FillAssignOperatorTable();
void FillCommandSwitches();
// Frees and resets what script execution keeps between instructions: the
// evaluator's strings, the argument slots, the work buffers, the ended tasks
// and the stepping state (tests run the engine more than once).
void ReleaseScriptExecution();
