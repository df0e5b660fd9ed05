#pragma once
// The state of one script task: its position in a script file and its block,
// call and loop stacks.
#include <cstdint>

struct ObjectTreeNode;
struct ArgumentRecord;

// A command handler: 0 goes on with the next instruction, non-zero (the low
// byte) ends the task's turn for this frame.
using CommandHandler = int32_t (*)();

constexpr int kStackEntries = 64;
constexpr int kMaxStackDepth = 63;
constexpr int kTaskLocals = 16;
constexpr int kCallValues = 16;

// One open if/else block.
struct BlockFrame {
  uint8_t mSavedLoopDepth;
  int32_t mBegin;  // index of the block-begin instruction
  int32_t mEnd;    // index of the block's end instruction
};

// One open loop.
struct LoopFrame {
  uint8_t mSavedBlockDepth;
  int32_t mBodyStart;  // index of the instruction after the loop-begin
  int32_t mEnd;        // index of the loop-end instruction
  int64_t mCounter;
  int64_t mLimit;  // -1: endless
};

// One call level: entry c holds the return information of level c, entry
// c + 1 the arguments passed to level c and the results returned to it.
struct CallFrame {
  uint8_t mSavedBlockDepth;
  uint8_t mSavedLoopDepth;
  int32_t mReturnPosition;
  uint16_t mReturnScript;
  int32_t mCallerLine;
  int64_t mIntArgs[kCallValues];
  double mRealArgs[kCallValues];
  char* mStringArgs[kCallValues];  // heap texts, grown on demand
  int64_t mIntResults[kCallValues];
  double mRealResults[kCallValues];
  char* mStringResults[kCallValues];
  uint8_t mIntArgCount;
  uint8_t mIntArgPresent[kCallValues];
  uint8_t mRealArgCount;
  uint8_t mRealArgPresent[kCallValues];
  uint8_t mStringArgCount;
  uint8_t mStringArgPresent[kCallValues];
  uint8_t mIntResultCount;
  uint8_t mIntResultPresent[kCallValues];
  uint8_t mRealResultCount;
  uint8_t mRealResultPresent[kCallValues];
  uint8_t mStringResultCount;
  uint8_t mStringResultPresent[kCallValues];
};

struct ExecutionContext {
  int64_t mStepStamp;
  uint8_t mIsMainTask;
  uint8_t mTextPending;
  int32_t mMessageTag1;
  int32_t mMessageTag2;
  uint8_t mEnable1;
  uint8_t mEnable2;
  int32_t mWaitFrames;
  uint32_t mWaitUntil;
  int32_t mPc;
  // Copies of the current script file's record (see ScriptFileRecord).
  int32_t mInstructionCount;
  CommandHandler* const* mHandlers;
  const uint16_t* mAuxWords;
  const uint8_t* mArgCounts;
  ArgumentRecord* const* mArgRecords;
  const uint8_t* mExpressionData;
  const int32_t* mLines;
  const int32_t* mCallLabels;
  uint16_t mScriptNumber;
  int8_t mBlockDepth;
  BlockFrame* mBlockFrames[kStackEntries + 1];  // entries 1..64
  int8_t mCallDepth;
  CallFrame* mCallFrames[kStackEntries + 1];
  int8_t mLoopDepth;
  LoopFrame* mLoopFrames[kStackEntries + 1];
  int64_t mIntLocals[kTaskLocals + 1];
  double mRealLocals[kTaskLocals + 1];
  char* mStringLocals[kTaskLocals + 1];
};

// Allocates a zeroed context with both enable bytes 1 and makes it the
// node's payload. Null for a null node, or after reporting 100010.
ExecutionContext* CreateExecutionContext(ObjectTreeNode* node);
// Frees a context and what it owns.
void ReleaseExecutionContext(ExecutionContext* context);
// Stack entry `entry` (1..64), allocated zeroed when missing; null after
// reporting 100010.
BlockFrame* AllocateBlockFrame(ExecutionContext* context, int entry);
LoopFrame* AllocateLoopFrame(ExecutionContext* context, int entry);
CallFrame* AllocateCallFrame(ExecutionContext* context, int entry);
inline BlockFrame* EnsureBlockFrame(ExecutionContext* context, int entry) {
  if (entry >= 1 && entry <= kStackEntries && context->mBlockFrames[entry] != nullptr) return context->mBlockFrames[entry];
  return AllocateBlockFrame(context, entry);
}
inline LoopFrame* EnsureLoopFrame(ExecutionContext* context, int entry) {
  if (entry >= 1 && entry <= kStackEntries && context->mLoopFrames[entry] != nullptr) return context->mLoopFrames[entry];
  return AllocateLoopFrame(context, entry);
}
inline CallFrame* EnsureCallFrame(ExecutionContext* context, int entry) {
  if (entry >= 1 && entry <= kStackEntries && context->mCallFrames[entry] != nullptr) return context->mCallFrames[entry];
  return AllocateCallFrame(context, entry);
}
