#pragma once
// A temporary folder for a test, made the current folder while it lives.
#include <string>
#include <string_view>

class TempFolder {
 public:
  // chdir into the new folder unless `enter` is false.
  explicit TempFolder(bool enter = true);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return mPath; }
  // Writes a file (native relative name, folders made as needed).
  void WriteFile(std::string_view relativeName, std::string_view bytes) const;
  std::string ReadFile(std::string_view relativeName) const;
  bool Exists(std::string_view relativeName) const;

 private:
  std::string mPath;
  std::string mPreviousFolder;
  bool mEntered;
};
