#pragma once
// Facts about the machine that scripts may ask for.
#include <cstdint>
#include <string>

// Bytes free to this user on the file system that holds the native path;
// 0 when it cannot be asked.
uint64_t GetDiskFreeBytes(const std::string& nativePath);
// True when the process runs with administrator rights (as root).
bool IsProcessAdministrator();
