#pragma once
// The supporting operations of the OS utility command that keep state or
// touch files, and the reset of that state.
#include <cstdint>
#include <string>

// Texts the command copies from script elements hold at most this many bytes.
constexpr size_t kOsTextBytes = 1023;
// A folder listing stops at this many names.
constexpr size_t kFolderListLimit = 8192;

// Replaces the file list with the names in `folder` (path form): files whose
// name ends in "." + extension (any when it is empty), folders with "/"
// appended when `withFolders`.
void ListFolder(const char* folder, const char* extension, bool withFolders);
// Looks the name up in the data sources and writes its bytes to the disk
// file; the lookup reports its own errors. 0, or -1.
int ExtractDataFile(const char* name, const char* target);
// The drive root a disk-space question asks about: the first three bytes of
// the path in path form.
std::string DiskRootOf(const char* path);
// Appends a line to the script debug log, within the run's 10 MB budget.
void AppendScriptDebugLog(const char* text);
void DeleteScriptDebugLog();
// The bytes appended through the command in this run.
int64_t ScriptDebugLogTotal();

// Back to the start: the edit control closed, the last edit dialog text and
// the log total forgotten.
void ResetOsUtilityState();
