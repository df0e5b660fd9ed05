#pragma once
// A printf-style formatter that takes only the arguments it is given. Formats
// may come from game data, so a conversion without an argument writes nothing,
// a conversion is applied to the argument's own type, and the result is cut
// to a byte limit on a Shift-JIS character boundary.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

struct FormatArgument {
  enum class Kind { Signed, Unsigned, Real, Text };
  Kind mKind;
  int64_t mSigned = 0;
  uint64_t mUnsigned = 0;
  double mReal = 0;
  const char* mText = nullptr;

  template <typename T>
    requires std::is_integral_v<T>
  FormatArgument(T value) {  // NOLINT: implicit by design
    if constexpr (std::is_signed_v<T>) {
      mKind = Kind::Signed;
      mSigned = value;
    } else {
      mKind = Kind::Unsigned;
      mUnsigned = value;
    }
  }
  template <typename T>
    requires std::is_floating_point_v<T>
  FormatArgument(T value) : mKind(Kind::Real), mReal(static_cast<double>(value)) {}
  FormatArgument(const char* text) : mKind(Kind::Text), mText(text) {}
  FormatArgument(char* text) : mKind(Kind::Text), mText(text) {}
  FormatArgument(const std::string& text) : mKind(Kind::Text), mText(text.c_str()) {}
};

std::string FormatTextArgs(std::string_view format, std::initializer_list<FormatArgument> arguments, size_t limit);

// Formats with the arguments given; the result holds at most `limit` bytes.
template <typename... Args>
std::string FormatBounded(size_t limit, std::string_view format, const Args&... arguments) {
  return FormatTextArgs(format, {FormatArgument(arguments)...}, limit);
}
