#pragma once
// Writes the compiled script data files (qvbin\*.qbn) from their layouts:
// message texts, command declarations, the variable count, the script list,
// variable definitions, the label directory, the engine configuration and
// the script files with their four scrambled sections. Texts are Shift-JIS
// bytes (narrow literals are compiled to CP932).
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Little-endian byte writer.
struct ByteWriter {
  Bytes mBytes;
  ByteWriter& U8(uint32_t value);
  ByteWriter& U16(uint32_t value);
  ByteWriter& U32(uint32_t value);
  ByteWriter& I32(int32_t value) { return U32(static_cast<uint32_t>(value)); }
  ByteWriter& U64(uint64_t value);
  ByteWriter& I64(int64_t value) { return U64(static_cast<uint64_t>(value)); }
  ByteWriter& F64(double value);
  ByteWriter& Raw(const void* data, size_t size);
  ByteWriter& Raw(const Bytes& bytes) { return Raw(bytes.data(), bytes.size()); }
  ByteWriter& Text(const std::string& text);   // the bytes and a terminator
  ByteWriter& Zeros(size_t count);
  void PutU32At(size_t offset, uint32_t value);
};

// A file of the game folder: its game name ("qvbin\qvt00000.qbn") and bytes.
struct GameFile {
  std::string mName;
  Bytes mBytes;
};

// qve.qbn
struct MessageEntry {
  int32_t mId;
  std::string mText;
};
Bytes BuildMessageFile(const std::vector<MessageEntry>& entries);

// qvc.qbn
struct ArgumentDecl {
  std::string mName;
  uint8_t mValueKind = 0;  // 0 number, 1 string, 2 raw
  uint8_t mCheckKind = 0;  // 0-28
};
struct CommandDecl {
  std::string mName;
  std::vector<ArgumentDecl> mArgs;
};
constexpr int kErrnoTextCount = 37;
// errnoTexts: up to 37 texts (missing ones are written as "errno N"); the
// key table maps script key k to an input slot.
Bytes BuildCommandFile(const std::vector<CommandDecl>& commands, const std::vector<std::string>& errnoTexts = {},
                       const std::array<uint8_t, 256>* keyTable = nullptr);

// qvt.qbn
Bytes BuildVariableCountFile(uint32_t count, uint32_t value = 0, uint32_t version = 554);

// qvt_list.qbn
struct ScriptListEntry {
  uint32_t mNumber;
  std::string mName;
  uint32_t mValue = 0;
};
Bytes BuildScriptListFile(const std::vector<ScriptListEntry>& entries);

// qvv.qbn
struct VariableDefinition {
  uint8_t mScope = 1;  // 1 and 3 at start-up, 2 with its script
  uint8_t mGroup = 1;
  uint16_t mScript = 0;
  uint16_t mVariable = 0;
  uint8_t mType = 1;  // 1 integer, 2 real, 3 string (an expression)
  std::vector<uint32_t> mDims;
  int64_t mInt = 0;
  double mReal = 0;
  Bytes mStringExpression;
};
Bytes BuildDefinitionFile(const std::vector<VariableDefinition>& definitions);

// qvl.qbn
struct LabelEntry {
  std::string mName;
  uint32_t mPosition = 0;
  uint16_t mScript = 0;
  uint8_t mBlockDepth = 0;
  uint8_t mLoopDepth = 0;
  std::optional<uint32_t> mHash;  // written instead of the name's hash
};
// Orders the labels by the top byte of their hash (stably) and writes the
// bucket starts: bucket b starts at the number of labels whose top byte is
// below b. `buckets` replaces the computed starts.
Bytes BuildLabelFile(std::vector<LabelEntry> labels, const std::array<int32_t, 256>* buckets = nullptr);
// The order BuildLabelFile writes: label numbers as the engine sees them.
std::vector<LabelEntry> SortLabels(std::vector<LabelEntry> labels);

// qvcfg.qbn
struct EngineConfigFile {
  uint32_t mWidth = 640;
  uint32_t mHeight = 480;
  uint32_t mDisplayState = 1;
  std::array<uint8_t, 8> mImageOrder{1, 2, 3, 4, 5, 6, 0, 0};
  std::array<uint8_t, 4> mSoundOrder{1, 2, 0, 0};
  uint32_t mThreadedStep = 0;
  uint32_t mDebugMode = 0;
  uint32_t mSoundSetting = 0;
  uint32_t mThickFrame = 0;
  uint32_t mWindowStyle = 0;
  uint32_t mReserved = 0;
  uint32_t mLooseFirstDev = 0;
  uint32_t mLooseFirstRelease = 0;
  std::string mTitle = "ORVANE";
};
Bytes BuildConfigFile(const EngineConfigFile& config);

// Script files. An argument carries either an expression or a branch target
// (an instruction index stored in its length field).
struct RawArgument {
  uint8_t mId = 0;
  uint8_t mValueType = 1;
  uint8_t mOperator = 0;
  Bytes mExpression;
  std::optional<uint32_t> mBranchTarget;
};
struct RawInstruction {
  uint8_t mCommand = 0;
  uint16_t mAux = 0;
  std::vector<RawArgument> mArgs;
  int32_t mLine = 0;
};
// The four sections before scrambling, and the header fields.
struct ScriptFileSections {
  uint32_t mInstructionCount = 0;
  Bytes mInstructions;
  Bytes mArguments;
  Bytes mExpressions;
  Bytes mLines;
};
ScriptFileSections BuildScriptSections(const std::vector<RawInstruction>& instructions);
// Writes the header and the sections, each scrambled with the key. Header
// fields can be overridden to write lying files.
struct ScriptHeaderOverrides {
  std::optional<uint32_t> mCount{};
  std::optional<uint32_t> mInstructionBytes{};
  std::optional<uint32_t> mArgumentBytes{};
  std::optional<uint32_t> mExpressionBytes{};
  std::optional<uint32_t> mLineBytes{};
};
Bytes BuildScriptFile(const ScriptFileSections& sections, const std::array<uint8_t, 4>& key,
                      const ScriptHeaderOverrides& overrides = {});
// The key the engine uses: derived from its identifier string.
std::array<uint8_t, 4> DefaultSectionKey();
std::string ScriptFileName(uint32_t script);

// A whole game's script data.
std::array<uint8_t, 256> IdentityKeyTable();

struct ScriptData {
  std::vector<MessageEntry> mMessages;
  std::vector<CommandDecl> mCommands;
  uint32_t mVariableCount = 1999;
  uint32_t mVariableValue = 0;
  uint32_t mVariableVersion = 554;
  std::vector<ScriptListEntry> mScripts;
  std::vector<VariableDefinition> mDefinitions;
  std::vector<LabelEntry> mLabels;
  EngineConfigFile mConfig;
  std::map<uint32_t, std::vector<RawInstruction>> mScriptFiles;
  std::array<uint8_t, 4> mKey = DefaultSectionKey();
  // Script key k's input slot (slot k unless a test changes it).
  std::array<uint8_t, 256> mKeyTable = IdentityKeyTable();
};
// Every file of the script data with its game name.
std::vector<GameFile> BuildScriptDataFiles(const ScriptData& data);

// Writes game files below a folder (native path), creating sub-folders.
void WriteGameFiles(const std::string& folder, const std::vector<GameFile>& files);
void WriteGameFile(const std::string& folder, const GameFile& file);
