// Loading the compiled script data at start-up: message texts, command
// declarations, the variable table and definitions, the script list and the
// label directory. Every count, length and offset of the files is checked
// against the file; bad data is refused with a fatal report (104010 with the
// file name) before anything is built from it.
#include "script/script_data.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/byte_reader.h"
#include "core/checksums.h"
#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "datasrc/resource_lookup.h"
#include "script/eval.h"
#include "script/eval_cache.h"
#include "script/variables.h"

CommandHandler g_CommandTable[kCommandSlots];
int32_t g_CommandCount = 0;
const char* g_CommandNames[kCommandSlots];
uint8_t g_ArgDeclCounts[kCommandSlots];
const char** g_ArgNames[kCommandSlots];
uint8_t* g_ArgValueKinds[kCommandSlots];
uint8_t* g_ArgCheckKinds[kCommandSlots];
const char* g_ErrnoTexts[kErrnoTexts];
uint8_t g_ScriptKeyTable[kScriptKeyTableBytes];

VariableRecord** g_VariableTable = nullptr;
uint32_t g_VariableCount = 0;
uint32_t g_VariableFileValue = 0;

int32_t g_ScriptCount = 0;
ScriptFileRecord** g_ScriptFileTable = nullptr;
char** g_ScriptNames = nullptr;
uint32_t* g_ScriptValues = nullptr;

uint8_t* g_VariableDefinitions = nullptr;
size_t g_VariableDefinitionsSize = 0;
uint16_t g_VariableDefinitionCount = 0;

LabelRecord* g_Labels = nullptr;
int32_t g_LabelCount = 0;
int32_t g_LabelBuckets[kLabelBuckets];

namespace {

constexpr const char* kMessageFile = "qvbin\\qve.qbn";
constexpr const char* kCommandFile = "qvbin\\qvc.qbn";
constexpr const char* kVariableFile = "qvbin\\qvt.qbn";
constexpr const char* kScriptListFile = "qvbin\\qvt_list.qbn";
constexpr const char* kDefinitionFile = "qvbin\\qvv.qbn";
constexpr const char* kLabelFile = "qvbin\\qvl.qbn";
constexpr int kMaxMessageEntries = 256;
constexpr uint8_t kMaxCheckKind = 28;
// Script numbers are 16-bit.
constexpr uint32_t kMaxScripts = 0x10000;

// The command-table image: the names and texts point into it.
uint8_t* g_commandImage = nullptr;

int NoMemory() {
  ReportError(kMsgOutOfMemory);
  return -1;
}

int RefuseFile(const char* name) {
  ReportErrorFmt(kMsgCannotReadFile, name);
  return -1;
}

// Reads a whole file with the loader convention; false after the report.
bool ReadWholeFile(const char* name, ResourceLocation* location) {
  *location = ResourceLocation();
  return LoadResourceWhole(location, name) == 0 && location->mData != nullptr;
}

void FreeCommandTable() {
  for (int slot = 0; slot < kCommandSlots; ++slot) {
    std::free(g_ArgNames[slot]);
    std::free(g_ArgValueKinds[slot]);
    std::free(g_ArgCheckKinds[slot]);
    g_ArgNames[slot] = nullptr;
    g_ArgValueKinds[slot] = nullptr;
    g_ArgCheckKinds[slot] = nullptr;
    g_CommandNames[slot] = nullptr;
    g_ArgDeclCounts[slot] = 0;
    g_CommandTable[slot] = nullptr;
  }
  for (const char*& text : g_ErrnoTexts) text = nullptr;
  std::memset(g_ScriptKeyTable, 0, sizeof(g_ScriptKeyTable));
  g_CommandCount = 0;
  std::free(g_commandImage);
  g_commandImage = nullptr;
}

void FreeVariableTable() {
  // Decoded expressions hold variable records.
  DropEvalCache();
  if (g_VariableTable != nullptr) {
    for (uint32_t number = 0; number < g_VariableCount; ++number) {
      FreeVariableStorage(g_VariableTable[number]);
      std::free(g_VariableTable[number]);
    }
  }
  std::free(g_VariableTable);
  g_VariableTable = nullptr;
  g_VariableCount = 0;
  g_VariableFileValue = 0;
}

void FreeScriptList() {
  for (int32_t script = 0; script < g_ScriptCount; ++script) {
    if (g_ScriptFileTable != nullptr) FreeScriptFileRecord(g_ScriptFileTable[script]);
    if (g_ScriptNames != nullptr) std::free(g_ScriptNames[script]);
  }
  std::free(g_ScriptFileTable);
  std::free(g_ScriptNames);
  std::free(g_ScriptValues);
  g_ScriptFileTable = nullptr;
  g_ScriptNames = nullptr;
  g_ScriptValues = nullptr;
  g_ScriptCount = 0;
}

void FreeLabels() {
  for (int32_t label = 0; label < g_LabelCount; ++label) std::free(g_Labels[label].mName);
  std::free(g_Labels);
  g_Labels = nullptr;
  g_LabelCount = 0;
  std::memset(g_LabelBuckets, 0, sizeof(g_LabelBuckets));
}

// One variable definition of qvv.qbn, read from the validated image.
struct Definition {
  uint8_t mScope;
  uint8_t mGroup;
  uint16_t mScript;
  uint16_t mVariable;
  uint8_t mType;
  uint8_t mDimCount;
  uint32_t mDims[kMaxDimensions];
  int64_t mInt;
  double mReal;
  const uint8_t* mExpression;
  uint16_t mExpressionLength;
};

// Reads one definition; false when it does not fit the image or has more
// than eight dimensions.
bool ReadDefinition(ByteReader& reader, Definition* definition) {
  definition->mScope = reader.U8();
  definition->mGroup = reader.U8();
  definition->mScript = reader.U16();
  definition->mVariable = reader.U16();
  definition->mType = reader.U8();
  definition->mDimCount = reader.U8();
  if (reader.mFailed || definition->mDimCount > kMaxDimensions) return false;
  for (int dim = 0; dim < definition->mDimCount; ++dim) definition->mDims[dim] = reader.U32();
  definition->mExpression = nullptr;
  definition->mExpressionLength = 0;
  if (definition->mType == kVarInt) {
    definition->mInt = reader.I64();
  } else if (definition->mType == kVarReal) {
    definition->mReal = reader.F64();
  } else if (definition->mType == kVarString) {
    definition->mExpressionLength = reader.U16();
    definition->mExpression = reader.Take(definition->mExpressionLength);
  }
  return !reader.mFailed;
}

}  // namespace

int LoadErrorTexts() {
  ResourceLocation location;
  if (!ReadWholeFile(kMessageFile, &location)) return -1;
  ByteReader reader(location.mData, location.mSize);
  reader.Skip(8);
  uint32_t count = reader.U32();
  reader.Skip(4);
  bool valid = !reader.mFailed && count <= kMaxMessageEntries;
  ClearMessageTexts();
  for (uint32_t entry = 0; valid && entry < count; ++entry) {
    auto id = static_cast<int32_t>(reader.U32());
    size_t length = 0;
    const char* text = reader.CString(&length);
    valid = text != nullptr && AddMessageText(id, std::string_view(text, length));
  }
  ReleaseResourceData(&location);
  if (!valid) {
    ClearMessageTexts();
    return RefuseFile(kMessageFile);
  }
  return 0;
}

int LoadCommandTable() {
  FreeCommandTable();
  ResourceLocation location;
  if (!ReadWholeFile(kCommandFile, &location)) return -1;
  g_commandImage = location.mData;
  ByteReader reader(location.mData, location.mSize);
  reader.Skip(8);
  uint32_t count = reader.U32();
  reader.Skip(4);
  bool valid = !reader.mFailed && count <= static_cast<uint32_t>(kCommandSlots);
  for (uint32_t command = 0; valid && command < count; ++command) {
    g_CommandNames[command] = reader.CString();
    uint8_t argCount = reader.U8();
    if (reader.mFailed) {
      valid = false;
      break;
    }
    g_ArgDeclCounts[command] = argCount;
    // At least one entry each, so that every declared command has arrays.
    g_ArgNames[command] = static_cast<const char**>(std::calloc(argCount + 1u, sizeof(const char*)));
    g_ArgValueKinds[command] = static_cast<uint8_t*>(std::calloc(argCount + 1u, 1));
    g_ArgCheckKinds[command] = static_cast<uint8_t*>(std::calloc(argCount + 1u, 1));
    if (g_ArgNames[command] == nullptr || g_ArgValueKinds[command] == nullptr || g_ArgCheckKinds[command] == nullptr) {
      FreeCommandTable();
      return NoMemory();
    }
    for (uint8_t arg = 0; arg < argCount; ++arg) {
      g_ArgNames[command][arg] = reader.CString();
      g_ArgValueKinds[command][arg] = reader.U8();
      g_ArgCheckKinds[command][arg] = reader.U8();
      if (reader.mFailed || g_ArgCheckKinds[command][arg] > kMaxCheckKind) {
        valid = false;
        break;
      }
    }
  }
  for (int number = 0; valid && number < kErrnoTexts; ++number) {
    g_ErrnoTexts[number] = reader.CString();
    valid = g_ErrnoTexts[number] != nullptr;
  }
  const uint8_t* keyTable = valid ? reader.Take(kScriptKeyTableBytes) : nullptr;
  if (keyTable == nullptr) {
    FreeCommandTable();
    return RefuseFile(kCommandFile);
  }
  std::memcpy(g_ScriptKeyTable, keyTable, kScriptKeyTableBytes);
  g_CommandCount = static_cast<int32_t>(count);
  InstallCommandHandlers();
  return 0;
}

int LoadVariableTable() {
  FreeVariableTable();
  ResourceLocation location;
  if (!ReadWholeFile(kVariableFile, &location)) return -1;
  ByteReader reader(location.mData, location.mSize);
  reader.Skip(4);
  uint32_t version = reader.U32();
  uint32_t count = reader.U32();
  uint32_t value = reader.U32();
  ReleaseResourceData(&location);
  if (reader.mFailed) return RefuseFile(kVariableFile);
  if (version != kVariableFileVersion) {
    ReportError(kMsgVariableFileVersion);
    return -1;
  }
  // Variable numbers are 16-bit wherever scripts name them.
  if (count > kMaxVariableNumber) return RefuseFile(kVariableFile);
  uint32_t records = count + 1;
  g_VariableTable = static_cast<VariableRecord**>(std::calloc(records, sizeof(VariableRecord*)));
  if (g_VariableTable == nullptr) return NoMemory();
  g_VariableCount = records;
  for (uint32_t number = 0; number < records; ++number) {
    g_VariableTable[number] = static_cast<VariableRecord*>(std::calloc(1, sizeof(VariableRecord)));
    if (g_VariableTable[number] == nullptr) {
      FreeVariableTable();
      return NoMemory();
    }
  }
  g_VariableFileValue = value;
  return 0;
}

int AllocateScriptFileTable(int32_t count) {
  FreeScriptList();
  size_t slots = count > 0 ? static_cast<size_t>(count) : 1;
  g_ScriptFileTable = static_cast<ScriptFileRecord**>(std::calloc(slots, sizeof(ScriptFileRecord*)));
  g_ScriptNames = static_cast<char**>(std::calloc(slots, sizeof(char*)));
  g_ScriptValues = static_cast<uint32_t*>(std::calloc(slots, sizeof(uint32_t)));
  if (g_ScriptFileTable == nullptr || g_ScriptNames == nullptr || g_ScriptValues == nullptr) {
    FreeScriptList();
    return NoMemory();
  }
  g_ScriptCount = count;
  return 0;
}

int LoadScriptList() {
  FreeScriptList();
  ResourceLocation location;
  if (!ReadWholeFile(kScriptListFile, &location)) return -1;
  ByteReader reader(location.mData, location.mSize);
  reader.Skip(8);
  uint32_t count = reader.U32();
  // Every entry takes at least 28 bytes.
  constexpr size_t kEntryBytes = 28;
  if (reader.mFailed || count > kMaxScripts || count > reader.Remaining() / kEntryBytes) {
    ReleaseResourceData(&location);
    return RefuseFile(kScriptListFile);
  }
  if (AllocateScriptFileTable(static_cast<int32_t>(count)) != 0) {
    ReleaseResourceData(&location);
    return -1;
  }
  int result = 0;
  for (uint32_t entry = 0; entry < count; ++entry) {
    uint32_t script = reader.U32();
    uint32_t length = reader.U32();
    const uint8_t* name = reader.Take(length);
    reader.Skip(16);
    uint32_t value = reader.U32();
    if (reader.mFailed) {
      result = RefuseFile(kScriptListFile);
      break;
    }
    if (script >= count) {
      ReportError(kMsgScriptNumberOutOfRange);
      result = -1;
      break;
    }
    // A number listed twice would leave another script without a name.
    if (g_ScriptNames[script] != nullptr) {
      result = RefuseFile(kScriptListFile);
      break;
    }
    char* copy = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
    if (copy == nullptr) {
      result = NoMemory();
      break;
    }
    std::memcpy(copy, name, length);
    copy[length] = '\0';
    g_ScriptNames[script] = copy;
    g_ScriptValues[entry] = value;
  }
  ReleaseResourceData(&location);
  if (result != 0) FreeScriptList();
  return result;
}

int LoadVariableDefinitions() {
  std::free(g_VariableDefinitions);
  g_VariableDefinitions = nullptr;
  g_VariableDefinitionsSize = 0;
  g_VariableDefinitionCount = 0;
  ResourceLocation location;
  if (!ReadWholeFile(kDefinitionFile, &location)) return -1;
  ByteReader reader(location.mData, location.mSize);
  reader.Skip(8);
  uint16_t count = reader.U16();
  bool valid = !reader.mFailed;
  Definition definition;
  for (uint32_t index = 0; valid && index < count; ++index) valid = ReadDefinition(reader, &definition);
  if (!valid) {
    ReleaseResourceData(&location);
    return RefuseFile(kDefinitionFile);
  }
  g_VariableDefinitions = location.mData;
  g_VariableDefinitionsSize = location.mSize;
  g_VariableDefinitionCount = count;
  return 0;
}

namespace {

// Applies the definitions the selector picks, in order.
template <typename Selector>
int ApplyDefinitions(Selector selected) {
  if (g_VariableDefinitions == nullptr) return 0;
  char* buffer = static_cast<char*>(std::calloc(kEvalStringBytes, 1));
  if (buffer == nullptr) return NoMemory();
  ByteReader reader(g_VariableDefinitions, g_VariableDefinitionsSize);
  reader.Skip(10);
  int result = 0;
  Definition definition;
  for (uint32_t index = 0; index < g_VariableDefinitionCount; ++index) {
    if (!ReadDefinition(reader, &definition)) {
      result = RefuseFile(kDefinitionFile);
      break;
    }
    if (definition.mVariable >= g_VariableCount) {
      ReportError(kMsgVariableNumberOutOfRange);
      result = -1;
      break;
    }
    if (!selected(definition)) continue;
    VariableRecord* record = g_VariableTable[definition.mVariable];
    record->mGroup = definition.mGroup;
    record->mVarType = definition.mType;
    record->mDimCount = definition.mDimCount;
    for (int dim = 0; dim < kMaxDimensions; ++dim) {
      record->mDims[dim] = dim < definition.mDimCount ? static_cast<int32_t>(definition.mDims[dim]) : 0;
    }
    int filled = 0;
    if (definition.mType == kVarInt) {
      filled = MakeIntArray(definition.mVariable, definition.mInt);
    } else if (definition.mType == kVarReal) {
      filled = MakeRealArray(definition.mVariable, definition.mReal);
    } else if (definition.mType == kVarString) {
      buffer[0] = '\0';
      size_t length = EvalStringInt(buffer, definition.mExpression, definition.mExpressionLength);
      filled = MakeStringArray(definition.mVariable, buffer, length);
    }
    if (filled != 0) {
      result = -1;
      break;
    }
  }
  std::free(buffer);
  return result;
}

}  // namespace

int InitScriptVariables(int32_t script) {
  return ApplyDefinitions([script](const Definition& definition) {
    return (script == -1 && (definition.mScope == 1 || definition.mScope == 3)) ||
           (definition.mScope == 2 && definition.mScript == script);
  });
}

int ResetVariablesFromDefinitions(int, int intMask, int realMask, int stringMask) {
  return ApplyDefinitions([=](const Definition& definition) {
    if (definition.mScope != 1) return false;
    if (definition.mGroup < 1 || definition.mGroup > 4) return true;
    int mask = definition.mType == kVarInt ? intMask : definition.mType == kVarReal ? realMask : stringMask;
    return (mask & (1 << (definition.mGroup - 1))) != 0;
  });
}

int LoadLabels() {
  FreeLabels();
  ResourceLocation location;
  if (!ReadWholeFile(kLabelFile, &location)) return -1;
  ByteReader reader(location.mData, location.mSize);
  reader.Skip(8);
  uint32_t count = reader.U32();
  int32_t buckets[kLabelBuckets];
  for (int32_t& start : buckets) start = reader.I32();
  buckets[0] = 0;
  // Every record takes at least 13 bytes.
  constexpr size_t kRecordBytes = 13;
  bool valid = !reader.mFailed && count <= reader.Remaining() / kRecordBytes;
  for (int32_t start : buckets) valid = valid && start >= 0;
  if (valid && count > 0) {
    g_Labels = static_cast<LabelRecord*>(std::calloc(count, sizeof(LabelRecord)));
    if (g_Labels == nullptr) {
      ReleaseResourceData(&location);
      return NoMemory();
    }
  }
  for (uint32_t label = 0; valid && label < count; ++label) {
    uint8_t length = reader.U8();
    const uint8_t* name = reader.Take(length);
    uint32_t hash = reader.U32();
    uint32_t position = reader.U32();
    uint16_t script = reader.U16();
    uint8_t blockDepth = reader.U8();
    uint8_t loopDepth = reader.U8();
    // A label's script must exist and its depths must fit the task stacks;
    // its position is checked when its script file is loaded.
    valid = !reader.mFailed && script < g_ScriptCount && blockDepth <= kMaxStackDepth &&
            loopDepth <= kMaxStackDepth && position <= 0x7FFFFFFFu;
    if (!valid) break;
    char* copy = static_cast<char*>(std::malloc(length + 1u));
    if (copy == nullptr) {
      FreeLabels();
      ReleaseResourceData(&location);
      return NoMemory();
    }
    std::memcpy(copy, name, length);
    copy[length] = '\0';
    LabelRecord& record = g_Labels[label];
    record.mName = copy;
    record.mNameLength = length;
    record.mHash = hash;
    record.mPosition = static_cast<int32_t>(position);
    record.mScriptNumber = script;
    record.mBlockDepth = blockDepth;
    record.mLoopDepth = loopDepth;
    g_LabelCount = static_cast<int32_t>(label) + 1;
  }
  ReleaseResourceData(&location);
  if (!valid) {
    FreeLabels();
    return RefuseFile(kLabelFile);
  }
  std::memcpy(g_LabelBuckets, buckets, sizeof(buckets));
  return 0;
}

int32_t FindLabel(const char* name, size_t length) {
  uint32_t hash = MurmurHash2(name, length);
  int32_t start = g_LabelBuckets[hash >> 24];
  if (start < 0 || start >= g_LabelCount) return -1;
  for (int32_t label = start; label < g_LabelCount; ++label) {
    const LabelRecord& record = g_Labels[label];
    if (record.mHash == hash && static_cast<size_t>(record.mNameLength) == length &&
        std::memcmp(record.mName, name, length) == 0) {
      return label;
    }
  }
  return -1;
}

int LoadScriptData() {
  if (LoadErrorTexts() != 0) return -1;
  if (LoadCommandTable() != 0) return -1;
  if (LoadVariableTable() != 0) return -1;
  if (LoadScriptList() != 0) return -1;
  if (LoadVariableDefinitions() != 0) return -1;
  if (InitScriptVariables(-1) != 0) return -1;
  if (LoadLabels() != 0) return -1;

  static constexpr char kStartLabel[] = "SYSTEM_START";
  int32_t label = FindLabel(kStartLabel, sizeof(kStartLabel) - 1);
  if (label < 0) {
    ReportErrorFmt(kMsgLabelNotFound, kStartLabel);
    return -1;
  }
  ObjectTreeNode* mainTask = FindLeafChildByName(g_TaskRoot, "SYSTEM", 6);
  if (mainTask == nullptr || mainTask->mPayload == nullptr) return -1;
  auto* context = static_cast<ExecutionContext*>(mainTask->mPayload);
  const LabelRecord& start = g_Labels[label];
  if (LoadScriptFile(start.mScriptNumber) == 0) return -1;
  EnterScriptFile(context, start.mScriptNumber);
  context->mPc = start.mPosition;
  context->mBlockDepth = static_cast<int8_t>(start.mBlockDepth);
  context->mLoopDepth = static_cast<int8_t>(start.mLoopDepth);
  return 0;
}

void ReleaseScriptData() {
  FreeLabels();
  std::free(g_VariableDefinitions);
  g_VariableDefinitions = nullptr;
  g_VariableDefinitionsSize = 0;
  g_VariableDefinitionCount = 0;
  FreeScriptList();
  FreeVariableTable();
  FreeCommandTable();
  ClearMessageTexts();
}
