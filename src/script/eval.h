#pragma once
// The expression evaluator: compiled expressions in postfix form, run on a
// small stack machine in integer, real or string mode. It also reports the
// variable an expression referenced last (how output arguments name the
// variable a command writes) and, in declaration mode, collects subscripts as
// dimension sizes.
//
// An expression is a byte string of tokens [u8 opcode][u16 payload length,
// little-endian][payload]. Every read is bounded by its token and by the
// expression's end; every stack, pool and frame limit is checked, and input
// that breaks one fails the expression with 900030.
#include <cstddef>
#include <cstdint>

constexpr size_t kEvalStringBytes = 4096;
// Texts entering an expression are cut to this many bytes.
constexpr size_t kEvalStringLimit = kEvalStringBytes - 1;
constexpr int kEvalStackSlots = 1024;
constexpr int kEvalPoolEntries = 1024;
constexpr int kSubscriptFrames = 128;
constexpr int kMaxSubscripts = 8;
// An array reference opened above this stack slot is refused (the slot is
// kept in a byte).
constexpr int kMaxSubscriptBaseSlot = 255;

enum : uint8_t { kEvalModeInt = 1, kEvalModeReal = 2, kEvalModeStringInt = 3, kEvalModeStringReal = 4 };
// Sigil kinds of a variable token: none, grave accent, "#".
enum : uint8_t { kSigilNone = 0, kSigilGrave = 1, kSigilHash = 2 };

struct LastVarRef {
  uint32_t mNumber;
  int64_t mElement;
  uint8_t mWholeVar;
  uint8_t mSigil;
};

extern uint8_t g_EvalMode;
extern uint16_t g_EvalDepth;
extern int64_t g_EvalIntStack[kEvalStackSlots];
extern double g_EvalRealStack[kEvalStackSlots];
extern uint16_t g_EvalSlotString[kEvalStackSlots];
extern char* g_EvalStringPool[kEvalPoolEntries];
extern uint16_t g_EvalNextString;
// Wider than a byte: a byte would wrap at the 128th open subscript and index
// the frames below zero.
extern int16_t g_EvalSubscriptDepth;
extern int64_t g_SubscriptValues[kMaxSubscripts];
extern int8_t g_SubscriptCount;
extern LastVarRef g_LastVarRef;
extern uint8_t g_DeclareMode;
// Set when an expression read a variable while variables are forbidden
// (label resolution at script load, FillOperatorTable(0)).
extern uint8_t g_LabelEvalFailed;

// An opcode handler: payload and its length; 0 goes on, non-zero fails the
// expression.
using OperatorHandler = int (*)(const uint8_t* payload, uint32_t length);
extern OperatorHandler g_OperatorTable[256];

// Runs an expression: 0, or -1 when an opcode handler failed (the run stops
// there).
int RunExpression(const uint8_t* expression, uint32_t length);

// The entry points: the value slot 0 holds after the run, whether it failed
// or not.
int64_t EvalInt(const uint8_t* expression, uint32_t length);
int64_t EvalRealAsInt(const uint8_t* expression, uint32_t length);
double EvalIntAsReal(const uint8_t* expression, uint32_t length);
double EvalReal(const uint8_t* expression, uint32_t length);
// Copy slot 0's text with its terminator into buffer (kEvalStringBytes) and
// return its length; when slot 0 holds a number the buffer gets the empty
// text and the result is 0.
size_t EvalStringInt(char* buffer, const uint8_t* expression, size_t length);
size_t EvalStringReal(char* buffer, const uint8_t* expression, size_t length);

// The entries by an argument's value type. g_EvalIntEntry: types 1-4;
// g_EvalEntry: 1-4 and 6-9 give a real, 11-14 a text; 0, 5 and 10 are empty.
using EvalIntFn = int64_t (*)(const uint8_t*, uint32_t);
using EvalRealFn = double (*)(const uint8_t*, uint32_t);
using EvalStringFn = size_t (*)(char*, const uint8_t*, size_t);
constexpr int kEvalIntEntries = 5;
constexpr int kEvalEntries = 15;
struct EvalEntry {
  EvalRealFn mReal;
  EvalStringFn mString;
};
extern EvalIntFn g_EvalIntEntry[kEvalIntEntries];
extern EvalEntry g_EvalEntry[kEvalEntries];

// Through the tables, with the empty entries (and types beyond them)
// reported as 900030 at the script location: the value is then 0, 0.0 or the
// empty text.
int64_t ReportEmptyIntEntry(uint32_t type);
inline int64_t EvalByIntEntry(uint32_t type, const uint8_t* expression, uint32_t length) {
  EvalIntFn entry = type < kEvalIntEntries ? g_EvalIntEntry[type] : nullptr;
  return entry != nullptr ? entry(expression, length) : ReportEmptyIntEntry(type);
}
double EvalByRealEntry(uint32_t entry, const uint8_t* expression, uint32_t length);
size_t EvalByStringEntry(uint32_t entry, char* buffer, const uint8_t* expression, uint32_t length);

// A double truncated toward zero; NaN, infinities and values outside the
// i64 range give 0x8000000000000000.
int64_t TruncateRealToInt(double value);

// Fills the operator table; with allowVariables 0 the variable opcodes fail
// the expression and set g_LabelEvalFailed instead.
void FillOperatorTable(int allowVariables);
// True while the operator table holds the standard handlers (the run loop
// may then call the common ones directly).
extern bool g_EvalStandardTable;
// Frees the string pool (tests run the engine more than once).
void ReleaseEvaluator();
