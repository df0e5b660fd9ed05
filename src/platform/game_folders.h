#pragma once
// Folder and file operations on game file names (Shift-JIS, "\" or "/"
// separators, resolved as game_files.h resolves them).
#include <string>
#include <string_view>
#include <vector>

// Creates the folder (its parent must exist); true when it exists afterwards.
bool CreateGameFolder(std::string_view name);
// Removes an empty folder.
bool RemoveGameFolder(std::string_view name);
// Copies a file, overwriting the target.
bool CopyGameFile(std::string_view from, std::string_view to);
// True for a regular file that may be run directly.
bool IsGameFileExecutable(std::string_view name);
// Starts the program with the arguments and waits for its end; false when it
// cannot be started.
bool RunGameProgramAndWait(std::string_view name, const std::vector<std::string>& arguments);
// The name of the program the desktop opens the file with ("" when none).
std::string FindDefaultProgram(std::string_view name);
