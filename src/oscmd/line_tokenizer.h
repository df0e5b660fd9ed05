#pragma once
// The line tokenizer scripts use to colour or edit script-like text: a line
// split into tokens whose texts and kinds go into script arrays given as
// variable references (variable number in the high 32 bits, first element in
// the low 32 bits).
#include <cstdint>

// Token kinds.
enum : int64_t {
  kTokenLineEnd = 0,  // end of line inside or after a comment: a lone CR
  kTokenIncrement = 11,
  kTokenAddAssign = 12,
  kTokenMulAssign = 14,
  kTokenDivAssign = 15,
  kTokenOther = 16,
  kTokenString = 31,
  kTokenWord = 32,
  kTokenBackslash = 51,
  kTokenOpenParen = 52,
  kTokenCloseParen = 53,
  kTokenComma = 54,
  kTokenAt = 55,
  kTokenDollar = 56,
  kTokenHash = 57,
};

// Tokenizes `text` (up to its terminator): token i goes to element start + i
// of the string array and of the kind array. The integer element that
// `commentState` references says on entry whether the line starts inside a
// block comment and receives that state after the line. The token count.
int64_t TokenizeLine(const char* text, int64_t strings, int64_t kinds, int64_t commentState);

// Stores the byte length of each string from the first one up to and
// including the first empty string into the lengths array; stops early at
// the end of either array. The number of non-empty strings.
int64_t StoreStringLengths(int64_t strings, int64_t lengths);
