#pragma once
// Game file names as the game data writes them: Shift-JIS, "\" (or "/")
// separators, any letter case. They are resolved onto the real files without
// regard to ASCII letter case, so a game copied from Windows runs unchanged.
// Names on disk may be UTF-8 or raw Shift-JIS bytes.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Maps an engine-form folder (Shift-JIS, "\" separated, any case, such as the
// lower-cased program folder the shell keeps) onto a native folder.
void SetFolderAlias(std::string_view engineFolder, std::string_view nativeFolder);
void ClearFolderAliases();

// The native path of a game file name. Relative names are taken from the
// current folder. Components that do not exist are kept as given (converted to
// UTF-8), so that the path can be created.
std::string ResolveGamePath(std::string_view name);

FILE* OpenGameFile(std::string_view name, const char* mode);
bool GameFileExists(std::string_view name);    // a regular file
bool GameFolderExists(std::string_view name);  // a folder
bool RemoveGameFile(std::string_view name);
// Changes the process's current folder; false when it does not exist.
bool SetGameCurrentFolder(std::string_view name);
// True when a new file can be made in the folder (a uniquely named test file
// is made and removed at once).
bool CanCreateFileInFolder(std::string_view folder);
// Size of a regular file, -1 when it cannot be read.
int64_t GetGameFileSize(std::string_view name);

struct GameFolderEntry {
  std::string mName;  // Shift-JIS
  bool mIsFolder;
};
// The entries of a folder (without "." and ".."), sorted without regard to
// ASCII letter case, then by bytes, so every machine sees the same order.
std::vector<GameFolderEntry> ListGameFolder(std::string_view folder);
