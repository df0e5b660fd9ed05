// Task commands and waits.
#include "script/tasks.h"

#include <cstring>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "movie/emote.h"
#include "platform/clock.h"
#include "script/arguments.h"
#include "script/control_flow.h"
#include "script/eval.h"
#include "script/execution_context.h"
#include "script/script_data.h"
#include "script/task_step.h"
#include "script/variables.h"

namespace {

std::vector<ObjectTreeNode*> g_endedTasks;

const char* Name(int command) {
  const char* name = g_CommandNames[command];
  return name != nullptr ? name : "";
}

const char* StringArgument(int id) {
  int slot = ArgSlot(id);
  return slot != 0 && g_ArgString[slot] != nullptr ? g_ArgString[slot] : nullptr;
}

// Resolves the path argument: the current task for an absent or empty path.
// False after a report (or a refused path).
bool LookUpTask(int command, char* normalized, ObjectTreeNode** task, bool* named) {
  const char* path = StringArgument(0);
  *task = nullptr;
  *named = path != nullptr && path[0] != '\0';
  normalized[0] = '\0';
  if (!*named) {
    *task = g_CurrentTaskNode;
    return true;
  }
  int code = NormalizeObjectPath(normalized, path, g_TaskPathBase, 0);
  if (code < 0) return false;
  if (code == kPathGroup) {
    ReportErrorAtScriptFmt(kMsgTaskPathIsGroup, Name(command), path);
    return false;
  }
  *task = FindObjectByPath(g_TaskRoot, normalized, kPathLeaf);
  return true;
}

ExecutionContext* ContextOf(ObjectTreeNode* node) {
  return node != nullptr ? static_cast<ExecutionContext*>(node->mPayload) : nullptr;
}

// Hexadecimal nibbles as letters "a".."p".
void PutNumber(char*& out, uint64_t value, int digits) {
  for (int digit = digits - 1; digit >= 0; --digit) *out++ = static_cast<char>('a' + ((value >> (4 * digit)) & 0xF));
}

struct TextReader {
  const char* mText;
  size_t mLength;
  size_t mPosition = 0;
  bool mFailed = false;
  uint64_t Number(int digits) {
    uint64_t value = 0;
    if (mLength - mPosition < static_cast<size_t>(digits)) {
      mFailed = true;
      return 0;
    }
    for (int digit = 0; digit < digits; ++digit) {
      char c = mText[mPosition++];
      if (c < 'a' || c > 'p') mFailed = true;
      value = value << 4 | static_cast<uint64_t>((c - 'a') & 0xF);
    }
    return value;
  }
  // A position: a non-negative i32.
  int32_t Position() {
    uint64_t value = Number(8);
    if (value > 0x7FFFFFFFu) mFailed = true;
    return static_cast<int32_t>(value);
  }
  int Depth() {
    uint64_t value = Number(2);
    if (value > static_cast<uint64_t>(kMaxStackDepth)) mFailed = true;
    return static_cast<int>(value);
  }
};

constexpr char kContextMagic[8] = {1, 2, 3, 4, 5, 6, 7, 8};

struct DecodedContext {
  int mBlockDepth;
  BlockFrame mBlocks[kStackEntries + 1];
  int mCallDepth;
  CallFrame mCalls[kStackEntries + 1];  // return information only
  int mLoopDepth;
  LoopFrame mLoops[kStackEntries + 1];
  int32_t mMessageTag;
  int32_t mPc;
  int32_t mScript;
};

int32_t FindScriptByName(const char* name, size_t length) {
  for (int32_t script = 0; script < g_ScriptCount; ++script) {
    const char* listed = g_ScriptNames != nullptr ? g_ScriptNames[script] : nullptr;
    if (listed == nullptr || std::strlen(listed) != length) continue;
    bool same = true;
    for (size_t index = 0; same && index < length; ++index) {
      char a = listed[index];
      char b = name[index];
      if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
      if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
      same = a == b;
    }
    if (same) return script;
  }
  return -1;
}

// The line of a task's current instruction.
int32_t CurrentLine(const ExecutionContext* context, bool isCurrentTask) {
  int32_t instruction = isCurrentTask ? g_CurrentInstruction : context->mPc - 1;
  if (instruction < 0) instruction = 0;
  if (context->mLines == nullptr || instruction >= context->mInstructionCount) return 0;
  return context->mLines[instruction];
}

void StoreNumber(uint32_t n, int64_t e, int64_t value) { SetNumberElement(n, e, value); }

void StoreName(uint32_t n, int64_t e, int32_t script) {
  const VariableRecord* record = FindVariableRecord(n);
  if (record == nullptr || record->mVarType != kVarString) return;
  const char* name = g_ScriptNames != nullptr && script >= 0 && script < g_ScriptCount ? g_ScriptNames[script] : nullptr;
  SetStringElement(n, e, name != nullptr ? name : "");
}

}  // namespace

void EndTaskNode(ObjectTreeNode* node) {
  if (node == nullptr || node->mParent == nullptr) return;
  for (ObjectTreeNode* ended : g_endedTasks) {
    if (ended == node) return;
  }
  DetachTreeNode(node);
  node->mParent = nullptr;
  g_endedTasks.push_back(node);
}

void ReleaseEndedTasks() {
  for (ObjectTreeNode* node : g_endedTasks) {
    if (node == g_CurrentTaskNode) {
      g_CurrentTaskNode = nullptr;
      g_CurrentContext = nullptr;
    }
    ReleaseExecutionContext(ContextOf(node));
    FreeTreeNode(node);
  }
  g_endedTasks.clear();
}

int32_t EncodeContextString(char* buffer, const ExecutionContext* context) {
  if (buffer == nullptr || context == nullptr) return -1;
  char* out = buffer;
  std::memcpy(out, kContextMagic, sizeof(kContextMagic));
  out += sizeof(kContextMagic);
  int blocks = context->mBlockDepth < 0 ? 0 : context->mBlockDepth;
  PutNumber(out, static_cast<uint64_t>(blocks), 2);
  for (int entry = 1; entry <= blocks; ++entry) {
    const BlockFrame* frame = context->mBlockFrames[entry];
    PutNumber(out, frame != nullptr ? frame->mSavedLoopDepth : 0, 2);
    PutNumber(out, frame != nullptr ? static_cast<uint32_t>(frame->mBegin) : 0, 8);
    PutNumber(out, frame != nullptr ? static_cast<uint32_t>(frame->mEnd) : 0, 8);
  }
  int calls = context->mCallDepth < 0 ? 0 : context->mCallDepth;
  PutNumber(out, static_cast<uint64_t>(calls), 2);
  for (int entry = 1; entry <= calls; ++entry) {
    const CallFrame* frame = context->mCallFrames[entry];
    PutNumber(out, frame != nullptr ? frame->mSavedBlockDepth : 0, 2);
    PutNumber(out, frame != nullptr ? frame->mSavedLoopDepth : 0, 2);
    PutNumber(out, frame != nullptr ? static_cast<uint32_t>(frame->mReturnPosition) : 0, 8);
    std::memcpy(out, "aaaa", 4);
    out += 4;
    PutNumber(out, frame != nullptr ? frame->mReturnScript : 0, 4);
  }
  int loops = context->mLoopDepth < 0 ? 0 : context->mLoopDepth;
  PutNumber(out, static_cast<uint64_t>(loops), 2);
  for (int entry = 1; entry <= loops; ++entry) {
    const LoopFrame* frame = context->mLoopFrames[entry];
    PutNumber(out, frame != nullptr ? frame->mSavedBlockDepth : 0, 2);
    PutNumber(out, frame != nullptr ? static_cast<uint32_t>(frame->mBodyStart) : 0, 8);
    PutNumber(out, frame != nullptr ? static_cast<uint32_t>(frame->mEnd) : 0, 8);
    PutNumber(out, frame != nullptr ? static_cast<uint32_t>(frame->mCounter) : 0, 8);
    PutNumber(out, frame != nullptr ? static_cast<uint32_t>(frame->mLimit) : 0, 8);
  }
  PutNumber(out, static_cast<uint32_t>(context->mMessageTag1), 8);
  PutNumber(out, static_cast<uint32_t>(context->mPc), 8);
  const char* name = nullptr;
  if (g_ScriptNames != nullptr && context->mScriptNumber < g_ScriptCount) name = g_ScriptNames[context->mScriptNumber];
  size_t nameLength = name != nullptr ? strnlen(name, kMaxContextScriptName) : 0;
  PutNumber(out, nameLength, 8);
  if (nameLength > 0) std::memcpy(out, name, nameLength);
  out += nameLength;
  return static_cast<int32_t>(out - buffer);
}

int32_t DecodeContextString(const char* text, size_t length, ExecutionContext* context) {
  if (text == nullptr || context == nullptr) return -1;
  if (length < sizeof(kContextMagic) || std::memcmp(text, kContextMagic, sizeof(kContextMagic)) != 0) {
    ReportError(kMsgMalformedScriptState);
    return 0;
  }
  static DecodedContext decoded;
  std::memset(&decoded, 0, sizeof(decoded));
  TextReader reader{text, length, sizeof(kContextMagic)};
  decoded.mBlockDepth = reader.Depth();
  for (int entry = 1; !reader.mFailed && entry <= decoded.mBlockDepth; ++entry) {
    decoded.mBlocks[entry].mSavedLoopDepth = static_cast<uint8_t>(reader.Depth());
    decoded.mBlocks[entry].mBegin = reader.Position();
    decoded.mBlocks[entry].mEnd = reader.Position();
  }
  decoded.mCallDepth = reader.mFailed ? 0 : reader.Depth();
  for (int entry = 1; !reader.mFailed && entry <= decoded.mCallDepth; ++entry) {
    CallFrame& frame = decoded.mCalls[entry];
    frame.mSavedBlockDepth = static_cast<uint8_t>(reader.Depth());
    frame.mSavedLoopDepth = static_cast<uint8_t>(reader.Depth());
    frame.mReturnPosition = reader.Position();
    if (reader.Number(4) != 0) reader.mFailed = true;
    uint64_t script = reader.Number(4);
    if (script >= static_cast<uint64_t>(g_ScriptCount)) reader.mFailed = true;
    frame.mReturnScript = static_cast<uint16_t>(script);
  }
  decoded.mLoopDepth = reader.mFailed ? 0 : reader.Depth();
  for (int entry = 1; !reader.mFailed && entry <= decoded.mLoopDepth; ++entry) {
    LoopFrame& frame = decoded.mLoops[entry];
    frame.mSavedBlockDepth = static_cast<uint8_t>(reader.Depth());
    frame.mBodyStart = reader.Position();
    frame.mEnd = reader.Position();
    frame.mCounter = static_cast<int32_t>(reader.Number(8));
    frame.mLimit = static_cast<int32_t>(reader.Number(8));
  }
  decoded.mMessageTag = static_cast<int32_t>(reader.Number(8));
  decoded.mPc = reader.Position();
  uint64_t nameLength = reader.Number(8);
  if (reader.mFailed || nameLength > kMaxContextScriptName || nameLength > length - reader.mPosition) {
    ReportError(kMsgMalformedScriptState);
    return 0;
  }
  const char* name = text + reader.mPosition;
  reader.mPosition += nameLength;
  decoded.mScript = FindScriptByName(name, nameLength);
  if (decoded.mScript < 0) {
    std::string shown(name, nameLength);
    ReportErrorFmt(kMsgContextScriptMissing, Name(kCommandTaskStart), shown);
    return 0;
  }
  // Every frame first, so that a failed allocation changes nothing.
  int deepest = decoded.mBlockDepth;
  if (decoded.mCallDepth > deepest) deepest = decoded.mCallDepth;
  if (decoded.mLoopDepth > deepest) deepest = decoded.mLoopDepth;
  for (int entry = 1; entry <= deepest + 1; ++entry) {
    if ((entry <= decoded.mBlockDepth + 1 && EnsureBlockFrame(context, entry) == nullptr) ||
        (entry <= decoded.mCallDepth + 1 && EnsureCallFrame(context, entry) == nullptr) ||
        (entry <= decoded.mLoopDepth + 1 && EnsureLoopFrame(context, entry) == nullptr)) {
      return 0;
    }
  }
  for (int entry = 1; entry <= decoded.mBlockDepth; ++entry) *context->mBlockFrames[entry] = decoded.mBlocks[entry];
  for (int entry = 1; entry <= decoded.mCallDepth; ++entry) {
    CallFrame* frame = context->mCallFrames[entry];
    const CallFrame& source = decoded.mCalls[entry];
    frame->mSavedBlockDepth = source.mSavedBlockDepth;
    frame->mSavedLoopDepth = source.mSavedLoopDepth;
    frame->mReturnPosition = source.mReturnPosition;
    frame->mReturnScript = source.mReturnScript;
  }
  for (int entry = 1; entry <= decoded.mLoopDepth; ++entry) *context->mLoopFrames[entry] = decoded.mLoops[entry];
  context->mBlockDepth = static_cast<int8_t>(decoded.mBlockDepth);
  context->mCallDepth = static_cast<int8_t>(decoded.mCallDepth);
  context->mLoopDepth = static_cast<int8_t>(decoded.mLoopDepth);
  context->mMessageTag1 = decoded.mMessageTag;
  context->mPc = decoded.mPc;
  context->mScriptNumber = static_cast<uint16_t>(decoded.mScript);
  return static_cast<int32_t>(reader.mPosition);
}

int32_t DecodeContextString(const char* text, ExecutionContext* context) {
  if (text == nullptr) return -1;
  return DecodeContextString(text, std::strlen(text), context);
}

int32_t CmdTaskStart() {
  if (FetchCommandArguments(kCommandTaskStart) != 0) return -1;
  char normalized[kObjectPathBytes];
  ObjectTreeNode* task = nullptr;
  bool named = false;
  if (!LookUpTask(kCommandTaskStart, normalized, &task, &named)) return -1;
  int orderSlot = ArgSlot(3);
  int rerunSlot = ArgSlot(37);
  bool keyComputed = false;
  int64_t key = 1;
  if (orderSlot != 0 && rerunSlot == 0) {
    int64_t base = task != nullptr ? static_cast<int32_t>(task->mOrderKey) : 1;
    int op = g_ArgOperator[orderSlot];
    int64_t result = ApplyValueOp(op, base, g_ArgInt[orderSlot]);
    if ((op == 2 || op == 3 || op == 4) && result < 1) result = 1;
    key = static_cast<int32_t>(static_cast<uint32_t>(result));
    keyComputed = true;
    if (task != nullptr) SetNodeOrderKey(task, key);
  }
  const char* labelName = StringArgument(34);
  if (task == nullptr && labelName == nullptr) {
    ReportErrorAtScriptFmt(kMsgTaskMissing, Name(kCommandTaskStart), named ? StringArgument(0) : "");
    return -1;
  }
  ExecutionContext* context = ContextOf(task);
  if (labelName != nullptr) {
    int32_t label = FindLabelOrReport(labelName, std::strlen(labelName));
    if (label < 0) return -1;
    if (task == nullptr) {
      task = CreateTreeNode(g_TaskRoot, normalized, keyComputed ? key : 1, 0);
      if (task == nullptr) return -1;
      context = CreateExecutionContext(task);
      if (context == nullptr) {
        DetachTreeNode(task);
        FreeTreeNode(task);
        return -1;
      }
    }
    const LabelRecord& target = g_Labels[label];
    context->mPc = target.mPosition;
    context->mHandlers = nullptr;
    SwitchScriptFile(context, target.mScriptNumber);
    for (int local = 0; local <= kTaskLocals; ++local) {
      context->mIntLocals[local] = 0;
      context->mRealLocals[local] = 0.0;
      if (context->mStringLocals[local] != nullptr) context->mStringLocals[local][0] = '\0';
    }
    for (int local = 1; local <= 10; ++local) {
      int intSlot = ArgSlot(3 + local);
      int realSlot = ArgSlot(13 + local);
      if (intSlot != 0) context->mIntLocals[local] = g_ArgInt[intSlot];
      if (realSlot != 0) context->mRealLocals[local] = static_cast<double>(g_ArgInt[realSlot]);
    }
  }
  if (int slot = ArgSlot(1); slot != 0) context->mEnable1 = static_cast<uint8_t>(g_ArgInt[slot]);
  if (int slot = ArgSlot(2); slot != 0) context->mEnable2 = static_cast<uint8_t>(g_ArgInt[slot]);
  if (int slot = ArgSlot(35); slot != 0 && g_ArgString[slot] != nullptr) {
    uint16_t before = context->mScriptNumber;
    if (DecodeContextString(g_ArgString[slot], context) <= 0) return -1;
    if (context->mScriptNumber != before || context->mHandlers == nullptr) {
      uint16_t script = context->mScriptNumber;
      context->mHandlers = nullptr;
      if (!SwitchScriptFile(context, script)) return -1;
    }
  }
  if (rerunSlot != 0) {
    g_RerunRequest = 1;
    if (orderSlot != 0) g_RerunOrderKey = g_ArgInt[orderSlot];
  }
  return 0;
}

int32_t CmdTaskEnd() {
  if (FetchCommandArguments(kCommandTaskEnd) != 0) return -1;
  char normalized[kObjectPathBytes];
  ObjectTreeNode* task = nullptr;
  bool named = false;
  if (!LookUpTask(kCommandTaskEnd, normalized, &task, &named)) return -1;
  if (named && std::strcmp(normalized, "SYSTEM") == 0) {
    ReportErrorAtScriptFmt(kMsgMainTaskRefused, Name(kCommandTaskEnd));
    return -1;
  }
  if (task == nullptr) {
    ReportErrorAtScriptFmt(kMsgTaskMissing, Name(kCommandTaskEnd), named ? StringArgument(0) : "");
    return -1;
  }
  const ExecutionContext* context = ContextOf(task);
  if (!named && context != nullptr && context->mIsMainTask != 0) {
    ReportErrorAtScriptFmt(kMsgMainTaskRefused, Name(kCommandTaskEnd));
    return -1;
  }
  bool self = task == g_CurrentTaskNode;
  EndTaskNode(task);
  return self ? -1 : 0;
}

int32_t CmdTaskQuery() {
  if (FetchCommandArguments(kCommandTaskQuery) != 0) return -1;
  int outSlot = ArgSlot(1);
  if (outSlot == 0) return 0;
  auto n = static_cast<uint32_t>(g_ArgVarId[outSlot]);
  int64_t e = g_ArgVarElement[outSlot];
  char normalized[kObjectPathBytes];
  ObjectTreeNode* task = nullptr;
  bool named = false;
  if (!LookUpTask(kCommandTaskQuery, normalized, &task, &named)) return -1;
  const ExecutionContext* context = ContextOf(task);
  if (context == nullptr) {
    const VariableRecord* record = FindVariableRecord(n);
    if (record != nullptr && record->mVarType == kVarString) {
      SetStringElement(n, e, "");
    } else {
      SetNumberElement(n, e, 0);
    }
    return 0;
  }
  bool current = task == g_CurrentTaskNode;
  const CallFrame* top = context->mCallDepth > 0 ? context->mCallFrames[1] : nullptr;
  int32_t topScript = top != nullptr ? top->mReturnScript : context->mScriptNumber;
  static const int kOrder[] = {2, 3, 4, 5, 6, 9, 8, 11, 12, 13, 16, 17, 18, 7, 10, 19};
  for (int id : kOrder) {
    if (ArgSlot(id) == 0) continue;
    switch (id) {
      case 2: StoreNumber(n, e, 1); return 0;
      case 3: StoreNumber(n, e, context->mEnable1); return 0;
      case 4: StoreNumber(n, e, context->mEnable2); return 0;
      case 5: StoreNumber(n, e, task->mOrderKey); return 0;
      case 6: StoreName(n, e, context->mScriptNumber); return 0;
      case 9: StoreName(n, e, topScript); return 0;
      case 8: StoreNumber(n, e, CurrentLine(context, current)); return 0;
      case 11: StoreNumber(n, e, top != nullptr ? top->mCallerLine : CurrentLine(context, current)); return 0;
      case 12: StoreNumber(n, e, context->mMessageTag1); return 0;
      case 13: StoreNumber(n, e, context->mMessageTag2); return 0;
      case 16: StoreNumber(n, e, context->mBlockDepth); return 0;
      case 17: StoreNumber(n, e, context->mCallDepth); return 0;
      case 18: StoreNumber(n, e, context->mLoopDepth); return 0;
      case 7: StoreNumber(n, e, context->mScriptNumber); return 0;
      case 10: StoreNumber(n, e, topScript); break;
      case 19: {
        const VariableRecord* record = FindVariableRecord(n);
        if (record == nullptr || record->mVarType != kVarString) return 0;
        static char buffer[kContextStringBytes];
        int32_t length = EncodeContextString(buffer, context);
        if (length < 0) return -1;
        SetStringElementBytes(n, e, buffer, static_cast<size_t>(length));
        return 0;
      }
      default: break;
    }
  }
  return 0;
}

int32_t CmdScriptListQuery() {
  if (FetchCommandArguments(kCommandScriptList) != 0) return -1;
  int outSlot = ArgSlot(5);
  if (outSlot == 0) return 0;
  auto n = static_cast<uint32_t>(g_ArgVarId[outSlot]);
  int64_t e = g_ArgVarElement[outSlot];
  int indexSlot = ArgSlot(4);
  int64_t entry = indexSlot != 0 ? g_ArgInt[indexSlot] : 0;
  bool inList = entry >= 1 && entry <= g_ScriptCount;
  if (ArgSlot(1) != 0) {
    SetNumberElement(n, e, g_ScriptCount);
  } else if (ArgSlot(2) != 0) {
    SetNumberElement(n, e, inList && g_ScriptValues != nullptr ? g_ScriptValues[entry - 1] : 0);
  } else if (ArgSlot(0) != 0) {
    const char* name = inList && g_ScriptNames != nullptr ? g_ScriptNames[entry - 1] : nullptr;
    SetStringElement(n, e, name != nullptr ? name : "");
  } else if (ArgSlot(3) != 0) {
    SetNumberElement(n, e, g_EmoteEnabled != 0 ? 1 : 0);
  }
  return 0;
}

int32_t CmdWait() {
  if (FetchCommandArguments(kCommandWait) != 0) return -1;
  ExecutionContext* context = g_CurrentContext;
  int frameSlot = ArgSlot(0);
  int msSlot = ArgSlot(1);
  int64_t frames = frameSlot != 0 ? g_ArgInt[frameSlot] : 0;
  int64_t ms = msSlot != 0 ? g_ArgInt[msSlot] : 0;
  // Any non-zero count gives up the turn, even one whose low word is 0.
  if (frames != 0) {
    // The frame count keeps its low word; one that reads negative there
    // would count down for 2^32 visits, so it waits none and the task
    // resumes on its next visit.
    auto low = static_cast<int32_t>(static_cast<uint32_t>(frames));
    context->mWaitFrames = low > 0 ? low : 0;
    return -1;
  }
  if (ms != 0) {
    // -1 makes the end a tick in the past: the wrap-aware check clears it on
    // the next visit.
    uint32_t until = GetTimeMs() + static_cast<uint32_t>(ms);
    context->mWaitUntil = until != 0 ? until : 1;
    return -1;
  }
  return 0;
}
