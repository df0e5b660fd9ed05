// Instruction streams of the loaded script files (see instruction_stream.h):
// finding a file's stream and decoding its entries.
#include "script/instruction_stream.h"

#include <memory>
#include <vector>

#include "script/control_flow.h"
#include "script/script_data.h"

namespace instruction_stream {

CommandHandler* const* g_Handlers = nullptr;
ArgumentRecord* const* g_ArgRecords = nullptr;
Entry* g_Entries = nullptr;
int32_t g_EntryCount = 0;
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
Stream* g_current = nullptr;

void MakeCurrent(Stream* stream) {
  g_current = stream;
  g_Handlers = stream->mHandlers;
  g_ArgRecords = stream->mArgRecords;
  g_Entries = stream->mEntries.data();
  g_EntryCount = static_cast<int32_t>(stream->mEntries.size());
}

inline bool InSection(const Stream& stream, const ArgumentRecord& record) {
  return static_cast<uint64_t>(record.mOffset) + record.mLength <= stream.mExpressionSize;
}

// The integer expression of a record as the entry's value, with its steps
// when it decodes.
void DecodeValue(Stream* stream, const ArgumentRecord& record, Entry* entry) {
  entry->mExpression = stream->mExpressionData + record.mOffset;
  entry->mLength = record.mLength;
  entry->mValueType = record.mValueType;
  if (record.mValueType < 1 || record.mValueType > 4) return;
  auto steps = std::make_unique<eval_steps::DecodedSteps>();
  if (!eval_steps::DecodeSteps(entry->mExpression, entry->mLength, steps.get())) return;
  entry->mSteps = steps.get();
  stream->mSteps.push_back(std::move(steps));
}

}  // namespace

bool SelectStream(const ExecutionContext* context) {
  for (const auto& stream : g_streams) {
    if (stream->mHandlers == context->mHandlers && stream->mArgRecords == context->mArgRecords) {
      MakeCurrent(stream.get());
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
  MakeCurrent(g_streams.back().get());
  return true;
}

void DecodeEntry(int32_t k, CommandHandler handler) {
  Stream* stream = g_current;
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
    uint8_t sigil = expression[3];
    entry->mKind = kAssignVariable;
    entry->mNumber = number;
    entry->mOperator = target.mOperator;
    entry->mSigil = sigil == 0x60 ? kSigilGrave : sigil == '#' ? kSigilHash : kSigilNone;
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

}  // namespace instruction_stream

void DropInstructionStreams() {
  namespace is = instruction_stream;
  is::g_current = nullptr;
  is::g_Handlers = nullptr;
  is::g_ArgRecords = nullptr;
  is::g_Entries = nullptr;
  is::g_EntryCount = 0;
  is::g_streams.clear();
}

int InstructionStreamCount() { return static_cast<int>(instruction_stream::g_streams.size()); }
