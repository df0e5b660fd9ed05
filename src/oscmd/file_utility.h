#pragma once
// The supporting operations of the file commands.
#include <string>
#include <vector>

// Paths of the file commands hold at most this many bytes.
constexpr size_t kFilePathBytes = 259;
constexpr size_t kFolderPathBytes = 522;

// Creates every folder of the path up to its last '\' (a last part without
// one is not created); existing folders are no error.
void CreateFolderPath(const std::string& path);
// 1 when the path is an existing folder, else 0.
int IsDirectory(const std::string& path);
// The parameters text of an open action split into arguments at blanks,
// double quotes grouping.
std::vector<std::string> SplitParameters(const std::string& text);
