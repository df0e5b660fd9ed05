#pragma once
// The per-user store that stands in for the system registry: keys under the
// seven root names, each holding named values of a type and a byte string.
// Sub-key paths use '\' between their parts.
#include <cstdint>

enum class RegistryRoot { kClassesRoot, kCurrentUser, kLocalMachine, kUsers, kPerformanceData, kCurrentConfig, kDynData };

// Value types with the numbers scripts and stored data know them by.
constexpr uint32_t kRegistryString = 1;
constexpr uint32_t kRegistryExpandString = 2;
constexpr uint32_t kRegistryBinary = 3;
constexpr uint32_t kRegistryDword = 4;
constexpr uint32_t kRegistryMultiString = 7;
constexpr uint32_t kRegistryQword = 11;

// Reads value `name` of `subKey`. On 0, *type holds its type and *size its
// length in bytes; at most `capacity` bytes are copied to `data` (data may be
// null to ask for the size only). -1: no such key or value, or the value is
// longer than `capacity` (then *size still holds its length).
int QueryRegistryValue(RegistryRoot root, const char* subKey, const char* name, uint32_t* type, uint8_t* data,
                       uint32_t capacity, uint32_t* size);
// Creates the key as needed and stores the value; 0, or -1 when the store
// cannot be written.
int SetRegistryValue(RegistryRoot root, const char* subKey, const char* name, uint32_t type, const uint8_t* data,
                     uint32_t size);
// 0 when the value (or the key with its values) existed and was removed, else -1.
int DeleteRegistryValue(RegistryRoot root, const char* subKey, const char* name);
int DeleteRegistryKey(RegistryRoot root, const char* subKey);
