#include "support/temp_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

TempFolder::TempFolder(bool enter) : mEntered(enter) {
  std::string pattern = (std::filesystem::temp_directory_path() / "orvane-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  mPath = pattern;
  if (mEntered) {
    mPreviousFolder = std::filesystem::current_path().string();
    std::filesystem::current_path(mPath);
  }
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (mEntered) std::filesystem::current_path(mPreviousFolder, ignored);
  std::filesystem::remove_all(mPath, ignored);
}

void TempFolder::WriteFile(std::string_view relativeName, std::string_view bytes) const {
  std::filesystem::path path = std::filesystem::path(mPath) / std::string(relativeName);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempFolder::ReadFile(std::string_view relativeName) const {
  std::ifstream in(std::filesystem::path(mPath) / std::string(relativeName), std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

bool TempFolder::Exists(std::string_view relativeName) const {
  return std::filesystem::exists(std::filesystem::path(mPath) / std::string(relativeName));
}
