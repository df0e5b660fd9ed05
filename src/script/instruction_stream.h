#pragma once
// Instruction streams: per loaded script file, one entry per instruction
// holding what the dispatcher decoded from the instruction's argument records
// the first time it ran: the target variable and decoded value of a plain
// assignment, the decoded condition and branch targets of a block begin, the
// structure commands that need no decoding. Later runs of the instruction use
// the entry instead of reading the records and expression tokens again.
//
// A script file's records and expressions do not change while it is loaded;
// everything that can change between runs (variable records and types, stack
// depths and frames, the operator and evaluator tables, the handler bound to
// the instruction) is read at run time, and whenever a case falls outside the
// decoded form the instruction's handler runs instead, so the effects are
// exactly the handler's.
//
// The dispatcher runs every instruction through here, so the common path is
// inline.
#include <cstdint>

#include "script/eval.h"
#include "script/eval_cache.h"
#include "script/eval_steps.h"
#include "script/execution_context.h"
#include "script/variables.h"

struct ArgumentRecord;

namespace instruction_stream {

enum : uint8_t {
  kRunHandler,      // nothing decoded: the handler runs
  kAssignVariable,  // assignment to a plain user variable
  kBlockBegin,
  kBlockEnd,
  kLoopEnd,
};

struct Entry {
  CommandHandler mHandler;  // the handler the entry was decoded for; null: not decoded
  // The integer value (assignment) or condition (block begin) and, when it
  // decodes, its steps.
  const eval_steps::DecodedSteps* mSteps;
  const uint8_t* mExpression;
  uint32_t mLength;
  uint32_t mNumber;  // assignment target
  int32_t mBranch;   // block begin: the next branch, 0 for none
  int32_t mEnd;      // block begin: the block's end instruction
  uint8_t mKind;
  uint8_t mValueType;
  uint8_t mOperator;
  uint8_t mSigil;
};

// The stream of the file the dispatcher ran last, by its tables.
extern CommandHandler* const* g_Handlers;
extern ArgumentRecord* const* g_ArgRecords;
extern Entry* g_Entries;
extern int32_t g_EntryCount;

// Makes the stream of the context's current script file the current one
// (created on first use); false when the context's tables are not those of a
// loaded script file.
bool SelectStream(const ExecutionContext* context);
// Fills the entry of instruction k of the current stream for the handler.
void DecodeEntry(int32_t k, CommandHandler handler);

// Evaluator state that decoded runs left behind without publishing it yet:
// the dispatcher publishes it before anything else can look at it (a
// handler, the general evaluator, the end of the task's turn).
struct PendingState {
  bool mActive;
  bool mEval;       // steps ran: the evaluator's state is theirs, slot 0 mValue
  int64_t mValue;
  LastVarRef mRef;  // g_LastVarRef as it stands
};
extern PendingState g_Pending;
void PublishPending();

inline void BeginPending() {
  if (g_Pending.mActive) return;
  g_Pending.mActive = true;
  g_Pending.mEval = false;
  g_Pending.mRef = g_LastVarRef;
}

inline void FlushPending() {
  if (g_Pending.mActive) PublishPending();
}

inline int32_t CallHandler(CommandHandler handler) {
  FlushPending();
  return handler();
}

// The entry's integer value as the handler evaluates it; `plain` tells
// whether only the decoded steps ran (no variable can have changed).
[[gnu::always_inline]] inline int64_t IntValue(const Entry& entry, bool* plain) {
  if (entry.mSteps != nullptr && g_EvalIntEntry[entry.mValueType] == EvalInt && eval_steps::StepsUsable()) {
    eval_steps::StepResult result;
    if (eval_steps::ComputeSteps(*entry.mSteps, &result)) {
      *plain = true;
      if (result.mDepth == 1) {
        BeginPending();
        g_Pending.mEval = true;
        g_Pending.mValue = result.mStack[0];
        g_Pending.mRef.mSigil = kSigilNone;
        g_Pending.mRef.mWholeVar = 0;
        if (result.mReferenced) {
          g_Pending.mRef.mNumber = result.mLastNumber;
          g_Pending.mRef.mElement = 0;
        }
      } else {
        FlushPending();
        eval_steps::PublishSteps(result);
      }
      return result.mStack[0];
    }
  }
  *plain = false;
  FlushPending();
  return EvalScriptByIntEntry(entry.mValueType, entry.mExpression, entry.mLength);
}

[[gnu::always_inline]] inline int32_t AssignVariable(const Entry& entry, CommandHandler handler) {
  VariableRecord* record = FindVariableRecord(entry.mNumber);
  // Other types (and a missing record's report) are the handler's.
  if (record == nullptr || record->mVarType != kVarInt) return CallHandler(handler);
  uint32_t number = entry.mNumber;
  uint8_t op = entry.mOperator;
  BeginPending();
  g_Pending.mRef = LastVarRef{number, 0, 0, entry.mSigil};
  bool plain = false;
  int64_t value = IntValue(entry, &plain);
  // After the evaluator look the record up again, as the operator routine
  // does.
  if (!plain) record = FindVariableRecord(number);
  if (!ElementInRange(record, 0) || record->mVarType != kVarInt || record->mInts == nullptr) return 0;
  record->mInts[0] = ApplyIntAssign(op, record->mInts[0], value);
  return 0;
}

[[gnu::always_inline]] inline int32_t BlockBegin(ExecutionContext* context, int32_t k, const Entry& entry, CommandHandler handler) {
  int d = context->mBlockDepth;
  // The depth limit and frames still to allocate are the handler's.
  if (d < 0 || d >= kMaxStackDepth) return CallHandler(handler);
  BlockFrame* frame = context->mBlockFrames[d + 1];
  if (frame == nullptr || context->mBlockFrames[d + 2] == nullptr) return CallHandler(handler);
  int32_t branch = entry.mBranch;
  frame->mBegin = k;
  frame->mSavedLoopDepth = static_cast<uint8_t>(context->mLoopDepth);
  frame->mEnd = entry.mEnd;
  context->mBlockDepth = static_cast<int8_t>(d + 1);
  bool plain = false;
  if (IntValue(entry, &plain) == 0) context->mPc = branch != 0 ? branch : frame->mEnd;
  return 0;
}

[[gnu::always_inline]] inline int32_t BlockEnd(ExecutionContext* context, CommandHandler handler) {
  int d = context->mBlockDepth;
  if (d <= 0 || d > kStackEntries || context->mBlockFrames[d] == nullptr) return CallHandler(handler);
  context->mBlockDepth = static_cast<int8_t>(d - 1);
  context->mBlockFrames[d]->mEnd = 0;
  return 0;
}

[[gnu::always_inline]] inline int32_t LoopEnd(ExecutionContext* context, CommandHandler handler) {
  int depth = context->mLoopDepth;
  if (depth <= 0 || depth > kStackEntries || context->mLoopFrames[depth] == nullptr) return CallHandler(handler);
  LoopFrame* frame = context->mLoopFrames[depth];
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

}  // namespace instruction_stream

// Runs instruction k of the context's current script file, the task being
// stepped, whose handler (array 1) is `handler`; the handler's result. The
// evaluator's state may be left pending: FlushStreamState publishes it.
[[gnu::always_inline]] inline int32_t RunStreamInstruction(ExecutionContext* context, int32_t k, CommandHandler handler) {
  namespace is = instruction_stream;
  if (context->mHandlers != is::g_Handlers || context->mArgRecords != is::g_ArgRecords) {
    if (!is::SelectStream(context)) return is::CallHandler(handler);
  }
  if (k < 0 || k >= is::g_EntryCount) return is::CallHandler(handler);
  if (is::g_Entries[k].mHandler != handler) is::DecodeEntry(k, handler);
  const is::Entry& entry = is::g_Entries[k];
  switch (entry.mKind) {
    case is::kAssignVariable:
      return is::AssignVariable(entry, handler);
    case is::kBlockBegin:
      return is::BlockBegin(context, k, entry, handler);
    case is::kBlockEnd:
      return is::BlockEnd(context, handler);
    case is::kLoopEnd:
      return is::LoopEnd(context, handler);
    default:
      return is::CallHandler(handler);
  }
}

// Publishes the evaluator's state that decoded runs left pending.
inline void FlushStreamState() { instruction_stream::FlushPending(); }
// Forgets every stream (script files freed or replaced).
void DropInstructionStreams();
// The number of streams held (one per script file run since the last drop).
int InstructionStreamCount();
