#pragma once
// Instruction streams: per loaded script file, one entry per instruction
// holding what the dispatcher decoded from the instruction's argument records
// the first time it ran: the target variable and decoded value of a plain
// assignment, the decoded condition and branch targets of a block begin, the
// structure commands that need no decoding. Later runs of the instruction use
// the entry instead of reading the records and expression tokens again, one
// instruction after another without going back to the dispatcher.
//
// A script file's records and expressions do not change while it is loaded;
// everything that can change between runs (variable records and types, stack
// depths and frames, the operator and evaluator tables, the handler bound to
// the instruction) is read at run time, and whenever an instruction falls
// outside its decoded form the dispatcher runs its handler instead, so the
// effects are exactly the handler's.
#include <cstdint>

#include "script/eval.h"
#include "script/execution_context.h"

namespace instruction_stream {

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

inline void FlushPending() {
  if (g_Pending.mActive) PublishPending();
}

}  // namespace instruction_stream

// Runs the task's instructions from its mPc, as the dispatcher would one by
// one, while each has a decoded form that applies, at most `limit` of them,
// stopping early when the quit flag is set or the scripts are held for an
// inactive window. Leaves mPc at the next instruction and
// g_CurrentInstruction at the last one run; false when the first one needs
// its handler (nothing ran). The evaluator's state may be left pending.
bool RunDecodedInstructions(ExecutionContext* context, int32_t limit);

// Publishes the evaluator's state that decoded runs left pending.
inline void FlushStreamState() { instruction_stream::FlushPending(); }
// Forgets every stream (script files freed or replaced).
void DropInstructionStreams();
// The number of streams held (one per script file run since the last drop).
int InstructionStreamCount();
