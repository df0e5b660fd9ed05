// The evaluator as far as label resolution at script load needs it: string
// literals ("M") and their concatenation ("+"); a variable read while
// variables are forbidden sets g_LabelEvalFailed. Anything else ends the
// evaluation with no text.
#include "script/eval.h"

#include <cstring>
#include <string>
#include <vector>

#include "script/runtime_tables.h"

namespace {
uint8_t g_variablesAllowed = 1;
}  // namespace

void FillOperatorTable(int mode) { g_variablesAllowed = mode != 0 ? 1 : 0; }

uint8_t g_LabelEvalFailed = 0;

size_t EvalStringInt(char* buffer, const uint8_t* expression, size_t length) {
  std::vector<std::string> stack;
  size_t position = 0;
  buffer[0] = '\0';
  while (position + 3 <= length) {
    uint8_t opcode = expression[position];
    size_t payloadLength = expression[position + 1] | expression[position + 2] << 8;
    if (payloadLength > length - position - 3) return 0;
    const uint8_t* payload = expression + position + 3;
    position += 3 + payloadLength;
    if (opcode == 'M' && payloadLength >= 1) {
      std::string text;
      uint8_t delimiter = payload[0];
      for (size_t index = 1; index < payloadLength && payload[index] != delimiter; ++index) {
        uint8_t c = payload[index];
        if (c == '\\' && index + 1 < payloadLength && payload[index + 1] != delimiter) {
          uint8_t escaped = payload[++index];
          text.push_back(escaped == 'n' ? '\n' : escaped == 't' ? '\t' : static_cast<char>(escaped));
        } else {
          text.push_back(static_cast<char>(c));
        }
      }
      stack.push_back(text.substr(0, kEvalStringBytes - 1));
    } else if (opcode == '+' && stack.size() >= 2) {
      std::string right = stack.back();
      stack.pop_back();
      if (stack.back().size() + right.size() < kEvalStringBytes) stack.back() += right;
    } else if (opcode == 'H' || opcode == 'V' || opcode == 'v') {
      if (g_variablesAllowed == 0) g_LabelEvalFailed = 1;
      return 0;
    } else {
      return 0;
    }
  }
  if (stack.empty()) return 0;
  std::memcpy(buffer, stack.front().c_str(), stack.front().size() + 1);
  return stack.front().size();
}
