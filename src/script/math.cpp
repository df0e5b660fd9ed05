// The math command: the standard functions, random numbers from MT19937,
// CRC-32 of a text and the integer calculator.
#include "script/math.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/checksums.h"
#include "core/errors.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/eval.h"
#include "script/runtime_tables.h"
#include "script/script_data.h"
#include "script/task_step.h"
#include "script/variables.h"

// mIndex -1: not seeded yet; the first output then uses the default seed.
RandomState g_RandomState{{}, -1};

void SeedRandom(uint32_t seed) {
  g_RandomState.mWords[0] = seed;
  for (int i = 1; i < kRandomWords; ++i) {
    uint32_t previous = g_RandomState.mWords[i - 1];
    g_RandomState.mWords[i] = 1812433253u * (previous ^ (previous >> 30)) + static_cast<uint32_t>(i);
  }
  g_RandomState.mIndex = kRandomWords;
  // The C runtime's generator, used by other parts, starts from the calendar
  // time.
  std::srand(static_cast<unsigned>(std::time(nullptr)));
}

namespace {

void Twist() {
  uint32_t* words = g_RandomState.mWords;
  for (int i = 0; i < kRandomWords; ++i) {
    uint32_t y = (words[i] & 0x80000000u) | (words[(i + 1) % kRandomWords] & 0x7FFFFFFFu);
    uint32_t next = words[(i + 397) % kRandomWords] ^ (y >> 1);
    if ((y & 1) != 0) next ^= 0x9908B0DFu;
    words[i] = next;
  }
  g_RandomState.mIndex = 0;
}

}  // namespace

uint32_t NextRandom() {
  // Never seeded (a tool or test that skipped start-up): the default seed.
  if (g_RandomState.mIndex < 0) SeedRandom(5489u);
  if (g_RandomState.mIndex >= kRandomWords) Twist();
  uint32_t y = g_RandomState.mWords[g_RandomState.mIndex++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

int64_t RandomInRange(int64_t lo, int64_t hi, uint32_t r) {
  if (hi < lo) {
    int64_t swap = lo;
    lo = hi;
    hi = swap;
  }
  uint64_t span = static_cast<uint64_t>(hi) - static_cast<uint64_t>(lo) + 1u;
  uint64_t offset = span == 0 ? r : r % span;
  return static_cast<int64_t>(static_cast<uint64_t>(lo) + offset);
}

namespace {

constexpr size_t kCalculatorBytes = 1024;

// The calculator's reader over its work buffer: tokens are numbers (runs of
// digits) or single characters; 0 is the end.
struct Calculator {
  const char* mText;
  size_t mPos;
  bool mStopped;  // an operator was the last token
};

void SkipBlanks(Calculator& calc) {
  while (calc.mText[calc.mPos] == ' ' || calc.mText[calc.mPos] == '\t') ++calc.mPos;
}

char Peek(Calculator& calc) {
  SkipBlanks(calc);
  char c = calc.mText[calc.mPos];
  return c == '\n' ? '\0' : c;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Consumes an operator; true when a further token follows it.
bool TakeOperator(Calculator& calc) {
  ++calc.mPos;
  if (Peek(calc) == '\0') {
    calc.mStopped = true;
    return false;
  }
  return true;
}

int64_t Wrap(uint64_t value) { return static_cast<int64_t>(value); }

int64_t ReadNumber(Calculator& calc) {
  uint64_t value = 0;
  bool saturated = false;
  while (IsDigit(calc.mText[calc.mPos])) {
    auto digit = static_cast<uint64_t>(calc.mText[calc.mPos] - '0');
    if (!saturated && value > (static_cast<uint64_t>(INT64_MAX) - digit) / 10) saturated = true;
    if (!saturated) value = value * 10 + digit;
    ++calc.mPos;
  }
  return saturated ? INT64_MAX : static_cast<int64_t>(value);
}

int64_t Expression(Calculator& calc);

int64_t Factor(Calculator& calc) {
  char c = Peek(calc);
  if (IsDigit(c)) return ReadNumber(calc);
  if (c == '(') {
    ++calc.mPos;
    int64_t value = Expression(calc);
    if (!calc.mStopped && Peek(calc) == ')') ++calc.mPos;
    return value;
  }
  return 0;
}

int64_t Term(Calculator& calc) {
  int64_t value = Factor(calc);
  while (!calc.mStopped) {
    char op = Peek(calc);
    if (op != '*' && op != '/' && op != '%') break;
    if (!TakeOperator(calc)) break;
    int64_t right = Factor(calc);
    if (op == '*') {
      value = Wrap(static_cast<uint64_t>(value) * static_cast<uint64_t>(right));
    } else if (right == 0) {
      // a zero divisor leaves the left value
    } else if (right == -1) {
      value = op == '/' ? Wrap(0u - static_cast<uint64_t>(value)) : 0;
    } else {
      value = op == '/' ? value / right : value % right;
    }
  }
  return value;
}

int64_t Expression(Calculator& calc) {
  char sign = Peek(calc);
  if (sign == '+' || sign == '-') {
    if (!TakeOperator(calc)) return 0;
  }
  int64_t value = Term(calc);
  if (sign == '-') value = Wrap(0u - static_cast<uint64_t>(value));
  while (!calc.mStopped) {
    char op = Peek(calc);
    if (op != '+' && op != '-') break;
    if (!TakeOperator(calc)) break;
    int64_t right = Term(calc);
    value = op == '+' ? Wrap(static_cast<uint64_t>(value) + static_cast<uint64_t>(right))
                      : Wrap(static_cast<uint64_t>(value) - static_cast<uint64_t>(right));
  }
  return value;
}

}  // namespace

int64_t EvaluateIntegerText(const char* text) {
  char buffer[kCalculatorBytes];
  size_t length = text != nullptr ? strnlen(text, kCalculatorBytes - 1) : 0;
  if (length > 0) std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  Calculator calc{buffer, 0, false};
  return Expression(calc);
}

namespace {

enum : int {
  kMathSin = 4,
  kMathAsin,
  kMathSinh,
  kMathCos,
  kMathAcos,
  kMathCosh,
  kMathTan,
  kMathAtan,
  kMathAtan2,
  kMathTanh,
  kMathSqrt,
  kMathAbs,
  kMathExp,
  kMathLog,
  kMathLog10,
  kMathPow,
  kMathRandom,
  kMathCrc32,
  kMathCalc,
};

// The order in which the flags are looked for.
constexpr int kMathFlagOrder[] = {kMathSin,   kMathCos,  kMathTan,    kMathAsin,  kMathAcos, kMathSinh, kMathCosh,
                                  kMathTanh,  kMathAtan, kMathAtan2,  kMathSqrt,  kMathAbs,  kMathExp,  kMathLog,
                                  kMathLog10, kMathPow,  kMathRandom, kMathCrc32, kMathCalc};

struct RawValue {
  uint32_t mType;
  const uint8_t* mExpression;
  uint32_t mLength;
};

RawValue Raw(int id) {
  int slot = ArgSlot(id);
  if (slot == 0) return {1, nullptr, 0};
  return {static_cast<uint32_t>(g_ArgExprType[slot]), g_ArgRawPointer[slot],
          static_cast<uint32_t>(g_ArgExprLength[slot])};
}

// An absent x or y counts as 0.
double RealOf(const RawValue& value) {
  if (value.mExpression == nullptr) return 0.0;
  return EvalByRealEntry(value.mType, value.mExpression, value.mLength);
}
double RealArithmetic(const RawValue& value) {
  return value.mExpression != nullptr ? EvalReal(value.mExpression, value.mLength) : 0.0;
}
int64_t IntOf(const RawValue& value) {
  if (value.mExpression == nullptr) return 0;
  return EvalByIntEntry(value.mType, value.mExpression, value.mLength);
}

}  // namespace

int32_t CmdMathFunction() {
  if (FetchCommandArguments(kCommandMath) != 0) return -1;
  int function = 0;
  for (int id : kMathFlagOrder) {
    if (ArgSlot(id) != 0) {
      function = id;
      break;
    }
  }
  if (function == 0) return 0;
  int outSlot = ArgSlot(0);
  if (outSlot == 0) {
    // Without a result variable the result would land in system variable 0.
    ReportErrorAtScript(kMsgNotAStringVariable);
    return -1;
  }
  auto out = static_cast<uint32_t>(g_ArgVarId[outSlot]);
  int64_t element = g_ArgVarElement[outSlot];
  RawValue x = Raw(1);
  RawValue y = Raw(2);
  switch (function) {
    case kMathSin:
      SetRealElement(out, element, std::sin(RealArithmetic(x)));
      break;
    case kMathCos:
      SetRealElement(out, element, std::cos(RealArithmetic(x)));
      break;
    case kMathTan:
      SetRealElement(out, element, std::tan(RealOf(x)));
      break;
    case kMathAsin:
      SetRealElement(out, element, std::asin(RealOf(x)));
      break;
    case kMathAcos:
      SetRealElement(out, element, std::acos(RealOf(x)));
      break;
    case kMathSinh:
      SetRealElement(out, element, std::sinh(RealOf(x)));
      break;
    case kMathCosh:
      SetRealElement(out, element, std::cosh(RealOf(x)));
      break;
    case kMathTanh:
      SetRealElement(out, element, std::tanh(RealOf(x)));
      break;
    case kMathAtan:
      SetRealElement(out, element, std::atan(RealOf(x)));
      break;
    case kMathAtan2: {
      double first = RealOf(x);
      SetRealElement(out, element, std::atan2(first, RealOf(y)));
      break;
    }
    case kMathSqrt:
      SetRealElement(out, element, std::sqrt(RealOf(x)));
      break;
    case kMathAbs:
      if (x.mExpression == nullptr) break;
      if (x.mType == 0) {
        int64_t value = EvalInt(x.mExpression, x.mLength);
        // The most negative value has no magnitude and stays as it is.
        SetNumberElement(out, element, value < 0 ? Wrap(0u - static_cast<uint64_t>(value)) : value);
      } else if (x.mType == 1) {
        SetRealElement(out, element, std::fabs(EvalIntAsReal(x.mExpression, x.mLength)));
      }
      break;
    case kMathExp:
      SetRealElement(out, element, std::exp(RealOf(x)));
      break;
    case kMathLog:
      SetRealElement(out, element, std::log(RealOf(x)));
      break;
    case kMathLog10:
      SetRealElement(out, element, std::log10(RealOf(x)));
      break;
    case kMathPow: {
      double base = RealOf(x);
      SetRealElement(out, element, std::pow(base, RealOf(y)));
      break;
    }
    case kMathRandom: {
      int64_t lo = IntOf(x);
      int64_t hi = IntOf(y);
      SetNumberElement(out, element, RandomInRange(lo, hi, NextRandom()));
      break;
    }
    case kMathCrc32: {
      int slot = ArgSlot(3);
      const char* text = slot != 0 && g_ArgString[slot] != nullptr ? g_ArgString[slot] : "";
      SetNumberElement(out, element, Crc32(text, std::strlen(text)));
      break;
    }
    case kMathCalc: {
      int slot = ArgSlot(3);
      SetNumberElement(out, element, EvaluateIntegerText(slot != 0 ? g_ArgString[slot] : ""));
      break;
    }
    default:
      break;
  }
  return 0;
}
