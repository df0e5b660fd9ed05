#include "core/file_list.h"

#include <mutex>

#include "core/process_state.h"

uint32_t g_FileListCount;

namespace {
std::vector<std::string> g_FileList;
}

void ReplaceFileList(std::vector<std::string> entries) {
  if (entries.size() > kMaxFileListEntries) entries.resize(kMaxFileListEntries);
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  g_FileList = std::move(entries);
  g_FileListCount = static_cast<uint32_t>(g_FileList.size());
}

bool GetFileListEntry(uint32_t index, std::string* text) {
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  // A count that a script raised past the list does not reach past it.
  if (index >= g_FileListCount || index >= g_FileList.size()) return false;
  *text = g_FileList[index];
  return true;
}

void ResetFileList() {
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  g_FileList.clear();
  g_FileListCount = 0;
}
