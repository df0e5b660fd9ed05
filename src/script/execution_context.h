#pragma once
// The state of one script task: its position in a script file and its block,
// call and loop stacks.
#include <cstdint>

struct ObjectTreeNode;
struct ArgumentRecord;
struct BlockFrame;
struct CallFrame;
struct LoopFrame;

// A command handler: 0 goes on with the next instruction, non-zero (the low
// byte) ends the task's turn for this frame.
using CommandHandler = int32_t (*)();

constexpr int kStackEntries = 64;
constexpr int kMaxStackDepth = 63;
constexpr int kTaskLocals = 16;

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
