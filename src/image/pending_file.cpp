#include "image/pending_file.h"

#include <cstdio>

#include "platform/file_replace.h"
#include "platform/game_files.h"

PendingFile::PendingFile(const char* gameName) : mFinalPath(ResolveGamePath(gameName != nullptr ? gameName : "")) {
  mTempPath = mFinalPath + ".part";
}

PendingFile::~PendingFile() { Abandon(); }

bool PendingFile::Open() {
  if (mFinalPath.empty()) return false;
  mFile = std::fopen(mTempPath.c_str(), "wb");
  return mFile != nullptr;
}

bool PendingFile::Commit() {
  if (mFile == nullptr) return false;
  bool written = std::ferror(mFile) == 0 && SyncFileToDisk(mFile) == 0;
  written = std::fclose(mFile) == 0 && written;
  mFile = nullptr;
  if (written && std::rename(mTempPath.c_str(), mFinalPath.c_str()) == 0) {
    SyncFolderEntry(mFinalPath);
    return true;
  }
  std::remove(mTempPath.c_str());
  return false;
}

void PendingFile::Abandon() {
  if (mFile == nullptr) return;
  std::fclose(mFile);
  mFile = nullptr;
  std::remove(mTempPath.c_str());
}
