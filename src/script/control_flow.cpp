// Control flow commands.
#include "script/control_flow.h"

#include <cstdlib>
#include <cstring>

#include "core/errors.h"
#include "core/object_tree.h"
#include "script/arguments.h"
#include "script/eval.h"
#include "script/eval_cache.h"
#include "script/execution_context.h"
#include "script/script_data.h"
#include "script/task_step.h"
#include "script/tasks.h"
#include "script/variables.h"

namespace {

const char* Name(int command) {
  const char* name = g_CommandNames[command];
  return name != nullptr ? name : "";
}

int TooDeep(int command) {
  ReportErrorAtScriptFmt(kMsgStackTooDeep, Name(command), Name(command), 64);
  return -1;
}

int NothingOpen(int command, int opener) {
  ReportErrorAtScriptFmt(kMsgNoEnclosingFrame, Name(command), Name(command), Name(opener));
  return -1;
}

// The count argument of a break, repeat or continue (id 0, default 1).
int64_t CountArgument() {
  int slot = ArgSlot(0);
  return slot != 0 ? g_ArgInt[slot] : 1;
}

// The instruction's records, or null (reported) when it has fewer than
// `needed`.
const ArgumentRecord* OwnRecords(int needed) {
  int count = 0;
  const ArgumentRecord* records = CurrentArgumentRecords(&count);
  if (records == nullptr && needed == 0) return nullptr;
  if (count < needed || (needed > 0 && records == nullptr)) {
    ReportErrorAtScript(kMsgMalformedScriptState);
    return nullptr;
  }
  return records;
}

int64_t Condition(const ArgumentRecord& record) {
  return EvalScriptByIntEntry(record.mValueType, CurrentExpressionData() + record.mOffset, record.mLength);
}

// Both depths below the limit; allocates every entry up to depth + 1.
bool SetDepths(ExecutionContext* context, int64_t blockDepth, int64_t loopDepth) {
  if (blockDepth > kMaxStackDepth) return TooDeep(kCommandBlockBegin), false;
  if (loopDepth > kMaxStackDepth) return TooDeep(kCommandLoopBegin), false;
  for (int entry = 1; entry <= blockDepth + 1; ++entry) {
    if (EnsureBlockFrame(context, entry) == nullptr) return false;
  }
  for (int entry = 1; entry <= loopDepth + 1; ++entry) {
    if (EnsureLoopFrame(context, entry) == nullptr) return false;
  }
  context->mBlockDepth = static_cast<int8_t>(blockDepth);
  context->mLoopDepth = static_cast<int8_t>(loopDepth);
  return true;
}

// Stores the values of a call (first id 1) or a return (first id 0).
void StoreCallValues(int firstId, int ints, int reals, int strings, int64_t* intValues, uint8_t* intPresent,
                     double* realValues, uint8_t* realPresent, char** stringValues, uint8_t* stringPresent) {
  for (int k = 1; k <= ints; ++k) {
    int slot = ArgSlot(firstId + k - 1);
    intValues[k - 1] = slot != 0 ? g_ArgInt[slot] : 0;
    intPresent[k - 1] = slot != 0 ? 1 : 0;
  }
  for (int k = 1; k <= reals; ++k) {
    int slot = ArgSlot(firstId + 16 + k - 1);
    realValues[k - 1] = slot != 0 ? EvalReal(g_ArgRawPointer[slot], static_cast<uint32_t>(g_ArgExprLength[slot])) : 0.0;
    realPresent[k - 1] = slot != 0 ? 1 : 0;
  }
  for (int k = 1; k <= strings; ++k) {
    int slot = ArgSlot(firstId + 32 + k - 1);
    if (slot != 0 && g_ArgString[slot] != nullptr) {
      AssignStringBuffer(&stringValues[k - 1], g_ArgString[slot]);
    } else {
      AssignStringBuffer(&stringValues[k - 1], nullptr);
    }
    stringPresent[k - 1] = slot != 0 ? 1 : 0;
  }
}

void DecodeCallCounts(uint16_t aux, int* ints, int* reals, int* strings) {
  *ints = (aux >> 3) & 0x1F;
  *reals = (aux & 0x7) * 4 + (aux >> 14);
  *strings = (aux >> 9) & 0x1F;
  if (*ints > kCallValues) *ints = kCallValues;
  if (*reals > kCallValues) *reals = kCallValues;
  if (*strings > kCallValues) *strings = kCallValues;
}

// The label of the running call: resolved when the file loaded, or by the
// text of its label argument.
int32_t CallLabel(ExecutionContext* context) {
  int count = 0;
  const ArgumentRecord* records = CurrentArgumentRecords(&count);
  const ArgumentRecord* first = context->mArgRecords[0];
  for (int index = 0; index < count; ++index) {
    if (records[index].mId != 0) continue;
    int32_t label = context->mCallLabels != nullptr ? context->mCallLabels[records + index - first] : -1;
    if (label >= 0 && label < g_LabelCount) return label;
  }
  int slot = ArgSlot(0);
  const char* name = slot != 0 && g_ArgString[slot] != nullptr ? g_ArgString[slot] : "";
  return FindLabelOrReport(name, std::strlen(name));
}

}  // namespace

bool AssignStringBuffer(char** slot, const char* text) {
  if (text == nullptr) {
    if (*slot != nullptr) (*slot)[0] = '\0';
    return true;
  }
  size_t length = std::strlen(text);
  if (*slot == nullptr || std::strlen(*slot) < length) {
    char* grown = static_cast<char*>(std::realloc(*slot, length + 1));
    if (grown == nullptr) {
      ReportError(kMsgOutOfMemory);
      return false;
    }
    *slot = grown;
  }
  std::memcpy(*slot, text, length + 1);
  return true;
}

bool SwitchScriptFile(ExecutionContext* context, uint16_t script) {
  if (script == context->mScriptNumber && context->mHandlers != nullptr) return true;
  if (LoadScriptFile(script) == 0 || !EnterScriptFile(context, script)) {
    // Nothing of the old file may run at the new position.
    context->mScriptNumber = script;
    context->mHandlers = nullptr;
    context->mInstructionCount = 0;
    return false;
  }
  return true;
}

int32_t FindLabelOrReport(const char* name, size_t length) {
  int32_t label = FindLabel(name, length);
  if (label < 0) ReportErrorAtScriptFmt(kMsgLabelNotFound, name);
  return label;
}

int32_t CmdJump() {
  ExecutionContext* context = g_CurrentContext;
  const ArgumentRecord* records = OwnRecords(1);
  if (records == nullptr) return -1;
  const ArgumentRecord& record = records[0];
  int32_t label = -1;
  if ((record.mLength & 0xF0000000u) != 0) {
    uint32_t index = record.mLength - kResolvedJumpTag;
    if (index < static_cast<uint32_t>(g_LabelCount)) label = static_cast<int32_t>(index);
  }
  if (label < 0) {
    char name[kEvalStringBytes];
    size_t length = EvalStringInt(name, CurrentExpressionData() + record.mOffset, record.mLength);
    label = FindLabelOrReport(name, length);
    if (label < 0) return -1;
  }
  const LabelRecord& target = g_Labels[label];
  int64_t blockDepth = target.mBlockDepth;
  int64_t loopDepth = target.mLoopDepth;
  int c = context->mCallDepth;
  if (c > 0 && context->mCallFrames[c] != nullptr) {
    blockDepth += context->mCallFrames[c]->mSavedBlockDepth;
    loopDepth += context->mCallFrames[c]->mSavedLoopDepth;
  }
  if (!SetDepths(context, blockDepth, loopDepth)) return -1;
  context->mPc = target.mPosition;
  return SwitchScriptFile(context, target.mScriptNumber) ? 0 : -1;
}

int32_t CmdCall() {
  ExecutionContext* context = g_CurrentContext;
  if (FetchCallArguments(kCommandCall) != 0) return -1;
  int c = context->mCallDepth;
  if (c >= kMaxStackDepth) return TooDeep(kCommandCall);
  CallFrame* arguments = EnsureCallFrame(context, c + 2);
  CallFrame* level = EnsureCallFrame(context, c + 1);
  if (arguments == nullptr || level == nullptr) return -1;
  int ints = 0;
  int reals = 0;
  int strings = 0;
  DecodeCallCounts(context->mAuxWords[g_CurrentInstruction], &ints, &reals, &strings);
  arguments->mIntArgCount = static_cast<uint8_t>(ints);
  arguments->mRealArgCount = static_cast<uint8_t>(reals);
  arguments->mStringArgCount = static_cast<uint8_t>(strings);
  if (!(g_ArgCount == 1 && g_ArgId[1] == 0)) {
    StoreCallValues(1, ints, reals, strings, arguments->mIntArgs, arguments->mIntArgPresent, arguments->mRealArgs,
                    arguments->mRealArgPresent, arguments->mStringArgs, arguments->mStringArgPresent);
  }
  int32_t label = CallLabel(context);
  if (label < 0) return -1;
  level->mReturnPosition = g_CurrentInstruction + 1;
  level->mReturnScript = context->mScriptNumber;
  level->mCallerLine = context->mLines[g_CurrentInstruction];
  level->mSavedBlockDepth = static_cast<uint8_t>(context->mBlockDepth);
  level->mSavedLoopDepth = static_cast<uint8_t>(context->mLoopDepth);
  context->mCallDepth = static_cast<int8_t>(c + 1);
  const LabelRecord& target = g_Labels[label];
  context->mPc = target.mPosition;
  return SwitchScriptFile(context, target.mScriptNumber) ? 0 : -1;
}

int32_t CmdReturn() {
  ExecutionContext* context = g_CurrentContext;
  if (FetchCommandArguments(kCommandReturn) != 0) return -1;
  int c = context->mCallDepth;
  if (c <= 0) {
    if (context->mIsMainTask != 0) return NothingOpen(kCommandReturn, kCommandCall);
    EndTaskNode(g_CurrentTaskNode);
    return -1;
  }
  CallFrame* frame = EnsureCallFrame(context, c);
  if (frame == nullptr) return -1;
  int ints = 0;
  int reals = 0;
  int strings = 0;
  DecodeCallCounts(context->mAuxWords[g_CurrentInstruction], &ints, &reals, &strings);
  frame->mIntResultCount = static_cast<uint8_t>(ints);
  frame->mRealResultCount = static_cast<uint8_t>(reals);
  frame->mStringResultCount = static_cast<uint8_t>(strings);
  if (g_ArgCount > 0) {
    StoreCallValues(0, ints, reals, strings, frame->mIntResults, frame->mIntResultPresent, frame->mRealResults,
                    frame->mRealResultPresent, frame->mStringResults, frame->mStringResultPresent);
  }
  context->mCallDepth = static_cast<int8_t>(c - 1);
  context->mPc = frame->mReturnPosition;
  return SwitchScriptFile(context, frame->mReturnScript) ? 0 : -1;
}

int32_t CmdBlockBegin() {
  ExecutionContext* context = g_CurrentContext;
  const ArgumentRecord* records = OwnRecords(3);
  if (records == nullptr) return -1;
  int d = context->mBlockDepth;
  if (d >= kMaxStackDepth) return TooDeep(kCommandBlockBegin);
  BlockFrame* frame = EnsureBlockFrame(context, d + 1);
  if (frame == nullptr || EnsureBlockFrame(context, d + 2) == nullptr) return -1;
  frame->mBegin = g_CurrentInstruction;
  frame->mSavedLoopDepth = static_cast<uint8_t>(context->mLoopDepth);
  frame->mEnd = static_cast<int32_t>(records[2].mLength);
  context->mBlockDepth = static_cast<int8_t>(d + 1);
  if (Condition(records[0]) == 0) {
    context->mPc = records[1].mLength != 0 ? static_cast<int32_t>(records[1].mLength) : frame->mEnd;
  }
  return 0;
}

int32_t CmdElse() {
  ExecutionContext* context = g_CurrentContext;
  int d = context->mBlockDepth;
  if (d <= 0) return NothingOpen(kCommandElse, kCommandBlockBegin);
  int count = 0;
  const ArgumentRecord* records = CurrentArgumentRecords(&count);
  if (count == 0) return 0;
  if (count < 2) {
    ReportErrorAtScript(kMsgMalformedScriptState);
    return -1;
  }
  if (Condition(records[0]) == 0) {
    const BlockFrame* frame = EnsureBlockFrame(context, d);
    if (frame == nullptr) return -1;
    context->mPc = records[1].mLength != 0 ? static_cast<int32_t>(records[1].mLength) : frame->mEnd;
  }
  return 0;
}

int32_t CmdBlockGotoEnd() {
  ExecutionContext* context = g_CurrentContext;
  int d = context->mBlockDepth;
  if (d <= 0) return NothingOpen(kCommandElse, kCommandBlockBegin);
  const BlockFrame* frame = EnsureBlockFrame(context, d);
  if (frame == nullptr) return -1;
  context->mPc = frame->mEnd;
  return 0;
}

int32_t CmdBlockEnd() {
  ExecutionContext* context = g_CurrentContext;
  int d = context->mBlockDepth;
  if (d <= 0) return NothingOpen(kCommandBlockEnd, kCommandBlockBegin);
  BlockFrame* frame = EnsureBlockFrame(context, d);
  if (frame == nullptr) return -1;
  context->mBlockDepth = static_cast<int8_t>(d - 1);
  frame->mEnd = 0;
  return 0;
}

namespace {
int BlockJump(int command, bool repeat) {
  ExecutionContext* context = g_CurrentContext;
  if (FetchCommandArguments(command) != 0) return -1;
  int64_t n = CountArgument();
  if (n <= 0) return 0;
  int64_t e = context->mBlockDepth - n + 1;
  if (e <= 0) {
    ReportErrorAtScriptFmt(kMsgNoEnclosingFrame, Name(repeat ? 0 : command), Name(repeat ? 0 : command), Name(kCommandBlockBegin));
    return -1;
  }
  const BlockFrame* frame = EnsureBlockFrame(context, static_cast<int>(e));
  if (frame == nullptr) return -1;
  context->mLoopDepth = static_cast<int8_t>(frame->mSavedLoopDepth);
  if (repeat) {
    context->mPc = frame->mBegin;
    context->mBlockDepth = static_cast<int8_t>(e - 1);
  } else {
    context->mPc = frame->mEnd;
    context->mBlockDepth = static_cast<int8_t>(e);
  }
  return 0;
}

int LoopJump(int command, bool breakOut) {
  ExecutionContext* context = g_CurrentContext;
  if (FetchCommandArguments(command) != 0) return -1;
  int64_t n = CountArgument();
  if (n <= 0) return 0;
  int64_t e = context->mLoopDepth - n + 1;
  if (e <= 0) return NothingOpen(command, kCommandLoopBegin);
  LoopFrame* frame = EnsureLoopFrame(context, static_cast<int>(e));
  if (frame == nullptr) return -1;
  context->mLoopDepth = static_cast<int8_t>(e);
  context->mPc = frame->mEnd;
  context->mBlockDepth = static_cast<int8_t>(frame->mSavedBlockDepth);
  if (breakOut) {
    frame->mCounter = 0;
    frame->mLimit = 0;
  }
  return 0;
}
}  // namespace

int32_t CmdBlockBreak() { return BlockJump(kCommandBlockBreak, false); }
int32_t CmdBlockRepeat() { return BlockJump(kCommandBlockRepeat, true); }

int32_t CmdLoopBegin() {
  ExecutionContext* context = g_CurrentContext;
  if (FetchCommandArguments(kCommandLoopBegin) != 0) return -1;
  if (g_ArgCount < 2) {
    ReportErrorAtScript(kMsgMalformedScriptState);
    return -1;
  }
  int depth = context->mLoopDepth;
  if (depth >= kMaxStackDepth) return TooDeep(kCommandLoopBegin);
  LoopFrame* frame = EnsureLoopFrame(context, depth + 1);
  if (frame == nullptr || EnsureLoopFrame(context, depth + 2) == nullptr) return -1;
  frame->mBodyStart = g_CurrentInstruction + 1;
  frame->mSavedBlockDepth = static_cast<uint8_t>(context->mBlockDepth);
  int64_t limit = EvalByIntEntry(static_cast<uint32_t>(g_ArgExprType[1]), CurrentExpressionData() + g_ArgExprOffset[1],
                                 static_cast<uint32_t>(g_ArgExprLength[1]));
  frame->mEnd = g_ArgExprLength[2];
  frame->mCounter = 1;
  frame->mLimit = limit;
  context->mLoopDepth = static_cast<int8_t>(depth + 1);
  if (limit == 0) {
    frame->mCounter = 0;
    frame->mLimit = 0;
    context->mPc = frame->mEnd;
  }
  return 0;
}

int32_t CmdLoopEnd() {
  ExecutionContext* context = g_CurrentContext;
  int depth = context->mLoopDepth;
  if (depth <= 0) {
    ReportErrorAtScript(kMsgLoopEndWithoutLoop);
    return -1;
  }
  LoopFrame* frame = EnsureLoopFrame(context, depth);
  if (frame == nullptr) return -1;
  if (frame->mLimit == -1 || frame->mCounter < frame->mLimit) {
    frame->mCounter += 1;
    context->mPc = frame->mBodyStart;
    context->mBlockDepth = static_cast<int8_t>(frame->mSavedBlockDepth);
    return 0;
  }
  context->mLoopDepth = static_cast<int8_t>(depth - 1);
  frame->mCounter = 0;
  frame->mLimit = 0;
  frame->mBodyStart = 0;
  return 0;
}

int32_t CmdLoopBreak() { return LoopJump(kCommandLoopBreak, true); }
int32_t CmdLoopContinue() { return LoopJump(kCommandLoopContinue, false); }

int32_t CmdLabelExists() {
  if (FetchCommandArguments(kCommandLabelExists) != 0) return -1;
  int nameSlot = ArgSlot(0);
  int outSlot = ArgSlot(1);
  if (ArgSlot(2) == 0 || outSlot == 0) return 0;
  const char* name = nameSlot != 0 && g_ArgString[nameSlot] != nullptr ? g_ArgString[nameSlot] : "";
  int64_t found = FindLabel(name, std::strlen(name)) >= 0 ? 1 : 0;
  SetNumberElement(static_cast<uint32_t>(g_ArgVarId[outSlot]), g_ArgVarElement[outSlot], found);
  return 0;
}
