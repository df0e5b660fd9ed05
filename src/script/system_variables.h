#pragma once
// System variables: numbers below 1000 whose values are computed from engine
// state on every read, and the write rules of the few that scripts assign.
#include <cstddef>
#include <cstdint>

// Variable numbers the script engine itself reads.
enum : uint32_t {
  kSysLoopCounter = 48,
  kSysIndirectInt = 50,
  kSysIndirectReal = 51,
  kSysIndirectString = 52,
  kSysCallInt = 53,
  kSysCallReal = 54,
  kSysCallString = 55,
  kSysCallPresent = 56,
  kSysCallIntPresent = 57,
  kSysCallRealPresent = 58,
  kSysCallStringPresent = 59,
  kSysResultInt = 60,
  kSysResultReal = 61,
  kSysResultString = 62,
  kSysResultPresent = 63,
  kSysResultIntPresent = 64,
  kSysResultRealPresent = 65,
  kSysResultStringPresent = 66,
  kSysTaskInt = 67,
  kSysTaskReal = 68,
  kSysTaskString = 69,
  kSysIndirectType = 70,
};

// Element e is a signed 64-bit value; most variables use its low 32 bits.
int64_t ReadSystemInt(uint32_t n, int64_t e);
double ReadSystemReal(uint32_t n, int64_t e);
// The buffer (4096 bytes) receives the text with its terminator.
void ReadSystemString(uint32_t n, char* buffer, int64_t e);

// Assignment to a system variable element (operator codes of the assignment
// command): 0, or -1 after a fatal report (101150 not writable, 108230 an
// indirect target of the wrong type).
int WriteSystemInt(uint32_t n, int64_t e, uint8_t op, int64_t value);
int WriteSystemReal(uint32_t n, int64_t e, uint8_t op, double value);
int WriteSystemString(uint32_t n, int64_t e, const char* text, size_t length);

// Sets an input slot's counter the way its state allows: a slot that is down
// keeps a positive value, one that is up a negative value; anything else
// stores 0. A slot outside the table is left alone.
void StoreSystemIntSlot(int slot, int64_t value);
