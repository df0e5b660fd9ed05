#pragma once
// The shared message text: literal text and formatted values appended by the
// running task, a width class per character beside it ('1' single-byte, '2'
// double-byte, 'E' the end sign), and a copy of text style 0's fields.
// Scripts read both strings through system variables 122 and 123.
#include <cstddef>
#include <cstdint>

constexpr size_t kMessageBlockBytes = 8192;
// Literal text stops short of this many bytes.
constexpr int32_t kMessageLiteralLimit = 8191;
// A formatted value may bring the text to at most this many bytes.
constexpr int32_t kMessageValueTextLimit = 8189;
// One formatted value holds at most this many bytes.
constexpr int32_t kMessageValueLimit = 1024;

struct MessageTextBuffer {
  // The style-0 mirror that the style query reads.
  int32_t mWidth;
  int32_t mHeight;
  int32_t mColour;
  int32_t mSecondColour;
  uint8_t mGradient;
  uint8_t mDirection;
  uint8_t mBold;
  uint8_t mWriteMode;
  uint8_t mAntiAlias;
  // Set by the message end; the buffer is cleared only while it is set.
  uint8_t mHasContent;
  char mText[kMessageBlockBytes];
  char mClasses[kMessageBlockBytes];
  int32_t mTextLength;
  int32_t mClassLength;
  int32_t mCounter1;
  int32_t mCounter2;
};

// Always points at the one record (start-up and the reset give it its start
// values).
extern MessageTextBuffer* g_MessageText;

// System variables 122 (text) and 123 (classes): the text is copied into the
// block, cut on a character boundary, and the block's length follows it.
void WriteMessageText(const char* text, size_t length);
void WriteMessageClasses(const char* text, size_t length);

// Back to the start values with both blocks empty.
void ResetMessageText();
