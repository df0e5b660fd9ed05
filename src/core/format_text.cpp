#include "core/format_text.h"

#include <cstdio>
#include <vector>

#include "core/sjis.h"

namespace {

bool IsFlag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLengthModifier(char c) { return c == 'h' || c == 'l' || c == 'L' || c == 'q' || c == 'j' || c == 'z' || c == 't' || c == 'I'; }

int64_t AsSigned(const FormatArgument& argument) {
  switch (argument.mKind) {
    case FormatArgument::Kind::Signed: return argument.mSigned;
    case FormatArgument::Kind::Unsigned: return static_cast<int64_t>(argument.mUnsigned);
    case FormatArgument::Kind::Real: return static_cast<int64_t>(argument.mReal);
    case FormatArgument::Kind::Text: return 0;
  }
  return 0;
}

double AsReal(const FormatArgument& argument) {
  switch (argument.mKind) {
    case FormatArgument::Kind::Signed: return static_cast<double>(argument.mSigned);
    case FormatArgument::Kind::Unsigned: return static_cast<double>(argument.mUnsigned);
    case FormatArgument::Kind::Real: return argument.mReal;
    case FormatArgument::Kind::Text: return 0;
  }
  return 0;
}

// Formats one conversion with snprintf, the value passed with the type the
// rebuilt conversion text expects.
template <typename T>
void AppendOne(std::string& out, const std::string& conversion, T value) {
  char small[128];
  int length = std::snprintf(small, sizeof small, conversion.c_str(), value);
  if (length < 0) return;
  if (static_cast<size_t>(length) < sizeof small) {
    out.append(small, static_cast<size_t>(length));
    return;
  }
  std::vector<char> large(static_cast<size_t>(length) + 1);
  std::snprintf(large.data(), large.size(), conversion.c_str(), value);
  out.append(large.data(), static_cast<size_t>(length));
}

}  // namespace

std::string FormatTextArgs(std::string_view format, std::initializer_list<FormatArgument> arguments, size_t limit) {
  std::string out;
  const FormatArgument* next = arguments.begin();
  const FormatArgument* end = arguments.end();
  auto take = [&]() -> const FormatArgument* { return next != end ? next++ : nullptr; };

  size_t index = 0;
  while (index < format.size() && format[index] != '\0' && out.size() <= limit) {
    size_t length = SjisCharLength(format, index);
    if (length == 2 || format[index] != '%') {
      out.append(format.substr(index, length));
      index += length;
      continue;
    }
    // A conversion: %[flags][width][.precision][length]type
    size_t start = index++;
    std::string conversion = "%";
    while (index < format.size() && IsFlag(format[index])) conversion.push_back(format[index++]);
    // A width or precision: digits, or '*' taken from the arguments. Values
    // beyond 4096 make no sense for a message and are refused.
    bool widthOk = true;
    auto appendCount = [&](bool precision) {
      if (index < format.size() && format[index] == '*') {
        ++index;
        const FormatArgument* count = take();
        int64_t value = count != nullptr ? AsSigned(*count) : 0;
        if (precision && value < 0) value = 0;
        if (value < -4096 || value > 4096) widthOk = false;
        conversion += std::to_string(value);
        return;
      }
      size_t digits = 0;
      while (index < format.size() && IsDigit(format[index])) {
        conversion.push_back(format[index++]);
        if (++digits > 4) widthOk = false;
      }
    };
    appendCount(false);
    if (index < format.size() && format[index] == '.') {
      conversion.push_back(format[index++]);
      appendCount(true);
    }
    while (index < format.size() && IsLengthModifier(format[index])) {
      // "I64" of the Windows runtime is a length too.
      if (format[index] == 'I' && index + 2 < format.size() && format[index + 1] == '6' && format[index + 2] == '4') {
        index += 3;
      } else {
        ++index;
      }
    }
    if (index >= format.size() || format[index] == '\0') {
      out.append(format.substr(start, index - start));
      break;
    }
    char type = format[index++];
    if (type == '%') {
      out.push_back('%');
      continue;
    }
    if (!widthOk) continue;  // absurd widths are dropped with their conversion
    const FormatArgument* argument = nullptr;
    switch (type) {
      case 'd':
      case 'i':
        if ((argument = take()) != nullptr) AppendOne(out, conversion + "lld", static_cast<long long>(AsSigned(*argument)));
        break;
      case 'u':
      case 'x':
      case 'X':
      case 'o':
        if ((argument = take()) != nullptr) {
          uint64_t value = argument->mKind == FormatArgument::Kind::Unsigned ? argument->mUnsigned
                                                                              : static_cast<uint64_t>(AsSigned(*argument));
          // A signed argument keeps the width of an int, as the Windows
          // runtime prints a negative int with %x.
          if (argument->mKind == FormatArgument::Kind::Signed && argument->mSigned >= INT32_MIN &&
              argument->mSigned <= INT32_MAX) {
            value = static_cast<uint32_t>(argument->mSigned);
          }
          AppendOne(out, conversion + "ll" + type, static_cast<unsigned long long>(value));
        }
        break;
      case 'c':
        if ((argument = take()) != nullptr) {
          int value = static_cast<int>(AsSigned(*argument) & 0xFF);
          if (value != 0) AppendOne(out, conversion + "c", value);
        }
        break;
      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G':
        if ((argument = take()) != nullptr) AppendOne(out, conversion + type, AsReal(*argument));
        break;
      case 's':
        if ((argument = take()) != nullptr) {
          if (argument->mKind == FormatArgument::Kind::Text) {
            AppendOne(out, conversion + "s", argument->mText != nullptr ? argument->mText : "(null)");
          } else if (argument->mKind == FormatArgument::Kind::Real) {
            AppendOne(out, "%g", argument->mReal);
          } else {
            AppendOne(out, "%lld", static_cast<long long>(AsSigned(*argument)));
          }
        }
        break;
      case 'p':
        if ((argument = take()) != nullptr) AppendOne(out, "%llx", static_cast<unsigned long long>(AsSigned(*argument)));
        break;
      default:
        // Not a conversion: keep the text as it stands.
        out.append(format.substr(start, index - start));
        break;
    }
  }
  out.resize(SjisCutLength(out, limit));
  return out;
}
