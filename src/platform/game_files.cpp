#include "platform/game_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/sjis_chars.h"
#include "platform/text_codec.h"

namespace {

struct ListedName {
  std::string mKey;     // Shift-JIS form
  std::string mNative;  // bytes on disk
  bool mIsFolder;
};

struct FolderListing {
  timespec mModified{};
  dev_t mDevice = 0;
  ino_t mInode = 0;
  std::vector<ListedName> mNames;  // sorted by SortNames
  // Index into mNames by the exact name, and by the name with letters folded
  // (the first in sorted order).
  std::unordered_map<std::string, size_t> mExact;
  std::unordered_map<std::string, size_t> mFolded;
};

struct Alias {
  std::string mEngine;  // ends in '\'
  std::string mNative;  // ends in '/'
};

std::mutex g_filesMutex;
std::map<std::string, FolderListing> g_listings;  // one listing per native folder, checked by its change time
std::vector<Alias> g_aliases;

bool SortNames(const ListedName& a, const ListedName& b) {
  int order = CompareSjisNoCase(a.mKey, b.mKey);
  if (order != 0) return order < 0;
  return a.mKey < b.mKey;
}

std::string KeyOfNativeName(const std::string& native) {
  bool ascii = std::all_of(native.begin(), native.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
  if (ascii) return native;
  std::string converted;
  if (TryConvertUtf8ToCp932(native, converted)) return converted;
  return native;  // raw Shift-JIS (or bytes we cannot read): used as they are
}

// Splits an engine name into components at "\" and "/", stepping over
// double-byte characters whose trail byte may be 0x5C.
std::vector<std::string> SplitComponents(std::string_view name) {
  std::vector<std::string> parts;
  std::string current;
  size_t index = 0;
  while (index < name.size() && name[index] != '\0') {
    size_t length = SjisCharLength(name, index);
    char c = name[index];
    if (length == 1 && (c == '\\' || c == '/')) {
      parts.push_back(current);
      current.clear();
    } else {
      current.append(name.substr(index, length));
    }
    index += length;
  }
  parts.push_back(current);
  return parts;
}

// The listing of a native folder, read again when the folder changed. Called
// with g_filesMutex held. Returns nullptr when the folder cannot be read.
const FolderListing* GetListing(const std::string& folder) {
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return nullptr;
  auto found = g_listings.find(folder);
  if (found != g_listings.end() && found->second.mDevice == info.st_dev && found->second.mInode == info.st_ino &&
      found->second.mModified.tv_sec == info.st_mtim.tv_sec &&
      found->second.mModified.tv_nsec == info.st_mtim.tv_nsec) {
    return &found->second;
  }
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return nullptr;
  FolderListing listing;
  listing.mModified = info.st_mtim;
  listing.mDevice = info.st_dev;
  listing.mInode = info.st_ino;
  while (dirent* entry = readdir(dir)) {
    std::string native = entry->d_name;
    if (native == "." || native == "..") continue;
    bool isFolder = false;
    if (entry->d_type == DT_DIR) {
      isFolder = true;
    } else if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat entryInfo {};
      std::string full = folder + (folder.back() == '/' ? "" : "/") + native;
      isFolder = stat(full.c_str(), &entryInfo) == 0 && S_ISDIR(entryInfo.st_mode);
    }
    listing.mNames.push_back({KeyOfNativeName(native), native, isFolder});
  }
  closedir(dir);
  std::stable_sort(listing.mNames.begin(), listing.mNames.end(), SortNames);
  for (size_t index = 0; index < listing.mNames.size(); ++index) {
    std::string folded = listing.mNames[index].mKey;
    LowerAsciiLetters(folded);
    listing.mExact.emplace(listing.mNames[index].mKey, index);
    listing.mFolded.emplace(std::move(folded), index);
  }
  auto& slot = g_listings[folder];
  slot = std::move(listing);
  return &slot;
}

// Finds a component in a folder: the exact name first, else the first name
// equal without regard to letter case.
const ListedName* FindInFolder(const FolderListing& listing, const std::string& component) {
  auto exact = listing.mExact.find(component);
  if (exact != listing.mExact.end()) return &listing.mNames[exact->second];
  std::string folded = component;
  LowerAsciiLetters(folded);
  auto match = listing.mFolded.find(folded);
  return match != listing.mFolded.end() ? &listing.mNames[match->second] : nullptr;
}

std::string JoinNative(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string ParentOf(const std::string& path) {
  if (path == "/" || path.empty()) return path;
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  size_t slash = trimmed.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return trimmed.substr(0, slash);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsSjisNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

void SetFolderAlias(std::string_view engineFolder, std::string_view nativeFolder) {
  std::lock_guard<std::mutex> guard(g_filesMutex);
  Alias alias{std::string(engineFolder), std::string(nativeFolder)};
  for (char& c : alias.mEngine) {
    if (c == '/') c = '\\';
  }
  if (alias.mEngine.empty() || alias.mEngine.back() != '\\') alias.mEngine.push_back('\\');
  if (alias.mNative.empty() || alias.mNative.back() != '/') alias.mNative.push_back('/');
  std::erase_if(g_aliases, [&](const Alias& old) { return EqualsSjisNoCase(old.mEngine, alias.mEngine); });
  g_aliases.push_back(std::move(alias));
  // Longest prefixes first.
  std::sort(g_aliases.begin(), g_aliases.end(),
            [](const Alias& a, const Alias& b) { return a.mEngine.size() > b.mEngine.size(); });
}

void ClearFolderAliases() {
  std::lock_guard<std::mutex> guard(g_filesMutex);
  g_aliases.clear();
}

std::string ResolveGamePath(std::string_view name) {
  size_t terminator = name.find('\0');
  if (terminator != std::string_view::npos) name = name.substr(0, terminator);
  std::lock_guard<std::mutex> guard(g_filesMutex);

  std::string base;
  std::string_view rest = name;
  bool aliased = false;
  for (const Alias& alias : g_aliases) {
    if (StartsWithNoCase(rest, alias.mEngine)) {
      base = alias.mNative;
      rest = rest.substr(alias.mEngine.size());
      aliased = true;
      break;
    }
  }
  if (!aliased) {
    if (!rest.empty() && (rest[0] == '\\' || rest[0] == '/')) {
      base.assign(1, '/');  // (assign from a literal trips a false -Wrestrict of GCC 12)
    } else {
      char cwd[4096];
      base = getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) : std::string(".");
    }
  }

  std::vector<std::string> components = SplitComponents(rest);
  std::string path = base;
  bool exists = true;  // the folder `path` exists, so the next component can be looked up
  for (size_t i = 0; i < components.size(); ++i) {
    const std::string& component = components[i];
    if (component.empty() || component == ".") continue;
    if (component == "..") {
      path = ParentOf(path);
      struct stat info {};
      exists = stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
      continue;
    }
    const ListedName* found = nullptr;
    if (exists) {
      const FolderListing* listing = GetListing(path);
      if (listing != nullptr) found = FindInFolder(*listing, component);
    }
    if (found != nullptr) {
      path = JoinNative(path, found->mNative);
      exists = found->mIsFolder;
    } else {
      path = JoinNative(path, ConvertCp932ToUtf8(component));
      exists = false;
    }
  }
  return path;
}

FILE* OpenGameFile(std::string_view name, const char* mode) {
  std::string path = ResolveGamePath(name);
  return std::fopen(path.c_str(), mode);
}

bool GameFileExists(std::string_view name) {
  struct stat info {};
  return stat(ResolveGamePath(name).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool GameFolderExists(std::string_view name) {
  struct stat info {};
  return stat(ResolveGamePath(name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool RemoveGameFile(std::string_view name) { return std::remove(ResolveGamePath(name).c_str()) == 0; }

bool SetGameCurrentFolder(std::string_view name) { return chdir(ResolveGamePath(name).c_str()) == 0; }

bool CanCreateFileInFolder(std::string_view folder) {
  std::string name = JoinNative(ResolveGamePath(folder), "iniXXXXXX");
  int file = mkstemp(name.data());
  if (file < 0) return false;
  close(file);
  unlink(name.c_str());
  return true;
}

int64_t GetGameFileSize(std::string_view name) {
  struct stat info {};
  if (stat(ResolveGamePath(name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return static_cast<int64_t>(info.st_size);
}

std::vector<GameFolderEntry> ListGameFolder(std::string_view folder) {
  std::string native = ResolveGamePath(folder);
  std::lock_guard<std::mutex> guard(g_filesMutex);
  std::vector<GameFolderEntry> entries;
  const FolderListing* listing = GetListing(native);
  if (listing == nullptr) return entries;
  for (const ListedName& name : listing->mNames) entries.push_back({name.mKey, name.mIsFolder});
  return entries;
}
