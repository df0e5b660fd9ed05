#pragma once
// Command arguments: decoding an instruction's argument records into
// argument slots, the range checks the command table declares, and the
// relative operations of number arguments.
#include <cstddef>
#include <cstdint>

#include "script/execution_context.h"
#include "script/task_step.h"

struct ArgumentRecord;

// Argument ids are bytes: the id map has an entry for each.
constexpr int kArgumentIds = 256;
// Slots 1..255 (an instruction's argument count is a byte).
constexpr int kArgumentSlots = 256;

// Value kinds of the command table.
enum : uint8_t { kArgNumber = 0, kArgString = 1, kArgRaw = 2 };

extern uint8_t g_ArgSlotOfId[kArgumentIds];
extern int32_t g_ArgId[kArgumentSlots];
extern int32_t g_ArgExprType[kArgumentSlots];
extern int32_t g_ArgOperator[kArgumentSlots];
extern int32_t g_ArgExprLength[kArgumentSlots];
extern int32_t g_ArgExprOffset[kArgumentSlots];
extern int64_t g_ArgInt[kArgumentSlots];
extern char* g_ArgString[kArgumentSlots];
extern const uint8_t* g_ArgRawPointer[kArgumentSlots];
extern int32_t g_ArgVarId[kArgumentSlots];
extern int64_t g_ArgVarElement[kArgumentSlots];
extern uint8_t g_ArgWholeVar[kArgumentSlots];
extern uint8_t g_ArgCount;

// Decodes the current instruction's arguments for the command: 0, or -1
// after the first failed check (reported, fatal).
int FetchCommandArguments(int command);
// The same, with string arguments always evaluated as texts with integer
// arithmetic (the call's label record carries a resolved label instead of a
// value type).
int FetchCallArguments(int command);
// Applies the check kind to a value: true when accepted; false after the
// report naming the command and argument.
bool CheckArgumentValue(int command, int id, uint8_t checkKind, int64_t value);

// The loaded names of a command and of one of its arguments; "" when unknown.
const char* CommandName(int command);
const char* ArgumentName(int command, int id);
// The slot of an argument id (0 when absent) and the values of present ones.
inline int ArgSlot(int id) { return g_ArgSlotOfId[static_cast<uint8_t>(id)]; }
inline bool HasArg(int id) { return ArgSlot(id) != 0; }
// The value of a number argument; 0 when it is absent (slot 0 is never
// written).
inline int64_t ArgInt(int id) { return g_ArgInt[ArgSlot(id)]; }
// The text of a string argument; "" when it is absent or has none.
inline const char* ArgText(int id) {
  int slot = ArgSlot(id);
  return slot != 0 && g_ArgString[slot] != nullptr ? g_ArgString[slot] : "";
}

// Relative operations: 0 set, 1 add, 2 subtract, 3 multiply, 4 divide (a
// zero operand keeps the value); other codes keep the value. All wrap.
int64_t ApplyValueOp(int op, int64_t value, int64_t operand);
int64_t ApplyValueOpClamped(int op, int64_t value, int64_t operand, int64_t minimum, int64_t maximum);
int64_t ApplyValueOpMin(int op, int64_t value, int64_t operand, int64_t minimum);

// The current instruction's argument records and expression data; null when
// no task is being stepped.
inline const ArgumentRecord* CurrentArgumentRecords(int* count) {
  const ExecutionContext* context = g_CurrentContext;
  if (context == nullptr || context->mArgRecords == nullptr || g_CurrentInstruction < 0) {
    *count = 0;
    return nullptr;
  }
  *count = context->mArgCounts[g_CurrentInstruction];
  return context->mArgRecords[g_CurrentInstruction];
}
inline const uint8_t* CurrentExpressionData() {
  return g_CurrentContext != nullptr ? g_CurrentContext->mExpressionData : nullptr;
}
// The size of the current script file's expression section.
uint64_t CurrentExpressionSize();

// Frees the string slots' buffers.
void ReleaseArgumentSlots();
