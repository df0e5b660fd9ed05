#pragma once
// Task stepping and the script location of the running instruction.
#include <cstdint>
#include <string>

struct ObjectTreeNode;
struct ExecutionContext;

extern uint8_t g_CommandSwitches[128];
// The task being stepped and the index of its running instruction; null and
// -1 outside task stepping.
extern ExecutionContext* g_CurrentContext;
extern ObjectTreeNode* g_CurrentTaskNode;
extern int32_t g_CurrentInstruction;

// Steps every task of the tree once; non-zero ends the program.
uint8_t StepTasks(ObjectTreeNode* root);
// The first handler of every instruction: holds the instruction while the
// main window is inactive, then runs the instruction's handler.
int32_t InstructionPreStep();
// The script file and line of the instruction being run; false outside task
// stepping or before the script names are loaded.
bool GetCurrentScriptLocation(std::string* scriptName, int* line);
