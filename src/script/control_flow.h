#pragma once
// Control flow: jumps, calls and returns, if/else blocks and loops. Each
// task keeps its own block, call and loop stacks of 64 entries.
#include <cstddef>
#include <cstdint>

struct ExecutionContext;

int32_t CmdJump();
int32_t CmdCall();
int32_t CmdReturn();
int32_t CmdBlockBegin();
int32_t CmdElse();
int32_t CmdBlockGotoEnd();
int32_t CmdBlockBreak();
int32_t CmdBlockRepeat();
int32_t CmdBlockEnd();
int32_t CmdLoopBegin();
int32_t CmdLoopBreak();
int32_t CmdLoopContinue();
int32_t CmdLoopEnd();
int32_t CmdLabelExists();

// Copies text into the heap buffer held in *slot: allocated when absent,
// grown when the text it holds is shorter; a null text empties it. False
// after reporting 100010.
bool AssignStringBuffer(char** slot, const char* text);
// Moves the context into another script file when script differs from its
// own (loading the file): false when the file could not be entered.
bool SwitchScriptFile(ExecutionContext* context, uint16_t script);
// The label named by a text; -1 after reporting 108180 with the name.
int32_t FindLabelOrReport(const char* name, size_t length);
