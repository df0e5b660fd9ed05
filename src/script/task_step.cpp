// Task stepping: the pass over the task tree, waits, the instruction loop,
// the inactive pause and the debug corner check.
#include "script/task_step.h"

#include <cstdint>
#include <cstring>

#include "core/errors.h"
#include "core/object_tree.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "core/window_table.h"
#include "layer/text_setup.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "script/arguments.h"
#include "script/engine_config.h"
#include "script/execution_context.h"
#include "script/instruction_stream.h"
#include "script/script_data.h"

ExecutionContext* g_CurrentContext = nullptr;
ObjectTreeNode* g_CurrentTaskNode = nullptr;
int32_t g_CurrentInstruction = -1;
int64_t g_StepCounter = 0;
int64_t g_RerunRequest = 0;
int64_t g_RerunOrderKey = 0;
uint8_t g_LastHandlerResult = 0;
int64_t g_DebugStepCount = 0;
uint8_t g_DebugCornerBits = 0;
std::atomic<uint8_t> g_InactivePause{0};
uint32_t g_InactivePauseStart = 0;
std::atomic<uint8_t> g_RunInBackground{1};
uint8_t g_CommandSwitches[kCommandSwitchCount];
void (*g_InactivePauseEnded)(uint32_t pausedMs) = nullptr;
bool (*g_CursorPositionSource)(int* x, int* y) = GetGlobalCursorPosition;

namespace {

constexpr int kDebugSamplePeriod = 1024;
constexpr int32_t kNoInstructionLimit = INT32_MAX;
constexpr uint8_t kAllCorners = 15;

ObjectTreeNode* ChildAt(const ObjectTreeNode* node, int32_t position) {
  ObjectTreeNode* child = node->mFirstChild;
  for (int32_t index = 1; child != nullptr && index < position; ++index) child = child->mNextSibling;
  return child;
}

// Counts the visit against the task's waits; true when it still waits.
bool StillWaiting(ExecutionContext* context) {
  if (context->mWaitFrames > 0) {
    context->mWaitFrames -= 1;
  } else {
    context->mWaitFrames = 0;
  }
  // Ticks wrap: "reached" is a signed 32-bit difference.
  if (context->mWaitUntil != 0 && static_cast<int32_t>(GetTimeMs() - context->mWaitUntil) >= 0) {
    context->mWaitUntil = 0;
  }
  return context->mWaitFrames != 0 || context->mWaitUntil != 0;
}

void SampleDebugCorners() {
  int x = 0;
  int y = 0;
  if (g_CursorPositionSource == nullptr || !g_CursorPositionSource(&x, &y)) return;
  int32_t right = g_DesktopWidth - 9;
  int32_t bottom = g_DesktopHeight - 9;
  if (x <= 8 && y <= 8) {
    g_DebugCornerBits |= 1;
  } else if (x <= 8 && y >= bottom) {
    g_DebugCornerBits |= 2;
  } else if (x >= right && y <= 8) {
    g_DebugCornerBits |= 4;
  } else if (x >= right && y >= bottom) {
    g_DebugCornerBits |= 8;
  }
  if (g_DebugCornerBits != kAllCorners) return;
  g_DebugCornerBits = 0;
  int answer = ShowPlatformMessageBox(nullptr, "[デバッグ機能]",
                                      "マウスによる画面四隅への移動を検出しました。\n\n強制的に終了します。よろしいですか？",
                                      kBoxYesNo | kBoxIconInformation);
  if (answer == kAnswerYes) g_QuitFlag.store(1);
}

// The handler array of the instruction loop: the command's handler, or the
// pre-step while the scripts are held for an inactive window.
inline int HandlerArray() { return g_RunInBackground != 0 || g_InactivePause == 0 ? 1 : 0; }

void RunTask(ExecutionContext* context) {
  g_LastHandlerResult = 0;
  while (g_QuitFlag.load() == 0 && g_LastHandlerResult == 0) {
    int32_t k = context->mPc;
    if (context->mHandlers == nullptr || k < 0 || k >= context->mInstructionCount) {
      g_CurrentInstruction = -1;
      ReportErrorAtScript(kMsgMalformedScriptState);
      break;
    }
    int array = HandlerArray();
    // The instructions that have a decoded form run from the file's
    // instruction stream (not under debug mode, which counts each one).
    if (array == 1 && g_DebugMode == 0 && RunDecodedInstructions(context, kNoInstructionLimit)) continue;
    context->mPc = k + 1;
    g_CurrentInstruction = k;
    FlushStreamState();
    g_LastHandlerResult = static_cast<uint8_t>(context->mHandlers[array][k]());
    if (g_DebugMode != 0) {
      g_DebugStepCount += 1;
      if (g_DebugStepCount % kDebugSamplePeriod == 0) SampleDebugCorners();
    }
  }
  FlushStreamState();
}

void StepTask(ObjectTreeNode* child, ExecutionContext* context) {
  g_CurrentContext = context;
  g_CurrentTaskNode = child;
  context->mStepStamp = g_StepCounter;
  ClearPendingMessageText(context);
  if (StillWaiting(context)) return;
  RunTask(context);
}

}  // namespace

uint8_t StepTasks(ObjectTreeNode* node) {
  if (node == nullptr) return 0;
  for (int32_t position = node->mChildCount; position >= 1; --position) {
    if (g_QuitFlag.load() != 0) break;
    ObjectTreeNode* child = ChildAt(node, position);
    if (child == nullptr) continue;
    if (g_RerunRequest == 0 && g_RerunOrderKey != 0) {
      if (child->mOrderKey > g_RerunOrderKey) continue;
      g_RerunOrderKey = 0;
    }
    auto* context = static_cast<ExecutionContext*>(child->mPayload);
    if (context == nullptr || (context->mEnable1 & context->mEnable2) == 0) continue;
    if (child->mIsGroup != 0) {
      StepTasks(child);
      continue;
    }
    StepTask(child, context);
  }
  return 0;
}

void ClearPendingMessageText(ExecutionContext* context) {
  if (context == nullptr || context->mTextPending == 0) return;
  context->mTextPending = 0;
  ClearMessageText();
}

int32_t InstructionPreStep() {
  constexpr uint32_t kPauseSleepMs = 10;
  while (g_InactivePause == 1) {
    UpdateInactivePause();
    while (PeekWindowMessage() && (g_ThreadedStep.load() == 0 || (g_PacingSleep.load() != 0 && g_WorkersIdle.load() != 0))) {
      WindowMessage message;
      if (!GetWindowMessage(&message)) {
        g_Running.store(0);
        break;
      }
      DispatchWindowMessage(message);
    }
    if (g_Running.load() == 0 || g_QuitFlag.load() != 0) return 1;
    if (g_InactivePause != 1) break;
    SleepMs(kPauseSleepMs);
  }
  ExecutionContext* context = g_CurrentContext;
  int array = HandlerArray();
  if (context == nullptr || context->mHandlers == nullptr || array == 0) return 1;
  return context->mHandlers[array][g_CurrentInstruction]();
}

void UpdateInactivePause() {
  if (g_RunInBackground != 0) {
    g_InactivePause = 0;
    return;
  }
  const WindowObject* window = g_WindowTable[0];
  uint8_t active = window != nullptr ? window->mActive : 1;
  if (active == 0 && g_InactivePause == 0) {
    BeginInactivePause();
  } else if (active == 1 && g_InactivePause != 0) {
    EndInactivePause();
  }
}

void BeginInactivePause() {
  std::lock_guard<std::recursive_mutex> lock(g_GlobalLock);
  if (g_InactivePause != 0) return;
  g_InactivePause = 1;
  g_InactivePauseStart = GetTimeMs();
}

void EndInactivePause() {
  std::lock_guard<std::recursive_mutex> lock(g_GlobalLock);
  if (g_InactivePause == 0) return;
  g_InactivePause = 0;
  uint32_t paused = GetTimeMs() - g_InactivePauseStart;
  if (g_InactivePauseEnded != nullptr) g_InactivePauseEnded(paused);
  g_InactivePauseStart = 0;
}

int32_t CmdUndefined() {
  ReportErrorAtScript(kMsgUndefinedCommand);
  return -1;
}

int32_t CmdEndProgram() {
  if (FetchCommandArguments(kCommandEndProgram) != 0) return -1;
  int slot = ArgSlot(0);
  if (slot != 0) g_RelaunchOnExit.store(static_cast<uint8_t>(g_ArgInt[slot]));
  g_QuitFlag.store(1);
  return 0;
}

int32_t CmdSetCommandSwitches() {
  if (FetchCommandArguments(kCommandSwitches) != 0) return -1;
  for (int id = 3; id <= 123; ++id) {
    int slot = ArgSlot(id);
    if (slot != 0) g_CommandSwitches[id - 2] = static_cast<uint8_t>(g_ArgInt[slot]);
  }
  return 0;
}

int32_t CmdValidateOnly15() { return FetchCommandArguments(kCommandValidate15) != 0 ? -1 : 0; }
int32_t CmdNoOperation() { return 0; }
int32_t NoOperation() { return 0; }

bool GetCurrentScriptLocation(std::string* scriptName, int* line) {
  const ExecutionContext* context = g_CurrentContext;
  if (context == nullptr || g_ScriptNames == nullptr || g_ScriptFileTable == nullptr) return false;
  uint16_t script = context->mScriptNumber;
  if (script >= g_ScriptCount || g_ScriptNames[script] == nullptr) return false;
  const ScriptFileRecord* record = g_ScriptFileTable[script];
  if (record == nullptr || g_CurrentInstruction < 0 || g_CurrentInstruction >= record->mInstructionCount) {
    return false;
  }
  *scriptName = g_ScriptNames[script];
  *line = record->mLines[g_CurrentInstruction];
  return true;
}

void ResetTaskStepping() {
  g_CurrentContext = nullptr;
  g_CurrentTaskNode = nullptr;
  g_CurrentInstruction = -1;
  g_StepCounter = 0;
  g_RerunRequest = 0;
  g_RerunOrderKey = 0;
  g_LastHandlerResult = 0;
  g_DebugStepCount = 0;
  g_DebugCornerBits = 0;
  g_InactivePause = 0;
  g_InactivePauseStart = 0;
  g_RunInBackground = 1;
  std::memset(g_CommandSwitches, 1, sizeof(g_CommandSwitches));
  g_CursorPositionSource = GetGlobalCursorPosition;
}
