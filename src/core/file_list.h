#pragma once
// The file list scripts read: the files dropped on a window or the names of a
// listed folder, replaced whole under g_GlobalLock because scripts read it
// from the stepping thread.
#include <cstdint>
#include <string>
#include <vector>

// Each entry is a Shift-JIS path of at most kFileListEntryBytes - 1 bytes.
constexpr size_t kFileListEntryBytes = 521;
constexpr size_t kMaxFileListEntries = 65536;

// The count scripts see; they may write it.
extern uint32_t g_FileListCount;

// Replaces the list and sets the count (entries past the cap are left out).
void ReplaceFileList(std::vector<std::string> entries);
// Copies entry index into text; false when the index is not below both the
// count and the list's own length.
bool GetFileListEntry(uint32_t index, std::string* text);
void ResetFileList();
