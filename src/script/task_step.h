#pragma once
// Task stepping and the script location of the running instruction.
#include <cstdint>
#include <string>

struct ObjectTreeNode;

extern uint8_t g_CommandSwitches[128];
// Steps every task of the tree once; non-zero ends the program.
uint8_t StepTasks(ObjectTreeNode* root);
// The script file and line of the instruction being run; false outside task
// stepping or before the script names are loaded.
bool GetCurrentScriptLocation(std::string* scriptName, int* line);
