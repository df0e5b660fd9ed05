#include "support/script_data_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "core/checksums.h"
#include "script/script_data.h"

ByteWriter& ByteWriter::U8(uint32_t value) {
  mBytes.push_back(static_cast<uint8_t>(value));
  return *this;
}
ByteWriter& ByteWriter::U16(uint32_t value) {
  U8(value);
  return U8(value >> 8);
}
ByteWriter& ByteWriter::U32(uint32_t value) {
  U16(value);
  return U16(value >> 16);
}
ByteWriter& ByteWriter::U64(uint64_t value) {
  U32(static_cast<uint32_t>(value));
  return U32(static_cast<uint32_t>(value >> 32));
}
ByteWriter& ByteWriter::F64(double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof(bits));
  return U64(bits);
}
ByteWriter& ByteWriter::Raw(const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  mBytes.insert(mBytes.end(), bytes, bytes + size);
  return *this;
}
ByteWriter& ByteWriter::Text(const std::string& text) {
  Raw(text.data(), text.size());
  return U8(0);
}
ByteWriter& ByteWriter::Zeros(size_t count) {
  mBytes.insert(mBytes.end(), count, 0);
  return *this;
}
void ByteWriter::PutU32At(size_t offset, uint32_t value) {
  for (int byte = 0; byte < 4; ++byte) mBytes.at(offset + byte) = static_cast<uint8_t>(value >> (8 * byte));
}

Bytes BuildMessageFile(const std::vector<MessageEntry>& entries) {
  ByteWriter writer;
  writer.Zeros(8).U32(static_cast<uint32_t>(entries.size())).Zeros(4);
  for (const MessageEntry& entry : entries) writer.I32(entry.mId).Text(entry.mText);
  return writer.mBytes;
}

Bytes BuildCommandFile(const std::vector<CommandDecl>& commands, const std::vector<std::string>& errnoTexts,
                       const std::array<uint8_t, 256>* keyTable) {
  ByteWriter writer;
  writer.Zeros(8).U32(static_cast<uint32_t>(commands.size())).Zeros(4);
  for (const CommandDecl& command : commands) {
    writer.Text(command.mName).U8(static_cast<uint32_t>(command.mArgs.size()));
    for (const ArgumentDecl& arg : command.mArgs) writer.Text(arg.mName).U8(arg.mValueKind).U8(arg.mCheckKind);
  }
  for (int number = 0; number < kErrnoTextCount; ++number) {
    writer.Text(number < static_cast<int>(errnoTexts.size()) ? errnoTexts[number] : "errno " + std::to_string(number));
  }
  const std::array<uint8_t, 256> identity = IdentityKeyTable();
  if (keyTable == nullptr) keyTable = &identity;
  writer.Raw(keyTable->data(), keyTable->size());
  return writer.mBytes;
}

std::array<uint8_t, 256> IdentityKeyTable() {
  std::array<uint8_t, 256> table{};
  for (size_t key = 0; key < table.size(); ++key) table[key] = static_cast<uint8_t>(key);
  return table;
}

Bytes BuildVariableCountFile(uint32_t count, uint32_t value, uint32_t version) {
  ByteWriter writer;
  writer.Zeros(4).U32(version).U32(count).U32(value);
  return writer.mBytes;
}

Bytes BuildScriptListFile(const std::vector<ScriptListEntry>& entries) {
  ByteWriter writer;
  writer.Zeros(8).U32(static_cast<uint32_t>(entries.size()));
  for (const ScriptListEntry& entry : entries) {
    writer.U32(entry.mNumber).U32(static_cast<uint32_t>(entry.mName.size()));
    writer.Raw(entry.mName.data(), entry.mName.size()).Zeros(16).U32(entry.mValue);
  }
  return writer.mBytes;
}

Bytes BuildDefinitionFile(const std::vector<VariableDefinition>& definitions) {
  ByteWriter writer;
  writer.Zeros(8).U16(static_cast<uint32_t>(definitions.size()));
  for (const VariableDefinition& definition : definitions) {
    writer.U8(definition.mScope).U8(definition.mGroup).U16(definition.mScript).U16(definition.mVariable);
    writer.U8(definition.mType).U8(static_cast<uint32_t>(definition.mDims.size()));
    for (uint32_t dim : definition.mDims) writer.U32(dim);
    if (definition.mType == 1) {
      writer.I64(definition.mInt);
    } else if (definition.mType == 2) {
      writer.F64(definition.mReal);
    } else if (definition.mType == 3) {
      writer.U16(static_cast<uint32_t>(definition.mStringExpression.size())).Raw(definition.mStringExpression);
    }
  }
  return writer.mBytes;
}

namespace {

uint32_t LabelHash(const LabelEntry& label) {
  return label.mHash.has_value() ? *label.mHash : MurmurHash2(label.mName.data(), label.mName.size());
}

}  // namespace

std::vector<LabelEntry> SortLabels(std::vector<LabelEntry> labels) {
  std::stable_sort(labels.begin(), labels.end(),
                   [](const LabelEntry& a, const LabelEntry& b) { return (LabelHash(a) >> 24) < (LabelHash(b) >> 24); });
  return labels;
}

Bytes BuildLabelFile(std::vector<LabelEntry> labels, const std::array<int32_t, 256>* buckets) {
  labels = SortLabels(std::move(labels));
  ByteWriter writer;
  writer.Zeros(8).U32(static_cast<uint32_t>(labels.size()));
  for (uint32_t bucket = 0; bucket < 256; ++bucket) {
    if (buckets != nullptr) {
      writer.I32((*buckets)[bucket]);
      continue;
    }
    int32_t start = 0;
    for (const LabelEntry& label : labels) start += (LabelHash(label) >> 24) < bucket ? 1 : 0;
    writer.I32(start);
  }
  for (const LabelEntry& label : labels) {
    if (label.mName.size() > 255) throw std::invalid_argument("label name too long");
    writer.U8(static_cast<uint32_t>(label.mName.size())).Raw(label.mName.data(), label.mName.size());
    writer.U32(LabelHash(label)).U32(label.mPosition).U16(label.mScript).U8(label.mBlockDepth).U8(label.mLoopDepth);
  }
  return writer.mBytes;
}

Bytes BuildConfigFile(const EngineConfigFile& config) {
  ByteWriter writer;
  writer.Zeros(16).U32(config.mWidth).U32(config.mHeight).U32(config.mDisplayState);
  writer.Raw(config.mImageOrder.data(), config.mImageOrder.size());
  writer.Raw(config.mSoundOrder.data(), config.mSoundOrder.size());
  writer.U32(config.mThreadedStep).U32(config.mDebugMode).U32(config.mSoundSetting).U32(config.mThickFrame);
  writer.U32(config.mWindowStyle).U32(config.mReserved).U32(config.mLooseFirstDev).U32(config.mLooseFirstRelease);
  writer.Zeros(4).U16(static_cast<uint32_t>(config.mTitle.size())).Raw(config.mTitle.data(), config.mTitle.size());
  return writer.mBytes;
}

ScriptFileSections BuildScriptSections(const std::vector<RawInstruction>& instructions) {
  ScriptFileSections sections;
  sections.mInstructionCount = static_cast<uint32_t>(instructions.size());
  ByteWriter code;
  ByteWriter arguments;
  ByteWriter expressions;
  ByteWriter lines;
  for (const RawInstruction& instruction : instructions) {
    code.U8(instruction.mCommand).U8(static_cast<uint32_t>(instruction.mArgs.size())).U16(instruction.mAux);
    for (const RawArgument& arg : instruction.mArgs) {
      arguments.U8(arg.mId).U8(0).U8(arg.mValueType).U8(arg.mOperator);
      if (arg.mBranchTarget.has_value()) {
        arguments.U32(*arg.mBranchTarget).U32(0);
      } else {
        arguments.U32(static_cast<uint32_t>(arg.mExpression.size()))
            .U32(static_cast<uint32_t>(expressions.mBytes.size()));
        expressions.Raw(arg.mExpression);
      }
    }
    lines.I32(instruction.mLine);
  }
  sections.mInstructions = std::move(code.mBytes);
  sections.mArguments = std::move(arguments.mBytes);
  sections.mExpressions = std::move(expressions.mBytes);
  sections.mLines = std::move(lines.mBytes);
  return sections;
}

Bytes BuildScriptFile(const ScriptFileSections& sections, const std::array<uint8_t, 4>& key,
                      const ScriptHeaderOverrides& overrides) {
  ByteWriter writer;
  writer.Zeros(8);
  writer.U32(overrides.mCount.value_or(sections.mInstructionCount));
  writer.U32(overrides.mInstructionBytes.value_or(static_cast<uint32_t>(sections.mInstructions.size())));
  writer.U32(overrides.mArgumentBytes.value_or(static_cast<uint32_t>(sections.mArguments.size())));
  writer.U32(overrides.mExpressionBytes.value_or(static_cast<uint32_t>(sections.mExpressions.size())));
  writer.U32(overrides.mLineBytes.value_or(static_cast<uint32_t>(sections.mLines.size())));
  writer.Zeros(4);
  for (const Bytes* section : {&sections.mInstructions, &sections.mArguments, &sections.mExpressions, &sections.mLines}) {
    Bytes scrambled = *section;
    ScrambleSection(scrambled.data(), scrambled.size(), key.data());
    writer.Raw(scrambled);
  }
  return writer.mBytes;
}

std::array<uint8_t, 4> DefaultSectionKey() {
  std::array<uint8_t, 4> key{};
  MakeScriptSectionKey(kScriptIdentifier, key.data());
  return key;
}

std::string ScriptFileName(uint32_t script) {
  char name[32];
  std::snprintf(name, sizeof(name), "qvbin\\qvt%05u.qbn", script);
  return name;
}

std::vector<GameFile> BuildScriptDataFiles(const ScriptData& data) {
  std::vector<GameFile> files;
  files.push_back({"qvbin\\qve.qbn", BuildMessageFile(data.mMessages)});
  files.push_back({"qvbin\\qvc.qbn", BuildCommandFile(data.mCommands, {}, &data.mKeyTable)});
  files.push_back({"qvbin\\qvt.qbn", BuildVariableCountFile(data.mVariableCount, data.mVariableValue,
                                                            data.mVariableVersion)});
  files.push_back({"qvbin\\qvt_list.qbn", BuildScriptListFile(data.mScripts)});
  files.push_back({"qvbin\\qvv.qbn", BuildDefinitionFile(data.mDefinitions)});
  files.push_back({"qvbin\\qvl.qbn", BuildLabelFile(data.mLabels)});
  files.push_back({"qvbin\\qvcfg.qbn", BuildConfigFile(data.mConfig)});
  for (const auto& [number, instructions] : data.mScriptFiles) {
    files.push_back({ScriptFileName(number), BuildScriptFile(BuildScriptSections(instructions), data.mKey)});
  }
  return files;
}

void WriteGameFile(const std::string& folder, const GameFile& file) {
  std::string relative = file.mName;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  std::filesystem::path path = std::filesystem::path(folder) / relative;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  stream.write(reinterpret_cast<const char*>(file.mBytes.data()), static_cast<std::streamsize>(file.mBytes.size()));
  if (!stream) throw std::runtime_error("cannot write " + path.string());
}

void WriteGameFiles(const std::string& folder, const std::vector<GameFile>& files) {
  for (const GameFile& file : files) WriteGameFile(folder, file);
}
