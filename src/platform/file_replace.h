#pragma once
// Replacing a file's contents without ever leaving a half-written file: the
// new bytes go to a temporary file in the same folder, written chunk by
// chunk, flushed to the disk and renamed over the old file, and the folder's
// entry is flushed after the rename. Cut off at any point, the path holds
// either the old file or the new one. Temporary files of the same path that
// a replace cut off by a hard kill left behind (their process no longer
// runs) are removed first.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Called before each step (creating the temporary file, each chunk written,
// the flush, the close and the rename); returning false fails that step as
// an I/O error. Tests use it to cut a write off at a chosen step.
using FileReplaceStepCheck = bool (*)();

// 0, or -1 with *error set to the failing call's errno (EIO when the call
// gave none); the old file is then untouched and the temporary file removed.
int ReplaceFileContents(const std::string& path, const uint8_t* data, size_t size, int* error,
                        FileReplaceStepCheck stepCheck = nullptr);

// Flushes the entry of `path` in its folder to the disk, so a rename into
// that folder survives a crash. Failures are ignored (a folder that cannot
// be opened keeps whatever the system does).
void SyncFolderEntry(const std::string& path);

// Flushes an open file's written bytes to the disk: 0, or an errno value.
int SyncFileToDisk(FILE* file);
