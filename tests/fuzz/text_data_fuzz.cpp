// Fuzzes the text-data scanners (fields, counts, lines) and the line
// tokenizer with its string lengths on arbitrary bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "oscmd/line_tokenizer.h"
#include "oscmd/text_data.h"
#include "script/variables.h"

namespace {

constexpr uint32_t kStrings = 1000;
constexpr uint32_t kKinds = 1001;
constexpr uint32_t kLengths = 1002;
constexpr uint32_t kComment = 1003;
constexpr int32_t kArraySide = 64;

// A variable table of its own: three arrays and the comment state.
void SetUpVariablesOnce() {
  static const bool done = [] {
    g_VariableCount = kComment + 1;
    g_VariableTable = static_cast<VariableRecord**>(std::calloc(g_VariableCount, sizeof(VariableRecord*)));
    for (uint32_t n = kStrings; n <= kComment; ++n) {
      g_VariableTable[n] = static_cast<VariableRecord*>(std::calloc(1, sizeof(VariableRecord)));
    }
    const int32_t side[1] = {kArraySide};
    const int32_t one[1] = {1};
    MakeStringArrayDims(kStrings, 1, side, "", 0);
    MakeIntArrayDims(kKinds, 1, side, 0);
    MakeIntArrayDims(kLengths, 1, side, 0);
    MakeIntArrayDims(kComment, 1, one, 0);
    return true;
  }();
  (void)done;
}

int64_t Reference(uint32_t variable, uint32_t start) {
  return static_cast<int64_t>((static_cast<uint64_t>(variable) << 32) | start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  int64_t fields = 0;
  ScanTextDataFields(bytes, [&](std::string_view field) {
    if (field.size() > kTextFieldBytes) std::abort();
    ++fields;
  });
  (void)CountTextDataFields(bytes);
  ScanTextLines(
      bytes, [](std::string_view line) {
        if (line.size() > kTextLineBytes + 1) std::abort();
      },
      [](std::string_view) {});

  if (size == 0) return 0;
  SetUpVariablesOnce();
  // The first byte chooses where the tokens start (some past the arrays) and
  // whether the line starts inside a comment; the rest is the line, cut as
  // the command cuts it.
  uint32_t start = static_cast<uint32_t>(data[0] & 0x7F);
  SetNumberElement(kComment, 0, data[0] >> 7);
  std::string line(bytes.substr(1, 1023));
  line = line.substr(0, line.find('\0'));
  int64_t count = TokenizeLine(line.c_str(), Reference(kStrings, start), Reference(kKinds, start), Reference(kComment, 0));
  if (count < 0 || count > static_cast<int64_t>(line.size()) + 1) std::abort();
  int64_t counted = StoreStringLengths(Reference(kStrings, start), Reference(kLengths, start));
  if (counted < 0 || counted > kArraySide) std::abort();
  return 0;
}
