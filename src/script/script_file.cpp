// Script files: loading, unscrambling, checking and binding one compiled
// script file, and the section key.
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/byte_reader.h"
#include "core/checksums.h"
#include "core/errors.h"
#include "datasrc/resource_lookup.h"
#include "script/eval.h"
#include "script/eval_cache.h"
#include "script/runtime_tables.h"
#include "script/script_data.h"
#include "script/task_step.h"

static_assert(std::endian::native == std::endian::little, "argument records are read in place");

const char kScriptIdentifier[] = "revnavro";
uint8_t g_ScriptSectionKey[4];

namespace {

constexpr size_t kHeaderBytes = 32;
constexpr size_t kInstructionBytes = 4;
constexpr size_t kRecordBytes = sizeof(ArgumentRecord);
constexpr int kMaxCallValues = 16;

// Argument counts of a call or return, from its aux word.
void DecodeCallCounts(uint16_t aux, int* ints, int* reals, int* strings) {
  *ints = (aux >> 3) & 0x1F;
  *reals = (aux & 0x7) * 4 + (aux >> 14);
  *strings = (aux >> 9) & 0x1F;
}

// The fewest argument records that a command reads by position.
int MinimumRecords(uint8_t command) {
  switch (command) {
    case kCommandBlockBegin:
      return 3;  // condition, next branch, end
    case kCommandLoopBegin:
      return 2;  // limit, end
    case kCommandAssign:  // target, value
    case kCommandIntDeclare:  // variable, initial value
    case kCommandRealDeclare:
    case kCommandStringDeclare:
      return 2;
    default:
      return 0;
  }
}

// True when record index `record` of the instruction holds a branch target
// (an instruction index in its length field) instead of an expression.
bool IsBranchRecord(uint8_t command, uint8_t argCount, int record) {
  switch (command) {
    case kCommandBlockBegin:
      return record == 1 || record == 2;
    case kCommandLoopBegin:
      return record == 1;
    case kCommandElse:
      return argCount != 0 && record == 1;
    default:
      return false;
  }
}

bool CheckInstructions(ScriptFileRecord* record, const uint8_t* instructions, uint32_t count,
                       ArgumentRecord* records, size_t recordCount) {
  size_t next = 0;
  for (uint32_t index = 0; index < count; ++index) {
    const uint8_t* instruction = instructions + index * kInstructionBytes;
    uint8_t command = instruction[0];
    uint8_t argCount = instruction[1];
    auto aux = static_cast<uint16_t>(instruction[2] | instruction[3] << 8);
    // The command must have a handler slot and a declaration.
    if (command >= kCommandSlots || command >= g_CommandCount) return false;
    if (argCount < MinimumRecords(command)) return false;
    if (command == kCommandElse && argCount == 1) return false;
    if (command == kCommandCall || command == kCommandReturn) {
      int ints = 0;
      int reals = 0;
      int strings = 0;
      DecodeCallCounts(aux, &ints, &reals, &strings);
      if (ints > kMaxCallValues || reals > kMaxCallValues || strings > kMaxCallValues) return false;
    }
    if (argCount > recordCount - next) return false;
    for (int arg = 0; arg < argCount; ++arg) {
      const ArgumentRecord& argument = records[next + arg];
      if (argument.mId >= g_ArgDeclCounts[command]) return false;
      if (IsBranchRecord(command, argCount, arg)) {
        if (argument.mLength >= count) return false;
        continue;
      }
      // Value types 0-4 select an evaluator entry (0 has none: the command
      // that reads the record gives it its meaning).
      if (argument.mValueType > 4) return false;
      if (argument.mLength >= kResolvedJumpTag) return false;
      if (static_cast<uint64_t>(argument.mOffset) + argument.mLength > record->mExpressionSize) return false;
    }
    if (command == kCommandAssign && records[next].mOperator > 8) return false;
    record->mArgRecords[index] = records + next;
    record->mArgCounts[index] = argCount;
    record->mAuxWords[index] = aux;
    next += argCount;
  }
  return true;
}

// Resolves the labels of jumps and calls whose names are constant texts.
void ResolveLabels(ScriptFileRecord* record, const uint8_t* instructions, ArgumentRecord* firstRecord) {
  char buffer[kEvalStringBytes];
  FillOperatorTable(0);
  for (int32_t index = 0; index < record->mInstructionCount; ++index) {
    uint8_t command = instructions[static_cast<size_t>(index) * kInstructionBytes];
    uint8_t argCount = record->mArgCounts[index];
    ArgumentRecord* arguments = record->mArgRecords[index];
    if (argCount == 0) continue;
    if (command == kCommandJump) {
      g_LabelEvalFailed = 0;
      size_t length = EvalStringInt(buffer, record->mExpressionData + arguments[0].mOffset, arguments[0].mLength);
      if (g_LabelEvalFailed == 0) {
        int32_t label = FindLabel(buffer, length);
        if (label >= 0) arguments[0].mLength = kResolvedJumpTag + static_cast<uint32_t>(label);
      }
    } else if (command == kCommandCall) {
      for (int arg = 0; arg < argCount; ++arg) {
        if (arguments[arg].mId != 0) continue;
        auto recordNumber = static_cast<size_t>(arguments + arg - firstRecord);
        record->mCallLabels[recordNumber] = -1;
        g_LabelEvalFailed = 0;
        size_t length =
            EvalStringInt(buffer, record->mExpressionData + arguments[arg].mOffset, arguments[arg].mLength);
        if (g_LabelEvalFailed == 0) record->mCallLabels[recordNumber] = FindLabel(buffer, length);
      }
    }
  }
  g_LabelEvalFailed = 0;
  FillOperatorTable(1);
}

}  // namespace

void MakeScriptSectionKey(const char* identifier, uint8_t key[4]) {
  uint32_t crc = Crc32(identifier, std::strlen(identifier));
  key[0] = static_cast<uint8_t>(crc >> 24);
  key[1] = static_cast<uint8_t>(crc >> 16);
  key[2] = static_cast<uint8_t>(crc >> 8);
  key[3] = static_cast<uint8_t>(crc);
}

void InitScriptSectionKey() { MakeScriptSectionKey(kScriptIdentifier, g_ScriptSectionKey); }

void ScrambleSection(uint8_t* data, size_t size, const uint8_t key[4]) {
  for (size_t index = 0; index < size; ++index) data[index] ^= key[index & 3];
}

void FreeScriptFileRecord(ScriptFileRecord* record) {
  if (record == nullptr) return;
  // Its expressions may have been decoded.
  DropEvalCache();
  std::free(record->mHandlers[0]);
  std::free(record->mHandlers[1]);
  std::free(record->mAuxWords);
  std::free(record->mArgCounts);
  std::free(record->mArgRecords);
  std::free(record->mLines);
  std::free(record->mCallLabels);
  std::free(record->mImage);
  std::free(record);
}

int LoadScriptFile(uint16_t script) {
  if (g_ScriptFileTable == nullptr || script >= g_ScriptCount) {
    ReportError(kMsgScriptNumberOutOfRange);
    return 0;
  }
  if (g_ScriptFileTable[script] != nullptr) return 1;

  char name[32];
  std::snprintf(name, sizeof(name), "qvbin\\qvt%05u.qbn", static_cast<unsigned>(script));
  ResourceLocation location;
  if (LoadResourceWhole(&location, name) != 0 || location.mData == nullptr) return 0;

  auto* record = static_cast<ScriptFileRecord*>(std::calloc(1, sizeof(ScriptFileRecord)));
  if (record == nullptr) {
    ReleaseResourceData(&location);
    ReportError(kMsgOutOfMemory);
    return 0;
  }
  record->mImage = location.mData;

  ByteReader reader(location.mData, location.mSize);
  reader.Skip(8);
  uint32_t count = reader.U32();
  uint64_t instructionBytes = reader.U32();
  uint64_t argumentBytes = reader.U32();
  uint64_t expressionBytes = reader.U32();
  uint64_t lineBytes = reader.U32();
  // The instruction section holds exactly four bytes an instruction, so the
  // argument records that follow it stay on their 4-byte grid (and the count,
  // a quarter of a 32-bit size, fits an i32).
  bool valid = !reader.mFailed && reader.Skip(4) &&
               kHeaderBytes + instructionBytes + argumentBytes + expressionBytes + lineBytes <= location.mSize &&
               static_cast<uint64_t>(count) * kInstructionBytes == instructionBytes &&
               static_cast<uint64_t>(count) * 4 <= lineBytes;
  if (!valid) {
    FreeScriptFileRecord(record);
    ReportErrorFmt(kMsgCannotReadFile, name);
    return 0;
  }

  uint8_t* instructions = location.mData + kHeaderBytes;
  uint8_t* arguments = instructions + instructionBytes;
  uint8_t* expressions = arguments + argumentBytes;
  uint8_t* lines = expressions + expressionBytes;
  ScrambleSection(instructions, instructionBytes, g_ScriptSectionKey);
  ScrambleSection(arguments, argumentBytes, g_ScriptSectionKey);
  ScrambleSection(expressions, expressionBytes, g_ScriptSectionKey);
  ScrambleSection(lines, lineBytes, g_ScriptSectionKey);

  size_t recordCount = argumentBytes / kRecordBytes;
  size_t slots = count > 0 ? count : 1;
  record->mInstructionCount = static_cast<int32_t>(count);
  record->mExpressionData = expressions;
  record->mExpressionSize = static_cast<uint32_t>(expressionBytes);
  record->mArgRecordCount = static_cast<int32_t>(recordCount);
  record->mHandlers[0] = static_cast<CommandHandler*>(std::calloc(slots, sizeof(CommandHandler)));
  record->mHandlers[1] = static_cast<CommandHandler*>(std::calloc(slots, sizeof(CommandHandler)));
  record->mAuxWords = static_cast<uint16_t*>(std::calloc(slots, sizeof(uint16_t)));
  record->mArgCounts = static_cast<uint8_t*>(std::calloc(slots, 1));
  record->mArgRecords = static_cast<ArgumentRecord**>(std::calloc(slots, sizeof(ArgumentRecord*)));
  record->mLines = static_cast<int32_t*>(std::calloc(slots, sizeof(int32_t)));
  record->mCallLabels = static_cast<int32_t*>(std::malloc((recordCount > 0 ? recordCount : 1) * sizeof(int32_t)));
  if (record->mHandlers[0] == nullptr || record->mHandlers[1] == nullptr || record->mAuxWords == nullptr ||
      record->mArgCounts == nullptr || record->mArgRecords == nullptr || record->mLines == nullptr ||
      record->mCallLabels == nullptr) {
    FreeScriptFileRecord(record);
    ReportError(kMsgOutOfMemory);
    return 0;
  }
  for (size_t index = 0; index < recordCount; ++index) record->mCallLabels[index] = -1;
  // The line section may sit at any byte position: copy it out.
  if (count > 0) std::memcpy(record->mLines, lines, static_cast<size_t>(count) * sizeof(int32_t));

  auto* records = reinterpret_cast<ArgumentRecord*>(arguments);
  valid = CheckInstructions(record, instructions, count, records, recordCount);
  // Every label of this script must point at one of its instructions.
  for (int32_t label = 0; valid && label < g_LabelCount; ++label) {
    if (g_Labels[label].mScriptNumber == script && g_Labels[label].mPosition >= static_cast<int32_t>(count)) {
      valid = false;
    }
  }
  if (!valid) {
    FreeScriptFileRecord(record);
    ReportErrorFmt(kMsgCannotReadFile, name);
    return 0;
  }

  for (uint32_t index = 0; index < count; ++index) {
    record->mHandlers[0][index] = InstructionPreStep;
    record->mHandlers[1][index] = g_CommandTable[instructions[index * kInstructionBytes]];
  }
  g_ScriptFileTable[script] = record;
  ResolveLabels(record, instructions, records);
  if (InitScriptVariables(script) != 0) return 0;
  return 1;
}

bool EnterScriptFile(ExecutionContext* context, uint16_t script) {
  if (context == nullptr || g_ScriptFileTable == nullptr || script >= g_ScriptCount) return false;
  const ScriptFileRecord* record = g_ScriptFileTable[script];
  if (record == nullptr) return false;
  context->mScriptNumber = script;
  context->mInstructionCount = record->mInstructionCount;
  context->mHandlers = record->mHandlers;
  context->mAuxWords = record->mAuxWords;
  context->mArgCounts = record->mArgCounts;
  context->mArgRecords = record->mArgRecords;
  context->mExpressionData = record->mExpressionData;
  context->mLines = record->mLines;
  context->mCallLabels = record->mCallLabels;
  return true;
}
