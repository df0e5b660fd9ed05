#pragma once
// The script engine's one-time tables.
#include <cstdint>

void SeedRandom(uint32_t seed);
void InitEvaluatorOperands();
void FillOperatorTable(int mode);
void FillAssignOperatorTable();
void FillCommandSwitches();
