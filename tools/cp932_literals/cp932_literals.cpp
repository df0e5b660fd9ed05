#include "cp932_literals/cp932_literals.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

namespace {

bool IsIdentifierByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c >= 0x80;
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

class Converter {
 public:
  Converter(std::string_view source, std::string* output) : mIn(source), mOut(*output) {
    mCodec = iconv_open("CP932//TRANSLIT", "UTF-8");
    if (mCodec == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv has no CP932");
  }
  ~Converter() { iconv_close(mCodec); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  void Run() {
    while (mAt < mIn.size()) {
      unsigned char c = Peek(0);
      if (c == '/' && Peek(1) == '/') {
        CopyLineComment();
      } else if (c == '/' && Peek(1) == '*') {
        CopyBlockComment();
      } else if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) {
        CopyNumber();
      } else if (IsIdentifierByte(c)) {
        Identifier();
      } else if (c == '"' || c == '\'') {
        OrdinaryLiteral();
      } else {
        mOut.push_back(static_cast<char>(c));
        ++mAt;
      }
    }
  }

  std::string mError;

 private:
  unsigned char Peek(size_t ahead) const {
    return mAt + ahead < mIn.size() ? static_cast<unsigned char>(mIn[mAt + ahead]) : 0;
  }

  void Copy(size_t count) {
    mOut.append(mIn.substr(mAt, count));
    mAt += count;
  }

  // Up to the end of the line; a backslash before the newline continues it.
  void CopyLineComment() {
    size_t end = mAt;
    while (end < mIn.size()) {
      if (mIn[end] == '\n' && (end == 0 || mIn[end - 1] != '\\')) break;
      ++end;
    }
    Copy(end - mAt);
  }

  void CopyBlockComment() {
    size_t end = mIn.find("*/", mAt + 2);
    Copy(end == std::string_view::npos ? mIn.size() - mAt : end + 2 - mAt);
  }

  // A preprocessing number, with digit separators and exponent signs.
  void CopyNumber() {
    size_t end = mAt + 1;
    while (end < mIn.size()) {
      auto c = static_cast<unsigned char>(mIn[end]);
      auto previous = static_cast<unsigned char>(mIn[end - 1]);
      if (IsIdentifierByte(c) || c == '.') {
        ++end;
      } else if (c == '\'' && end + 1 < mIn.size() && IsIdentifierByte(static_cast<unsigned char>(mIn[end + 1]))) {
        end += 2;
      } else if ((c == '+' || c == '-') &&
                 (previous == 'e' || previous == 'E' || previous == 'p' || previous == 'P')) {
        ++end;
      } else {
        break;
      }
    }
    Copy(end - mAt);
  }

  void Identifier() {
    size_t end = mAt;
    while (end < mIn.size() && IsIdentifierByte(static_cast<unsigned char>(mIn[end]))) ++end;
    std::string_view name = mIn.substr(mAt, end - mAt);
    char next = end < mIn.size() ? mIn[end] : '\0';
    if (next == '"' && (name == "R" || name == "u8R" || name == "uR" || name == "UR" || name == "LR")) {
      if (name == "R") {
        mAt = end - 1;
        RawLiteral();
      } else {
        Copy(name.size());
        CopyRawLiteral();
      }
      return;
    }
    if ((next == '"' || next == '\'') && (name == "u8" || name == "u" || name == "U" || name == "L")) {
      Copy(name.size());
      CopyQuoted();
      return;
    }
    Copy(name.size());
  }

  // A literal of another encoding, as it is.
  void CopyQuoted() {
    char quote = mIn[mAt];
    size_t end = mAt + 1;
    while (end < mIn.size() && mIn[end] != quote && mIn[end] != '\n') end += mIn[end] == '\\' ? 2 : 1;
    Copy(std::min(end + 1, mIn.size()) - mAt);
  }

  // The end of a raw literal starting at mAt (its opening quote): the index
  // after its closing quote, or npos.
  size_t RawEnd(std::string_view* delimiter, size_t* bodyStart) const {
    size_t open = mIn.find('(', mAt + 1);
    if (open == std::string_view::npos || open - mAt - 1 > 16) return std::string_view::npos;
    *delimiter = mIn.substr(mAt + 1, open - mAt - 1);
    std::string closing = ")" + std::string(*delimiter) + "\"";
    size_t close = mIn.find(closing, open + 1);
    if (close == std::string_view::npos) return std::string_view::npos;
    *bodyStart = open + 1;
    return close + closing.size();
  }

  void CopyRawLiteral() {
    std::string_view delimiter;
    size_t bodyStart = 0;
    size_t end = RawEnd(&delimiter, &bodyStart);
    Copy(end == std::string_view::npos ? 1 : end - mAt);
  }

  // mAt stands on the R of R"delim(...)delim".
  void RawLiteral() {
    ++mAt;
    std::string_view delimiter;
    size_t bodyStart = 0;
    size_t end = RawEnd(&delimiter, &bodyStart);
    if (end == std::string_view::npos) {
      mOut.push_back('R');
      Copy(1);
      return;
    }
    std::string_view body = mIn.substr(bodyStart, end - delimiter.size() - 2 - bodyStart);
    bool plain = true;
    for (char c : body) plain = plain && static_cast<unsigned char>(c) < 0x80;
    if (plain) {
      mOut.push_back('R');
      Copy(end - mAt);
      return;
    }
    // Ordinary literals, concatenated across the lines the raw one spans.
    mOut.push_back('"');
    for (size_t at = 0; at < body.size();) {
      auto c = static_cast<unsigned char>(body[at]);
      if (c >= 0x80) {
        size_t run = at;
        while (run < body.size() && static_cast<unsigned char>(body[run]) >= 0x80) ++run;
        EmitCp932(body.substr(at, run - at));
        at = run;
        continue;
      }
      if (c == '\n') {
        mOut += "\\n\"\n\"";
      } else if (c == '\\' || c == '"') {
        mOut.push_back('\\');
        mOut.push_back(static_cast<char>(c));
      } else if (c == '\t' || c == '\r' || c < 0x20) {
        EmitOctal(c);
      } else {
        mOut.push_back(static_cast<char>(c));
      }
      ++at;
    }
    mOut.push_back('"');
    mAt = end;
  }

  // "..." or '...': escapes stay as written, except universal character
  // names; characters outside ASCII become CP932 escapes. A literal that
  // does not close on its line (an apostrophe in #error text) is copied.
  void OrdinaryLiteral() {
    char quote = mIn[mAt];
    size_t end = mAt + 1;
    while (end < mIn.size() && mIn[end] != quote && mIn[end] != '\n') end += mIn[end] == '\\' ? 2 : 1;
    if (end >= mIn.size() || mIn[end] != quote) {
      Copy(std::min(end, mIn.size()) - mAt);
      return;
    }
    std::string_view body = mIn.substr(mAt + 1, end - mAt - 1);
    mOut.push_back(quote);
    for (size_t at = 0; at < body.size();) {
      auto c = static_cast<unsigned char>(body[at]);
      if (c == '\\' && at + 1 < body.size() && (body[at + 1] == 'u' || body[at + 1] == 'U')) {
        size_t digits = body[at + 1] == 'u' ? 4 : 8;
        uint32_t code = 0;
        bool valid = at + 2 + digits <= body.size();
        for (size_t k = 0; valid && k < digits; ++k) {
          char h = body[at + 2 + k];
          int value = h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10 : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
          valid = value >= 0;
          code = code * 16 + static_cast<uint32_t>(value);
        }
        if (valid && code >= 0x80) {
          EmitCp932(Utf8(code));
          at += 2 + digits;
          continue;
        }
      }
      if (c == '\\') {
        mOut.append(body.substr(at, std::min<size_t>(2, body.size() - at)));
        at += 2;
        continue;
      }
      if (c >= 0x80) {
        size_t run = at;
        while (run < body.size() && static_cast<unsigned char>(body[run]) >= 0x80) ++run;
        EmitCp932(body.substr(at, run - at));
        at = run;
        continue;
      }
      mOut.push_back(static_cast<char>(c));
      ++at;
    }
    mOut.push_back(quote);
    mAt = end + 1;
  }

  static std::string Utf8(uint32_t code) {
    std::string bytes;
    if (code < 0x800) {
      bytes.push_back(static_cast<char>(0xC0 | code >> 6));
    } else if (code < 0x10000) {
      bytes.push_back(static_cast<char>(0xE0 | code >> 12));
      bytes.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
    } else {
      bytes.push_back(static_cast<char>(0xF0 | code >> 18));
      bytes.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
      bytes.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
    }
    bytes.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    return bytes;
  }

  // Three digits each, so that no following digit joins the escape.
  void EmitOctal(unsigned char byte) {
    char escape[5];
    std::snprintf(escape, sizeof escape, "\\%03o", byte);
    mOut += escape;
  }

  void EmitCp932(std::string_view utf8) {
    iconv(mCodec, nullptr, nullptr, nullptr, nullptr);
    std::string input(utf8);
    char* in = input.data();
    size_t inLeft = input.size();
    while (inLeft > 0) {
      char converted[64];
      char* out = converted;
      size_t outLeft = sizeof converted;
      size_t result = iconv(mCodec, &in, &inLeft, &out, &outLeft);
      for (char* byte = converted; byte < out; ++byte) EmitOctal(static_cast<unsigned char>(*byte));
      if (result != static_cast<size_t>(-1) && result > 0 && mError.empty()) {
        // Transliterated: the character has no CP932 form.
        mError = "a character has no CP932 form: " + std::string(utf8);
      }
      if (result == static_cast<size_t>(-1) && errno != E2BIG) {
        // Not UTF-8 or no CP932 form: one "?" per character.
        if (mError.empty()) mError = "a character has no CP932 form: " + std::string(utf8);
        mOut.push_back('?');
        ++in;
        --inLeft;
        while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80) {
          ++in;
          --inLeft;
        }
      }
    }
  }

  std::string_view mIn;
  std::string& mOut;
  size_t mAt = 0;
  iconv_t mCodec;
};

}  // namespace

bool ConvertLiteralsToCp932(std::string_view source, std::string* output, std::string* error) {
  output->clear();
  output->reserve(source.size() + source.size() / 8);
  Converter converter(source, output);
  converter.Run();
  if (error != nullptr) *error = converter.mError;
  return converter.mError.empty();
}
