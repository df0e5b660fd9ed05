// The commands that read text files into script arrays.
#include <cstdint>
#include <string>

#include "layer/message_text.h"
#include "layer/text_setup.h"
#include "oscmd/text_data.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/variables.h"

namespace {

constexpr int kTextDataReadSlot = 7;
constexpr int kTextDataCountSlot = 8;
constexpr int kTextFileReadSlot = 98;
constexpr int kValidateOnly99Slot = 99;


// Stores texts into elements 0, 1, 2, ... of a variable; after a store into
// a variable of another type (reported, fatal) nothing more is stored.
class ElementWriter {
 public:
  explicit ElementWriter(uint32_t variable) : mVariable(variable) {}
  void Store(int64_t index, std::string_view text) {
    if (mFailed) return;
    const VariableRecord* record = FindVariableRecord(mVariable);
    if (!ElementInRange(record, index)) return;
    if (SetStringElementBytes(mVariable, index, text.data(), text.size()) != 0 && record->mVarType != kVarString) {
      mFailed = true;
    }
  }

 private:
  uint32_t mVariable;
  bool mFailed = false;
};

}  // namespace

int32_t CmdTextDataRead() {
  if (FetchCommandArguments(kTextDataReadSlot) != 0) return -1;
  std::string text;
  if (ReadScriptTextFile(ArgText(0), &text) != 0) return -1;
  int out = ArgSlot(1);
  if (out == 0) return 0;
  ElementWriter writer(static_cast<uint32_t>(g_ArgVarId[out]));
  int64_t index = 0;
  ScanTextDataFields(text, [&](std::string_view field) { writer.Store(index++, field); });
  return 0;
}

int32_t CmdTextDataCount() {
  if (FetchCommandArguments(kTextDataCountSlot) != 0) return -1;
  std::string text;
  if (ReadScriptTextFile(ArgText(0), &text) != 0) return -1;
  int out = ArgSlot(2);
  if (out != 0) SetNumberElement(static_cast<uint32_t>(g_ArgVarId[out]), g_ArgVarElement[out], CountTextDataFields(text));
  return 0;
}

int32_t CmdTextFileRead() {
  if (FetchCommandArguments(kTextFileReadSlot) != 0) return -1;
  if (ArgSlot(0) != 0) {
    std::string text;
    if (ReadScriptTextFile(ArgText(0), &text) != 0) return -1;
    int out = ArgSlot(1);
    if (out != 0) {
      auto variable = static_cast<uint32_t>(g_ArgVarId[out]);
      const VariableRecord* record = FindVariableRecord(variable);
      int64_t limit = record == nullptr ? 0 : record->mDimCount > 0 ? record->mDims[0] : record->mCount;
      ElementWriter writer(variable);
      int64_t index = 0;
      ScanTextLines(
          text,
          [&](std::string_view line) {
            if (index >= limit) return;
            writer.Store(index++, line);
          },
          [&](std::string_view rest) {
            writer.Store(index, rest);
            writer.Store(index + 1, {});
          });
    }
  }
  if (ArgSlot(2) != 0 && g_ArgInt[ArgSlot(2)] == 1) {
    g_MessageText->mHasContent = 1;
    ClearMessageText();
  }
  return 0;
}

int32_t CmdValidateOnly99() { return FetchCommandArguments(kValidateOnly99Slot) != 0 ? -1 : 0; }
