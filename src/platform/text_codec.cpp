#include "platform/text_codec.h"

#include <cerrno>
#include <iconv.h>

namespace {

// Converts with iconv; returns false at the first sequence that does not
// convert when `strict`, otherwise writes '?' for it and goes on.
bool Convert(const char* to, const char* from, std::string_view text, std::string& out, bool strict) {
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
      // Invalid or cut-off sequence: replace one byte and resynchronise.
      out.push_back('?');
      ++input;
      --inputLeft;
      iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(converter);
  return clean;
}

}  // namespace

std::string ConvertCp932ToUtf8(std::string_view text) {
  std::string out;
  Convert("UTF-8", "CP932", text, out, false);
  return out;
}

std::string ConvertUtf8ToCp932(std::string_view text) {
  std::string out;
  Convert("CP932", "UTF-8", text, out, false);
  return out;
}

bool TryConvertUtf8ToCp932(std::string_view text, std::string& out) {
  return Convert("CP932", "UTF-8", text, out, true);
}
