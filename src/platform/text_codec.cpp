#include "platform/text_codec.h"

#include <cerrno>
#include <cstdint>
#include <iconv.h>

namespace {

// The bytes that form the one character at the start of `text` that did not
// convert, so that it becomes a single '?'. Each decoder knows its own
// encoding's character boundaries; a byte that starts no character is one.
using CharLength = size_t (*)(const uint8_t* text, size_t size);

// Shift-JIS: a lead byte (0x81-0x9F, 0xE0-0xFC) with a trail byte
// (0x40-0x7E, 0x80-0xFC) is one character, mapped or not.
size_t Cp932CharLength(const uint8_t* text, size_t size) {
  uint8_t lead = text[0];
  bool isLead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
  if (!isLead || size < 2) return 1;
  uint8_t trail = text[1];
  bool isTrail = (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC);
  return isTrail ? 2 : 1;
}

// UTF-8: a well-formed sequence, or the longest start of one that is cut
// off, is one character; any other byte stands alone.
size_t Utf8CharLength(const uint8_t* text, size_t size) {
  uint8_t lead = text[0];
  size_t length = 0;
  uint8_t low = 0x80;  // the range of the second byte
  uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 1;
  }
  size_t taken = 1;
  while (taken < length && taken < size) {
    uint8_t next = text[taken];
    bool fits = taken == 1 ? (next >= low && next <= high) : (next >= 0x80 && next <= 0xBF);
    if (!fits) break;
    ++taken;
  }
  return taken;
}

// Converts with iconv; returns false at the first character that does not
// convert when `strict`, otherwise writes one '?' for it and goes on.
bool Convert(const char* to, const char* from, CharLength charLength, std::string_view text, std::string& out,
             bool strict) {
  out.clear();
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    out.assign(text);
    return !strict;
  }
  char* input = const_cast<char*>(text.data());
  size_t inputLeft = text.size();
  char buffer[512];
  bool clean = true;
  while (inputLeft > 0) {
    char* output = buffer;
    size_t outputLeft = sizeof buffer;
    size_t result = iconv(converter, &input, &inputLeft, &output, &outputLeft);
    out.append(buffer, static_cast<size_t>(output - buffer));
    if (result == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      clean = false;
      if (strict) break;
      // A character without a mapping, an invalid byte or a cut-off
      // character: one '?', then go on after it.
      size_t skip = charLength(reinterpret_cast<const uint8_t*>(input), inputLeft);
      out.push_back('?');
      input += skip;
      inputLeft -= skip;
      iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(converter);
  return clean;
}

}  // namespace

std::string ConvertCp932ToUtf8(std::string_view text) {
  std::string out;
  Convert("UTF-8", "CP932", Cp932CharLength, text, out, false);
  return out;
}

std::string ConvertUtf8ToCp932(std::string_view text) {
  std::string out;
  Convert("CP932", "UTF-8", Utf8CharLength, text, out, false);
  return out;
}

bool TryConvertUtf8ToCp932(std::string_view text, std::string& out) {
  return Convert("CP932", "UTF-8", Utf8CharLength, text, out, true);
}
