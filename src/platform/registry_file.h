#pragma once
// The per-user file that holds the registry the scripts read and write: one
// group per key path ("HKEY_CURRENT_USER\Software\..."), one entry per named
// value with its type number and bytes. Names are Shift-JIS as the engine
// gives them and match without regard to ASCII case. Every change rewrites
// the file atomically (a new file renamed over the old one).
#include <cstdint>
#include <string>
#include <vector>

// $XDG_CONFIG_HOME/orvane/registry, or ~/.config/orvane/registry.
std::string GetRegistryFilePath();
// Files above this size are not read (the store is then empty).
constexpr uint64_t kRegistryFileLimit = 16u << 20;

// True with the value's type and bytes; false when the key or value is missing.
bool ReadRegistryFileValue(const std::string& key, const std::string& name, uint32_t* type,
                           std::vector<uint8_t>* data);
// False when the file cannot be written.
bool WriteRegistryFileValue(const std::string& key, const std::string& name, uint32_t type,
                            const std::vector<uint8_t>& data);
// False when nothing was removed or the file cannot be written.
bool DeleteRegistryFileValue(const std::string& key, const std::string& name);
// Removes a key with its values; false when it is missing, still has
// sub-keys, or the file cannot be written.
bool DeleteRegistryFileKey(const std::string& key);
