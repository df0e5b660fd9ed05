// Instruction streams of the loaded script files (see instruction_stream.h):
// finding a file's stream, decoding its entries and running them.
#include "script/instruction_stream.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "core/process_state.h"
#include "script/control_flow.h"
#include "script/eval_steps.h"
#include "script/script_data.h"
#include "script/task_step.h"
#include "script/variables.h"

namespace instruction_stream {

PendingState g_Pending = {};

void PublishPending() {
  g_Pending.mActive = false;
  g_LastVarRef = g_Pending.mRef;
  if (!g_Pending.mEval) return;
  // As EvalInt leaves it after a run that left one integer.
  g_EvalMode = kEvalModeInt;
  g_EvalNextString = 1;
  g_EvalSubscriptDepth = 0;
  g_SubscriptCount = 0;
  g_EvalDepth = 1;
  g_EvalIntStack[0] = g_Pending.mValue;
  g_EvalSlotString[0] = 0;
}

namespace {

enum : uint8_t {
  kRunHandler,      // nothing decoded: the handler runs
  kAssignVariable,  // assignment to a plain user variable
  kBlockBegin,
  kBlockEnd,
  kLoopEnd,
};

// The fields an instruction's run reads come first.
struct Entry {
  CommandHandler mHandler;  // the handler the entry was decoded for; null: not decoded
  uint8_t mKind;
  uint8_t mValueType;
  uint8_t mOperator;
  uint32_t mNumber;         // assignment target
  VariableRecord* mTarget;  // its record when decoded (see Step::mRecord)
  int32_t mBranch;          // block begin: the next branch, 0 for none; loop end: the last body start
  int32_t mEnd;             // block begin: the block's end instruction
  // The counting-loop form of the value or condition, next to the rest.
  eval_steps::CompactForm mCompact;
  // The decoded steps of the integer value (assignment) or condition (block
  // begin); null when they do not decode.
  const eval_steps::DecodedSteps* mSteps;
};

struct Stream {
  CommandHandler* const* mHandlers;  // the file's handler arrays (the key)
  ArgumentRecord* const* mArgRecords;
  const uint8_t* mArgCounts;
  const uint8_t* mExpressionData;
  uint64_t mExpressionSize;
  std::vector<Entry> mEntries;
  std::vector<std::unique_ptr<eval_steps::DecodedSteps>> mSteps;
};

std::vector<std::unique_ptr<Stream>> g_streams;
// The stream of the file run last.
Stream* g_current = nullptr;

inline bool InSection(const Stream& stream, const ArgumentRecord& record) {
  return static_cast<uint64_t>(record.mOffset) + record.mLength <= stream.mExpressionSize;
}

// The steps of a record's integer expression as the entry's value, when it
// decodes.
void DecodeValue(Stream* stream, const ArgumentRecord& record, Entry* entry) {
  entry->mValueType = record.mValueType;
  if (record.mValueType < 1 || record.mValueType > 4) return;
  auto steps = std::make_unique<eval_steps::DecodedSteps>();
  if (!eval_steps::DecodeSteps(stream->mExpressionData + record.mOffset, record.mLength, steps.get())) return;
  entry->mSteps = steps.get();
  entry->mCompact = steps->mCompact;
  stream->mSteps.push_back(std::move(steps));
}

bool SelectStream(const ExecutionContext* context) {
  for (const auto& stream : g_streams) {
    if (stream->mHandlers == context->mHandlers && stream->mArgRecords == context->mArgRecords) {
      g_current = stream.get();
      return true;
    }
  }
  if (g_ScriptFileTable == nullptr || context->mScriptNumber >= g_ScriptCount) return false;
  const ScriptFileRecord* record = g_ScriptFileTable[context->mScriptNumber];
  if (record == nullptr || record->mHandlers != context->mHandlers || record->mArgRecords != context->mArgRecords ||
      record->mExpressionData != context->mExpressionData || record->mInstructionCount != context->mInstructionCount ||
      record->mInstructionCount <= 0) {
    return false;
  }
  auto stream = std::make_unique<Stream>();
  stream->mHandlers = record->mHandlers;
  stream->mArgRecords = record->mArgRecords;
  stream->mArgCounts = record->mArgCounts;
  stream->mExpressionData = record->mExpressionData;
  stream->mExpressionSize = record->mExpressionSize;
  stream->mEntries.resize(static_cast<size_t>(record->mInstructionCount));
  g_streams.push_back(std::move(stream));
  g_current = g_streams.back().get();
  return true;
}

// Fills the entry of instruction k for the handler bound to it.
void DecodeEntry(Stream* stream, int32_t k, CommandHandler handler) {
  Entry* entry = &stream->mEntries[static_cast<size_t>(k)];
  *entry = Entry{};
  entry->mHandler = handler;
  entry->mKind = kRunHandler;
  const ArgumentRecord* records = stream->mArgRecords[k];
  int count = stream->mArgCounts[k];
  if (handler == CmdAssign && records != nullptr && count >= 2) {
    const ArgumentRecord& target = records[0];
    const ArgumentRecord& value = records[1];
    const uint8_t* expression = stream->mExpressionData + target.mOffset;
    // The target is one variable token without subscripts: only the
    // reference it leaves counts.
    if (!InSection(*stream, target) || !InSection(*stream, value) || target.mLength != 6 || expression[0] != 'H' ||
        expression[1] != 3 || expression[2] != 0 || target.mValueType < 1 || target.mValueType > 4 ||
        target.mOperator >= kAssignOperators) {
      return;
    }
    uint32_t number = expression[4] | static_cast<uint32_t>(expression[5]) << 8;
    if (number < kFirstUserVariable) return;
    entry->mKind = kAssignVariable;
    entry->mNumber = number;
    entry->mTarget = FindVariableRecord(number);
    entry->mOperator = target.mOperator;
    DecodeValue(stream, value, entry);
  } else if (handler == CmdBlockBegin && records != nullptr && count >= 3) {
    if (!InSection(*stream, records[0])) return;
    entry->mKind = kBlockBegin;
    entry->mBranch = static_cast<int32_t>(records[1].mLength);
    entry->mEnd = static_cast<int32_t>(records[2].mLength);
    DecodeValue(stream, records[0], entry);
  } else if (handler == CmdBlockEnd) {
    entry->mKind = kBlockEnd;
  } else if (handler == CmdLoopEnd) {
    entry->mKind = kLoopEnd;
  }
}

// The value types whose integer entry the decoded steps may stand in for
// now, as bits (see EvalScriptByIntEntry). Nothing a decoded instruction does
// changes them.
uint32_t UsableValueTypes() {
  if (!eval_steps::StepsUsable()) return 0;
  uint32_t types = 0;
  for (uint32_t type = 1; type < kEvalIntEntries; ++type) {
    if (g_EvalIntEntry[type] == EvalInt) types |= 1u << type;
  }
  return types;
}

// The entry's value from its decoded steps, when they apply now and leave
// one value (false, with nothing changed, otherwise).
[[gnu::always_inline]] inline bool StepValue(const Entry& entry, uint32_t usableTypes, eval_steps::StepValue* value) {
  if (((usableTypes >> entry.mValueType) & 1) == 0) return false;
  if (entry.mCompact.mForm == eval_steps::kFormVariableConstant ||
      entry.mCompact.mForm == eval_steps::kFormNestedVariablesConstant) {
    return eval_steps::ComputeCompact(entry.mCompact, value);
  }
  eval_steps::StepResult result;
  if (entry.mSteps == nullptr || !eval_steps::ComputeSteps(*entry.mSteps, &result) || result.mDepth != 1) {
    return false;
  }
  *value = eval_steps::StepValue{result.mStack[0], result.mLastNumber, result.mReferenced};
  return true;
}

[[gnu::always_inline]] inline void BeginPending(PendingState* pending) {
  if (pending->mActive) return;
  pending->mActive = true;
  pending->mEval = false;
  pending->mRef = g_LastVarRef;
}

// The evaluator's state after the steps ran, left pending.
[[gnu::always_inline]] inline void PendStepValue(const eval_steps::StepValue& value, PendingState* pending) {
  BeginPending(pending);
  pending->mEval = true;
  pending->mValue = value.mValue;
  pending->mRef.mSigil = kSigilNone;
  pending->mRef.mWholeVar = 0;
  if (value.mReferenced) {
    pending->mRef.mNumber = value.mLastNumber;
    pending->mRef.mElement = 0;
  }
}

// Each Try routine runs one decoded instruction with its handler's effects
// (a branch goes to *pc) and returns true, or returns false, with nothing
// changed, when the decoded form does not apply now and the handler has to
// run.
[[gnu::always_inline]] inline bool TryAssignVariable(const Entry& entry, uint32_t usableTypes,
                                                     PendingState* pending) {
  VariableRecord* record = entry.mTarget;
  // Other types, a missing record's report and the general evaluator are
  // the handler's.
  if (record == nullptr || record->mVarType != kVarInt) return false;
  eval_steps::StepValue result{};
  if (!StepValue(entry, usableTypes, &result)) return false;
  // The target's reference, then the value's evaluation, which resets the
  // sigil and replaces the reference when it reads a variable.
  pending->mActive = true;
  pending->mEval = true;
  pending->mValue = result.mValue;
  pending->mRef = LastVarRef{result.mReferenced ? result.mLastNumber : entry.mNumber, 0, 0, kSigilNone};
  if (ElementInRange(record, 0) && record->mInts != nullptr) {
    int64_t& element = record->mInts[0];
    // "=" without the operator table's switch.
    element = entry.mOperator == 0 ? result.mValue : ApplyIntAssign(entry.mOperator, element, result.mValue);
  }
  return true;
}

[[gnu::always_inline]] inline bool TryBlockBegin(ExecutionContext* context, int32_t k, const Entry& entry,
                                                 uint32_t usableTypes, PendingState* pending, int32_t* pc) {
  int d = context->mBlockDepth;
  // The depth limit and frames still to allocate are the handler's.
  if (d < 0 || d >= kMaxStackDepth) return false;
  BlockFrame* frame = context->mBlockFrames[d + 1];
  if (frame == nullptr || context->mBlockFrames[d + 2] == nullptr) return false;
  // The steps read plain variables only, so the condition may be taken
  // before the block is opened.
  eval_steps::StepValue result{};
  if (!StepValue(entry, usableTypes, &result)) return false;
  frame->mBegin = k;
  frame->mSavedLoopDepth = static_cast<uint8_t>(context->mLoopDepth);
  frame->mEnd = entry.mEnd;
  context->mBlockDepth = static_cast<int8_t>(d + 1);
  PendStepValue(result, pending);
  if (result.mValue == 0) *pc = entry.mBranch != 0 ? entry.mBranch : entry.mEnd;
  return true;
}

[[gnu::always_inline]] inline bool TryBlockEnd(ExecutionContext* context) {
  int d = context->mBlockDepth;
  if (d <= 0 || d > kStackEntries || context->mBlockFrames[d] == nullptr) return false;
  context->mBlockDepth = static_cast<int8_t>(d - 1);
  context->mBlockFrames[d]->mEnd = 0;
  return true;
}

[[gnu::always_inline]] inline bool TryLoopEnd(ExecutionContext* context, Entry* entry, int32_t* pc) {
  int depth = context->mLoopDepth;
  if (depth <= 0 || depth > kStackEntries || context->mLoopFrames[depth] == nullptr) return false;
  LoopFrame* frame = context->mLoopFrames[depth];
  if (frame->mLimit == -1 || frame->mCounter < frame->mLimit) {
    frame->mCounter += 1;
    // The body start is nearly always the one of the last pass: compared
    // rather than taken, the next instruction need not wait for the frame.
    int32_t body = frame->mBodyStart;
    if (__builtin_expect(body == entry->mBranch, 1)) {
      *pc = entry->mBranch;
    } else {
      entry->mBranch = body;
      *pc = body;
    }
    context->mBlockDepth = static_cast<int8_t>(frame->mSavedBlockDepth);
    return true;
  }
  context->mLoopDepth = static_cast<int8_t>(depth - 1);
  frame->mCounter = 0;
  frame->mLimit = 0;
  frame->mBodyStart = 0;
  return true;
}

}  // namespace

}  // namespace instruction_stream

namespace instruction_stream {
namespace {

// The run loop; kCounted: stop after `limit` instructions (the dispatcher
// itself runs without a limit).
template <bool kCounted>
bool RunEntries(ExecutionContext* context, int32_t limit) {
  namespace is = instruction_stream;
  is::Stream* stream = is::g_current;
  if (stream == nullptr || stream->mHandlers != context->mHandlers || stream->mArgRecords != context->mArgRecords) {
    if (!is::SelectStream(context)) return false;
    stream = is::g_current;
  }
  CommandHandler* const handlers = context->mHandlers[1];
  is::Entry* const entries = stream->mEntries.data();
  const auto count = static_cast<int32_t>(stream->mEntries.size());
  const uint32_t usableTypes = is::UsableValueTypes();
  is::PendingState pending = is::g_Pending;
  int32_t pc = context->mPc;
  int32_t last = -1;
  for (int32_t run = 0; (!kCounted || run < limit) && static_cast<uint32_t>(pc) < static_cast<uint32_t>(count);
       ++run) {
    CommandHandler handler = handlers[pc];
    if (entries[pc].mHandler != handler) is::DecodeEntry(stream, pc, handler);
    const is::Entry& entry = entries[pc];
    int32_t next = pc + 1;
    bool ran = false;
    switch (entry.mKind) {
      case is::kAssignVariable:
        ran = is::TryAssignVariable(entry, usableTypes, &pending);
        break;
      case is::kBlockBegin:
        ran = is::TryBlockBegin(context, pc, entry, usableTypes, &pending, &next);
        break;
      case is::kBlockEnd:
        ran = is::TryBlockEnd(context);
        break;
      case is::kLoopEnd:
        ran = is::TryLoopEnd(context, &entries[pc], &next);
        break;
      default:
        break;
    }
    if (!ran) break;
    last = pc;
    pc = next;
    // The dispatcher's tests before each instruction.
    if (g_QuitFlag.load() != 0 || (g_RunInBackground == 0 && g_InactivePause != 0)) break;
  }
  if (last < 0) return false;
  is::g_Pending = pending;
  context->mPc = pc;
  g_CurrentInstruction = last;
  return true;
}

}  // namespace
}  // namespace instruction_stream

bool RunDecodedInstructions(ExecutionContext* context, int32_t limit) {
  if (limit == INT32_MAX) return instruction_stream::RunEntries<false>(context, limit);
  return instruction_stream::RunEntries<true>(context, limit);
}

void DropInstructionStreams() {
  instruction_stream::g_current = nullptr;
  instruction_stream::g_streams.clear();
  // Nothing is pending outside a run of decoded instructions: the dispatcher
  // publishes it before any handler (which may free script files) runs.
  instruction_stream::g_Pending = {};
}

int InstructionStreamCount() { return static_cast<int>(instruction_stream::g_streams.size()); }
