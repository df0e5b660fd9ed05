#pragma once
// Task stepping, the per-instruction pre-step with the inactive pause, the
// dispatcher's own commands and the script location of the running
// instruction.
#include <atomic>
#include <cstdint>
#include <string>

struct ObjectTreeNode;
struct ExecutionContext;

constexpr int kCommandSwitchCount = 128;
extern uint8_t g_CommandSwitches[kCommandSwitchCount];
// The task being stepped and the index of its running instruction; null and
// -1 outside task stepping.
extern ExecutionContext* g_CurrentContext;
extern ObjectTreeNode* g_CurrentTaskNode;
extern int32_t g_CurrentInstruction;
// Incremented by the frame step before each stepping pass.
extern int64_t g_StepCounter;
// Set by a task start that asks for another pass in this frame, with the
// order key that pass starts from.
extern int64_t g_RerunRequest;
extern int64_t g_RerunOrderKey;
extern uint8_t g_LastHandlerResult;
extern int64_t g_DebugStepCount;
extern uint8_t g_DebugCornerBits;
// Read by the sound thread as well, without the lock.
extern std::atomic<uint8_t> g_InactivePause;
extern uint32_t g_InactivePauseStart;
extern std::atomic<uint8_t> g_RunInBackground;
// Called when an inactive pause ends with its length, so that the pausable
// stopwatches skip it (set by the shell; null: nothing).
extern void (*g_InactivePauseEnded)(uint32_t pausedMs);
// The desktop cursor position for the debug corner check (tests replace it).
extern bool (*g_CursorPositionSource)(int* x, int* y);

// Steps every enabled task below node once, highest order key first;
// returns 0.
uint8_t StepTasks(ObjectTreeNode* node);
// The first handler of every instruction: holds the instruction while the
// main window is inactive, then runs the instruction's handler.
int32_t InstructionPreStep();
void UpdateInactivePause();
void BeginInactivePause();
void EndInactivePause();
// Clears the message text when the task's last message asked for it.
void ClearPendingMessageText(ExecutionContext* context);

// The dispatcher's commands.
int32_t CmdUndefined();
int32_t CmdEndProgram();
int32_t CmdSetCommandSwitches();
int32_t CmdValidateOnly15();
int32_t CmdNoOperation();
int32_t NoOperation();

// The script file and line of the instruction being run; false outside task
// stepping or before the script names are loaded.
bool GetCurrentScriptLocation(std::string* scriptName, int* line);
// Back to the state of a new process.
void ResetTaskStepping();
