// The message text buffer and its three commands: append literal text,
// append a formatted value, and end the message.
#include "layer/message_text.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "core/errors.h"
#include "core/message_ids.h"
#include "layer/text_setup.h"
#include "platform/sjis_chars.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/eval.h"
#include "script/execution_context.h"
#include "script/script_data.h"
#include "script/task_step.h"

namespace {

constexpr int kAppendTextSlot = 108;
constexpr int kAppendValueSlot = 112;

MessageTextBuffer g_messageRecord;

void SetStartValues(MessageTextBuffer* buffer) {
  std::memset(buffer, 0, sizeof *buffer);
  buffer->mWidth = 20;
  buffer->mHeight = 20;
  buffer->mColour = 0xFFFFFF;
  buffer->mSecondColour = -1;
  buffer->mGradient = 1;
  buffer->mAntiAlias = 1;
}

// One class character, kept inside the block with room for the terminator:
// end signs of several tasks may outnumber the text's characters.
void AppendClass(MessageTextBuffer* buffer, char cls) {
  if (buffer->mClassLength < kMessageLiteralLimit) buffer->mClasses[buffer->mClassLength++] = cls;
  buffer->mClasses[buffer->mClassLength] = '\0';
}

// Copies a text into a block of kMessageBlockBytes, cut on a character
// boundary; the bytes copied.
int32_t CopyIntoBlock(char* block, const char* text, size_t length) {
  size_t end = 0;
  while (end < length && text[end] != '\0') {
    size_t step = IsSjisLeadByte(static_cast<uint8_t>(text[end])) && end + 1 < length && text[end + 1] != '\0' ? 2 : 1;
    if (end + step > kMessageBlockBytes - 1) break;
    end += step;
  }
  std::memcpy(block, text, end);
  block[end] = '\0';
  return static_cast<int32_t>(end);
}

// The text of a value expression: an integer in decimal, a real through
// "%f", a string as it is. The expression runs in the arithmetic of its value
// type; what slot 0 holds afterwards decides the form.
size_t FormatValue(char* out, int valueType, const uint8_t* expression, uint32_t length) {
  bool real = valueType == 2 || valueType == 4;
  if (valueType < 1 || valueType > 4) {
    out[0] = '\0';
    return 0;
  }
  size_t textLength = real ? EvalStringReal(out, expression, length) : EvalStringInt(out, expression, length);
  if (g_EvalDepth != 0 && g_EvalSlotString[0] != 0) return textLength;
  int written = real ? std::snprintf(out, kEvalStringBytes, "%f", g_EvalRealStack[0])
                     : std::snprintf(out, kEvalStringBytes, "%" PRId64, g_EvalIntStack[0]);
  return written > 0 ? std::min(static_cast<size_t>(written), kEvalStringBytes - 1) : 0;
}

}  // namespace

MessageTextBuffer* g_MessageText = &g_messageRecord;

void CreateMessageText() {
  SetStartValues(g_MessageText);
  // The record starts "with content" so that the first clear empties it.
  g_MessageText->mHasContent = 1;
  ClearMessageText();
}

void ClearMessageText() {
  MessageTextBuffer* buffer = g_MessageText;
  if (buffer->mHasContent == 0) return;
  buffer->mHasContent = 0;
  buffer->mTextLength = 0;
  buffer->mClassLength = 0;
  buffer->mCounter1 = 0;
  buffer->mCounter2 = 0;
  std::memset(buffer->mText, 0, sizeof buffer->mText);
  std::memset(buffer->mClasses, 0, sizeof buffer->mClasses);
}

void ResetMessageText() { CreateMessageText(); }

void WriteMessageText(const char* text, size_t length) {
  g_MessageText->mTextLength = CopyIntoBlock(g_MessageText->mText, text, length);
}

void WriteMessageClasses(const char* text, size_t length) {
  g_MessageText->mClassLength = CopyIntoBlock(g_MessageText->mClasses, text, length);
}

int32_t CmdMessageAppendText() {
  if (FetchCommandArguments(kAppendTextSlot) != 0) return -1;
  int slot = ArgSlot(0);
  if (slot == 0) return 0;
  // The literal's bytes lie in the expression section; a record reaching past
  // it brings nothing.
  uint64_t offset = static_cast<uint32_t>(g_ArgExprOffset[slot]);
  uint64_t length = static_cast<uint32_t>(g_ArgExprLength[slot]);
  const uint8_t* data = CurrentExpressionData();
  if (data == nullptr || offset + length > CurrentExpressionSize()) return 0;
  const auto* bytes = reinterpret_cast<const char*>(data + offset);
  // A terminator inside the literal ends it: bytes behind it could never be
  // read back.
  length = std::string_view(bytes, length).find('\0') == std::string_view::npos
               ? length
               : std::string_view(bytes, length).find('\0');
  MessageTextBuffer* buffer = g_MessageText;
  if (static_cast<uint64_t>(buffer->mTextLength) + length >= static_cast<uint64_t>(kMessageLiteralLimit)) {
    ReportErrorAtScript(kMsgMessageTextFull);
    return -1;
  }
  char* start = buffer->mText + buffer->mTextLength;
  std::memcpy(start, bytes, length);
  buffer->mTextLength += static_cast<int32_t>(length);
  buffer->mText[buffer->mTextLength] = '\0';
  for (size_t i = 0; i < length;) {
    // A lead byte at the very end stands alone: it must not take the
    // terminator with it.
    bool pair = IsSjisLeadByte(static_cast<uint8_t>(start[i])) && i + 1 < length;
    AppendClass(buffer, pair ? '2' : '1');
    i += pair ? 2 : 1;
  }
  return 0;
}

int32_t CmdMessageAppendValue() {
  if (FetchCommandArguments(kAppendValueSlot) != 0) return -1;
  int slot = ArgSlot(0);
  char value[kEvalStringBytes];
  size_t length = 0;
  const uint8_t* data = CurrentExpressionData();
  if (slot != 0 && data != nullptr &&
      static_cast<uint64_t>(static_cast<uint32_t>(g_ArgExprOffset[slot])) +
              static_cast<uint32_t>(g_ArgExprLength[slot]) <=
          CurrentExpressionSize()) {
    length = FormatValue(value, g_ArgExprType[slot], data + static_cast<uint32_t>(g_ArgExprOffset[slot]),
                         static_cast<uint32_t>(g_ArgExprLength[slot]));
  }
  MessageTextBuffer* buffer = g_MessageText;
  if (static_cast<int64_t>(buffer->mTextLength) + static_cast<int64_t>(length) > kMessageValueTextLimit) {
    ReportErrorAtScript(kMsgMessageTextFull);
    return -1;
  }
  if (length > static_cast<size_t>(kMessageValueLimit)) {
    ReportErrorAtScript(kMsgMessageValueTooLong);
    return -1;
  }
  char* out = buffer->mText + buffer->mTextLength;
  size_t written = 0;
  for (size_t i = 0; i < length;) {
    auto byte = static_cast<uint8_t>(value[i]);
    if (IsSjisLeadByte(byte) && i + 1 < length) {
      out[written++] = value[i];
      out[written++] = value[i + 1];
      AppendClass(buffer, '2');
      i += 2;
      continue;
    }
    // Control bytes, and a lead byte without its follower, become blanks.
    out[written++] = byte >= 32 && byte <= 126 ? value[i] : ' ';
    AppendClass(buffer, '1');
    ++i;
  }
  buffer->mTextLength += static_cast<int32_t>(written);
  buffer->mText[buffer->mTextLength] = '\0';
  return 0;
}

int32_t CmdMessageEnd() {
  ExecutionContext* context = g_CurrentContext;
  int count = 0;
  const ArgumentRecord* records = CurrentArgumentRecords(&count);
  if (context != nullptr && records != nullptr && count > 0) {
    uint32_t first = 0;
    std::memcpy(&first, &records[0], 4);
    context->mMessageTag1 = static_cast<int32_t>(first);
    context->mMessageTag2 = static_cast<int32_t>(records[0].mLength);
  }
  // Two tasks may end messages in one pass: the end sign is dropped when the
  // class block is full.
  AppendClass(g_MessageText, 'E');
  g_MessageText->mHasContent = 1;
  if (context != nullptr) context->mTextPending = 1;
  return -1;
}
