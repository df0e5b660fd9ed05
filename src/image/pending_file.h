#pragma once
// A file written under a temporary name beside its final one and renamed
// over it only once every byte is on the disk (the folder's entry flushed
// after the rename, as ReplaceFileContents does for whole buffers), so a
// failed or cut-off write never leaves a half-written file under the final
// name. For writers that stream through a FILE*.
#include <cstdio>
#include <string>

class PendingFile {
 public:
  // gameName: a game file name (Shift-JIS, "\" separators).
  explicit PendingFile(const char* gameName);
  ~PendingFile();  // an uncommitted file is removed
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Creates the temporary file; false when the folder cannot take it.
  bool Open();
  FILE* get() const { return mFile; }
  // Flushes, closes and renames over the final name; false (and nothing
  // left behind) when any write, the close or the rename failed.
  bool Commit();
  // Closes and removes the temporary file.
  void Abandon();

 private:
  std::string mFinalPath;
  std::string mTempPath;
  FILE* mFile = nullptr;
};
