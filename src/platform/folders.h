#pragma once
// Where things live on this system: the program, the user's folders in place
// of the Windows special folders, and the folder for per-session locks.
#include <string>

// Native paths, without a trailing '/'.
std::string GetProgramPath();        // the running executable
std::string GetCurrentFolder();      // the process's current folder
std::string GetUserDataFolder();     // $XDG_DATA_HOME or ~/.local/share (the application-data folder)
std::string GetDocumentsFolder();    // the XDG documents folder or ~/Documents
std::string GetRuntimeFolder();      // $XDG_RUNTIME_DIR, else a private folder under /tmp

bool IsNativeFolder(const std::string& path);
// The absolute, symlink-free form of an existing path; empty when it does not exist.
std::string GetCanonicalPath(const std::string& path);
// Creates a folder and its parents; true when it exists afterwards. When it
// does not, *error (if given) holds the errno of the first level that could
// not be created (ENOENT when none was tried).
bool CreateNativeFolders(const std::string& path, int* error = nullptr);
