// System variables: engine state read by number.
#include "script/system_variables.h"

#include <cstring>
#include <string>

#include "core/errors.h"
#include "core/file_list.h"
#include "core/input_state.h"
#include "core/object_tree.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "core/stopwatches.h"
#include "core/window_table.h"
#include "datasrc/compiler_link.h"
#include "layer/message_text.h"
#include "platform/clock.h"
#include "platform/memory_status.h"
#include "script/engine_config.h"
#include "script/eval.h"
#include "script/execution_context.h"
#include "script/script_data.h"
#include "script/task_step.h"
#include "script/variables.h"
#include "sound/sound_device.h"

namespace {

// The current level's frame: call entry (call depth + 1) of the running task.
CallFrame* LevelFrame() {
  ExecutionContext* context = g_CurrentContext;
  if (context == nullptr || context->mCallDepth < 0) return nullptr;
  return context->mCallFrames[context->mCallDepth + 1];
}

// A 1-based value index below or at the count; 0 when invalid.
int ValueIndex(int64_t e, uint8_t count) {
  auto k = static_cast<uint32_t>(e);
  return k >= 1 && k <= count && k <= static_cast<uint32_t>(kCallValues) ? static_cast<int>(k) : 0;
}

int64_t Presence(uint8_t count, const uint8_t* present, int64_t e) {
  auto k = static_cast<uint32_t>(e);
  if (k == 0) return count > 0 ? 1 : 0;
  int index = ValueIndex(e, count);
  return index != 0 ? present[index - 1] : 0;
}

// The variable and element of a reference; null below 1000 or without a
// record.
VariableRecord* Referenced(int64_t e, uint32_t* number, int64_t* element) {
  *number = static_cast<uint32_t>(static_cast<uint64_t>(e) >> 32);
  *element = static_cast<uint32_t>(e);
  if (*number < kFirstUserVariable) return nullptr;
  VariableRecord* record = FindVariableRecord(*number);
  return record != nullptr && ElementInRange(record, *element) ? record : nullptr;
}

// The type of the variable a reference names (the element is not needed).
int64_t ReferencedType(int64_t e) {
  auto number = static_cast<uint32_t>(static_cast<uint64_t>(e) >> 32);
  const VariableRecord* record = number >= kFirstUserVariable ? FindVariableRecord(number) : nullptr;
  if (record == nullptr || record->mVarType < kVarInt || record->mVarType > kVarString) return 0;
  return record->mVarType;
}

// Time field k (0 year .. 7 millisecond).
int64_t TimeField(const LocalTime& time, uint32_t k) {
  const int32_t fields[] = {time.mYear, time.mMonth, time.mDay, time.mDayOfWeek,
                            time.mHour, time.mMinute, time.mSecond, time.mMillisecond};
  return k < 8 ? fields[k] : 0;
}

// The cursor position of window k (0-3); 0 without a window object.
int64_t CursorOf(int k, bool y) {
  const WindowObject* window = g_WindowTable[k];
  if (window == nullptr) return 0;
  return y ? window->mCursorY : window->mCursorX;
}

// Input slots the numbered input variables name; -1 when there is none.
// 144: slot e; 147-275, 281-408, 415-542: the slot of a script key;
// 276-279, 410-413, 543-546: a joystick axis; 280, 414, 547: a joystick
// button, joystick e / 32 and button e mod 32.
int InputSlotOf(uint32_t n, int64_t e) {
  auto low = static_cast<int32_t>(e);
  auto key = [](uint32_t k) -> int { return k < static_cast<uint32_t>(kScriptKeyTableBytes) ? g_ScriptKeyTable[k] : -1; };
  auto button = [](int32_t index) -> int {
    return index < 0 ? -1 : JoystickSlot(index / kJoystickButtons, kJoystickAxes + index % kJoystickButtons);
  };
  if (n == 144) return low > 0 && low < kInputSlots ? low : -1;
  if (n >= 147 && n <= 275) return key(n - 147);
  if (n >= 276 && n <= 279) return JoystickSlot(low, n - 276);
  if (n == 280) return button(low);
  if (n >= 281 && n <= 408) return key(n - 281);
  if (n >= 410 && n <= 413) return JoystickSlot(low, n - 410);
  if (n == 414) return button(low);
  if (n >= 415 && n <= 542) return key(n - 415);
  if (n >= 543 && n <= 546) return JoystickSlot(low, n - 543);
  if (n == 547) return button(low);
  return -1;
}

bool IsCounterVariable(uint32_t n) { return n == 144 || (n >= 147 && n <= 280); }
bool IsPressCountVariable(uint32_t n) { return (n >= 281 && n <= 408) || (n >= 410 && n <= 414); }
bool IsSlotNumberVariable(uint32_t n) { return n >= 415 && n <= 547; }

int64_t ChildCount(const ObjectTreeNode* node) {
  int64_t count = 0;
  for (const ObjectTreeNode* child = node != nullptr ? node->mFirstChild : nullptr; child != nullptr;
       child = child->mNextSibling) {
    ++count;
  }
  return count;
}

// Copies a path base, cut at 255 bytes on a character boundary.
void SetPathBase(char* base, const char* text, size_t length) {
  if (base == nullptr) return;
  CopySjisBounded(base, kPathBaseBytes, std::string_view(text, length));
}

void SetLastReference(uint32_t number, int64_t element) {
  g_LastVarRef.mNumber = number;
  g_LastVarRef.mElement = element;
}

int WrongIndirectType() {
  ReportErrorAtScript(kMsgIndirectTypeMismatch);
  return -1;
}

int NotWritable() {
  ReportErrorAtScript(kMsgSystemVariableReadOnly);
  return -1;
}

int TaskLocal(int64_t e) {
  auto k = static_cast<uint32_t>(e);
  return k >= 1 && k <= static_cast<uint32_t>(kTaskLocals) ? static_cast<int>(k) : 0;
}

}  // namespace

int64_t ReadSystemInt(uint32_t n, int64_t e) {
  const CallFrame* frame = LevelFrame();
  ExecutionContext* context = g_CurrentContext;
  switch (n) {
    case kSysLoopCounter: {
      if (context == nullptr || context->mLoopDepth <= 0) return 0;
      const LoopFrame* loop = context->mLoopFrames[context->mLoopDepth];
      return loop != nullptr ? loop->mCounter : 0;
    }
    case kSysIndirectInt: {
      uint32_t number = 0;
      int64_t element = 0;
      const VariableRecord* record = Referenced(e, &number, &element);
      if (record == nullptr) return 0;
      SetLastReference(number, element);
      if (record->mVarType == kVarInt) return GetIntElement(number, element);
      if (record->mVarType == kVarReal) return TruncateRealToInt(GetRealElement(number, element));
      return 0;
    }
    case kSysCallInt: {
      int k = frame != nullptr ? ValueIndex(e, frame->mIntArgCount) : 0;
      return k != 0 ? frame->mIntArgs[k - 1] : 0;
    }
    case kSysCallPresent:
      if (frame == nullptr) return 0;
      return Presence(frame->mIntArgCount, frame->mIntArgPresent, e) |
             Presence(frame->mRealArgCount, frame->mRealArgPresent, e) |
             Presence(frame->mStringArgCount, frame->mStringArgPresent, e);
    case kSysCallIntPresent:
      return frame != nullptr ? Presence(frame->mIntArgCount, frame->mIntArgPresent, e) : 0;
    case kSysCallRealPresent:
      return frame != nullptr ? Presence(frame->mRealArgCount, frame->mRealArgPresent, e) : 0;
    case kSysCallStringPresent:
      return frame != nullptr ? Presence(frame->mStringArgCount, frame->mStringArgPresent, e) : 0;
    case kSysResultInt: {
      int k = frame != nullptr ? ValueIndex(e, frame->mIntResultCount) : 0;
      return k != 0 ? frame->mIntResults[k - 1] : 0;
    }
    case kSysResultPresent:
      if (frame == nullptr) return 0;
      return Presence(frame->mIntResultCount, frame->mIntResultPresent, e) |
             Presence(frame->mRealResultCount, frame->mRealResultPresent, e) |
             Presence(frame->mStringResultCount, frame->mStringResultPresent, e);
    case kSysResultIntPresent:
      return frame != nullptr ? Presence(frame->mIntResultCount, frame->mIntResultPresent, e) : 0;
    case kSysResultRealPresent:
      return frame != nullptr ? Presence(frame->mRealResultCount, frame->mRealResultPresent, e) : 0;
    case kSysResultStringPresent:
      return frame != nullptr ? Presence(frame->mStringResultCount, frame->mStringResultPresent, e) : 0;
    case kSysTaskInt:
      return context != nullptr && TaskLocal(e) != 0 ? context->mIntLocals[TaskLocal(e)] : 0;
    case kSysIndirectType:
      return ReferencedType(e);
    case 0: {
      auto k = static_cast<uint32_t>(e);
      if (k < 8) return TimeField(GetLocalTime(), k);
      return k < 16 ? TimeField(g_StartTime, k - 8) : 0;
    }
    case 1: {
      auto k = static_cast<uint32_t>(e);
      if (k == 0) return GetTimeMs();
      return k <= static_cast<uint32_t>(kStopwatchCount) ? ReadStopwatch(static_cast<int>(k) - 1) : 0;
    }
    case 2:
      return g_OsCode;
    case 3:
      return g_DirectXVersion;
    case 4:
      return g_SoundSetting > 0 ? 1 : 0;
    case 5:
      return static_cast<int64_t>(GetMemoryStatus().mTotalBytes);
    case 6:
      return GetMemoryStatus().mLoadPercent;
    case 7:
      return static_cast<int64_t>(GetMemoryStatus().mAvailableBytes);
    case 8:
      return 0;
    case 9:
      return g_FolderReadOnly;
    case 11:
      return g_DebugMode;
    case 13:
      return g_CommandLineCount;
    case 15:
      return g_FileListCount;
    case 49:
      return 999;
    case 108:
      return 554;
    case 109:
      return g_FrameCounter;
    case 110:
      return g_StepCounter;
    case 111:
      return ReadStopwatch(0);
    case 112:
      return g_SaveLocation;
    case 113:
      return g_GpuDrawing;
    case 114:
      return g_DesktopBits;
    case 115:
      return g_DesktopWidth;
    case 116:
      return g_DesktopHeight;
    case 117:
      return g_MaximizeRequest;
    case 118:
      return g_MinimizeRequest;
    case 119:
      return g_CloseRequest;
    case 120:
      return g_CaptionDoubleClick;
    case 121:
      return g_ScriptReadableSwitch != 0 ? 1 : 0;
    case 124:
      return g_VariableFileValue;
    case 126:
      return ChildCount(g_TaskRoot);
    case 132:
      return g_LastMenuCommand;
    case 133:
      return CursorOf(0, false);
    case 134:
    case 135:
    case 136:
    case 137:
      return CursorOf(static_cast<int>(n - 134), false);
    case 138:
      return CursorOf(0, true);
    case 139:
    case 140:
    case 141:
    case 142:
      return CursorOf(static_cast<int>(n - 139), true);
    case 143:
      return 0;
    case 145:
      return g_LastKeyDown;
    case 146:
      return g_LastMouseButton;
    default:
      break;
  }
  int slot = InputSlotOf(n, e);
  if (IsCounterVariable(n)) return slot >= 0 ? g_InputCounter[slot] : 0;
  if (IsPressCountVariable(n)) return slot >= 0 ? g_InputPressCount[slot] : 0;
  if (IsSlotNumberVariable(n)) return slot >= 0 ? slot : 0;
  return 0;
}

double ReadSystemReal(uint32_t n, int64_t e) {
  const CallFrame* frame = LevelFrame();
  switch (n) {
    case kSysIndirectReal: {
      uint32_t number = 0;
      int64_t element = 0;
      const VariableRecord* record = Referenced(e, &number, &element);
      if (record == nullptr) return 0.0;
      SetLastReference(number, element);
      if (record->mVarType == kVarInt) return static_cast<double>(GetIntElement(number, element));
      if (record->mVarType == kVarReal) return GetRealElement(number, element);
      return 0.0;
    }
    case kSysCallReal: {
      int k = frame != nullptr ? ValueIndex(e, frame->mRealArgCount) : 0;
      return k != 0 ? frame->mRealArgs[k - 1] : 0.0;
    }
    case kSysResultReal: {
      int k = frame != nullptr ? ValueIndex(e, frame->mRealResultCount) : 0;
      return k != 0 ? frame->mRealResults[k - 1] : 0.0;
    }
    case kSysTaskReal:
      return g_CurrentContext != nullptr && TaskLocal(e) != 0 ? g_CurrentContext->mRealLocals[TaskLocal(e)] : 0.0;
    case 10:
      return 3.141592653589793;
    default:
      return 0.0;
  }
}

void ReadSystemString(uint32_t n, char* buffer, int64_t e) {
  buffer[0] = '\0';
  const CallFrame* frame = LevelFrame();
  const char* text = nullptr;
  switch (n) {
    case kSysIndirectString: {
      uint32_t number = 0;
      int64_t element = 0;
      const VariableRecord* record = Referenced(e, &number, &element);
      if (record == nullptr || record->mVarType != kVarString) return;
      SetLastReference(number, element);
      text = GetStringElement(number, element);
      break;
    }
    case kSysCallString: {
      int k = frame != nullptr ? ValueIndex(e, frame->mStringArgCount) : 0;
      text = k != 0 ? frame->mStringArgs[k - 1] : nullptr;
      break;
    }
    case kSysResultString: {
      int k = frame != nullptr ? ValueIndex(e, frame->mStringResultCount) : 0;
      text = k != 0 ? frame->mStringResults[k - 1] : nullptr;
      break;
    }
    case kSysTaskString:
      text = g_CurrentContext != nullptr && TaskLocal(e) != 0 ? g_CurrentContext->mStringLocals[TaskLocal(e)] : nullptr;
      break;
    case 14: {
      std::string entry;
      if (!GetFileListEntry(static_cast<uint32_t>(e), &entry)) {
        ReportErrorAtScript(kMsgSubscriptOutOfRange);
        return;
      }
      CopySjisBounded(buffer, kEvalStringBytes, entry);
      return;
    }
    case 12: {
      // Only the arguments the command line gave.
      auto k = static_cast<uint32_t>(e);
      if (g_CommandLineCount > 0 && k < static_cast<uint32_t>(g_CommandLineCount) && k <= kMaxCommandLineArgs) {
        text = g_CommandLineArgs[k].c_str();
      }
      break;
    }
    case 103:
      text = g_ExeFolder;
      break;
    case 104:
      text = g_GameFolder;
      break;
    case 105:
      text = g_SaveFolder;
      break;
    case 106:
      text = g_AppDataFolder;
      break;
    case 107:
      text = g_MyDocumentsFolder;
      break;
    case 122:
      text = g_MessageText->mText;
      break;
    case 123:
      text = g_MessageText->mClasses;
      break;
    case 125:
      text = g_CurrentTaskNode != nullptr && g_CurrentTaskNode->mName != nullptr ? g_CurrentTaskNode->mName : nullptr;
      break;
    case 127:
      buffer[0] = static_cast<char>(static_cast<uint8_t>(e));
      buffer[1] = '\0';
      return;
    case 128:
      text = g_LayerPathBase;
      break;
    case 129:
      text = g_SoundPathBase;
      break;
    case 130:
      text = g_TaskPathBase;
      break;
    case 131:
      text = g_MenuPathBase;
      break;
    default:
      return;
  }
  if (text != nullptr) CopySjisBounded(buffer, kEvalStringBytes, text);
}

int WriteSystemInt(uint32_t n, int64_t e, uint8_t op, int64_t value) {
  if (n == kSysIndirectInt) {
    uint32_t number = 0;
    int64_t element = 0;
    const VariableRecord* record = Referenced(e, &number, &element);
    if (record == nullptr || record->mVarType != kVarInt) return WrongIndirectType();
    if (op >= kAssignOperators) {
      ReportErrorAtScript(kMsgElementTypeMismatch);
      return -1;
    }
    g_AssignOperatorTable[op].mInt(number, element, value);
    return 0;
  }
  if (n == kSysCallInt) {
    CallFrame* frame = LevelFrame();
    int k = frame != nullptr ? ValueIndex(e, frame->mIntArgCount) : 0;
    // A division or remainder by 0 leaves the argument as it is.
    if (k != 0 && !((op == 4 || op == 5) && value == 0)) {
      frame->mIntArgs[k - 1] = ApplyIntAssign(op, frame->mIntArgs[k - 1], value);
    }
    return 0;
  }
  switch (n) {
    case 15:
      g_FileListCount = static_cast<uint32_t>(value);
      return 0;
    case 117:
      g_MaximizeRequest = static_cast<uint8_t>(value);
      return 0;
    case 118:
      g_MinimizeRequest = static_cast<uint8_t>(value);
      return 0;
    case 119:
      g_CloseRequest = static_cast<uint8_t>(value);
      return 0;
    case 120:
      g_CaptionDoubleClick = static_cast<uint8_t>(value);
      return 0;
    case 132:
      g_LastMenuCommand = value;
      return 0;
    case 145:
      g_LastKeyDown = static_cast<uint32_t>(value);
      return 0;
    case 146:
      g_LastMouseButton = static_cast<uint32_t>(value);
      return 0;
    default:
      break;
  }
  if (IsCounterVariable(n) || IsPressCountVariable(n)) {
    // A slot outside the table (element 0 of 144, a joystick past the last)
    // is left alone.
    int slot = InputSlotOf(n, e);
    if (slot < 0) return 0;
    if (IsCounterVariable(n)) {
      StoreSystemIntSlot(slot, value);
    } else {
      g_InputPressCount[slot] = value;
    }
    return 0;
  }
  return NotWritable();
}

int WriteSystemReal(uint32_t n, int64_t e, uint8_t op, double value) {
  if (n == kSysIndirectReal) {
    uint32_t number = 0;
    int64_t element = 0;
    const VariableRecord* record = Referenced(e, &number, &element);
    if (record == nullptr || record->mVarType != kVarReal) return WrongIndirectType();
    SetRealElement(number, element, value);
    return 0;
  }
  if (n == kSysCallReal) {
    CallFrame* frame = LevelFrame();
    int k = frame != nullptr ? ValueIndex(e, frame->mRealArgCount) : 0;
    double result = 0;
    if (k != 0 && op <= 4 && ApplyRealAssign(op, frame->mRealArgs[k - 1], value, &result))
      frame->mRealArgs[k - 1] = result;
  }
  return 0;
}

int WriteSystemString(uint32_t n, int64_t e, const char* text, size_t length) {
  if (n == kSysIndirectString) {
    uint32_t number = 0;
    int64_t element = 0;
    const VariableRecord* record = Referenced(e, &number, &element);
    if (record == nullptr || record->mVarType != kVarString) return WrongIndirectType();
    SetStringElementBytes(number, element, text, length);
    return 0;
  }
  if (n == 128 || n == 131) {
    SetPathBase(n == 128 ? g_LayerPathBase : g_MenuPathBase, text, length);
    return 0;
  }
  if (n == 122 || n == 123) {
    (n == 122 ? WriteMessageText : WriteMessageClasses)(text, length);
    return 0;
  }
  return NotWritable();
}

void StoreSystemIntSlot(int slot, int64_t value) {
  if (slot < 0 || slot >= kInputSlots) return;
  bool down = g_InputState[slot] != 0;
  g_InputCounter[slot] = (down ? value > 0 : value < 0) ? value : 0;
}
