#pragma once
// The append-only debug log in the game folder.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/format_text.h"

// The longest text one log write formats.
constexpr size_t kDebugLogTextLimit = 8192;
// The script log command warns once this much was written in a run.
constexpr int64_t kDebugLogBudget = 0xA00000;

// Appends the text and "\n" to a file under g_GlobalLock; a file that cannot
// be opened is skipped. Returns the bytes written.
int64_t AppendLogText(const std::string& path, std::string_view text);

// Appends a formatted text to the log file in the game folder; the first
// write of a run adds the date header (and erases the file first when asked).
// A budget of 0 or less appends and shows the size warning. Returns the
// bytes this call appended.
int64_t WriteDebugLogArgs(const char* fileName, bool eraseFirst, int64_t budget, std::string_view format,
                          std::initializer_list<FormatArgument> arguments);
template <typename... Args>
int64_t WriteDebugLog(const char* fileName, bool eraseFirst, int64_t budget, std::string_view format,
                      const Args&... arguments) {
  return WriteDebugLogArgs(fileName, eraseFirst, budget, format, {FormatArgument(arguments)...});
}

// The header is written again by the next write (a new run).
void ResetDebugLog();
