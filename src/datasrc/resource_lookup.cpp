#include "datasrc/resource_lookup.h"

#include <cstring>
#include <string>
#include <string_view>

#include "datasrc/compiler_link.h"
#include "datasrc/file_names.h"
#include "datasrc/pack_index.h"
#include "datasrc/preload_cache.h"
#include "platform/game_files.h"
#include "shell/appended_data.h"
#include "shell/sjis.h"

uint8_t g_LooseFirstDev = 0;
uint8_t g_LooseFirstRelease = 0;
uint8_t g_ImageExtOrder[8] = {};
uint8_t g_SoundExtOrder[4] = {};

namespace {

struct ExtensionType {
  const char* mExtension;
  int32_t mType;
};
// In the order they are tested.
constexpr ExtensionType kExtensionTypes[] = {
    {".bmp", FILE_TYPE_BMP}, {".png", FILE_TYPE_PNG}, {".jpg", FILE_TYPE_JPG},   {".gif", FILE_TYPE_GIF},
    {".psd", FILE_TYPE_PSD}, {".qcg", FILE_TYPE_QCG}, {".psb", FILE_TYPE_PSB},   {".webp", FILE_TYPE_WEBP},
    {".wav", FILE_TYPE_WAV}, {".ogg", FILE_TYPE_OGG},
};
// Extensions the media lookup knows and adds, by the values of the order
// switches (index = value - 1).
constexpr const char* kImageExtensions[] = {".png", ".bmp", ".jpg", ".gif", ".psb", ".webp"};
constexpr const char* kSoundExtensions[] = {".ogg", ".wav"};
constexpr int kImageOrderBytes = 7;
constexpr int kSoundOrderBytes = 2;

constexpr int kCategoryImage = 0;
constexpr int kCategorySound = 1;
constexpr int kCategoryAny = 9;

bool EndsWithAny(const char* name, const char* const* extensions, size_t count) {
  for (size_t index = 0; index < count; ++index) {
    if (EndsWithNoCase(name, extensions[index])) return true;
  }
  return false;
}

// Normalises a media name as an object path with an empty base, blanks
// allowed: "." segments dropped, ".." removing the segment before it, a
// leading ":", ":/" or "/" dropped, a trailing "/" removed.
std::string NormalizeMediaName(std::string_view path) {
  bool special = false;
  for (size_t index = 0; index < path.size(); index += SjisCharLength(path, index)) {
    char c = path[index];
    if (SjisCharLength(path, index) == 1 && (c == '.' || c == '/' || c == ':')) special = true;
  }
  if (!special) return std::string(path);
  if (path.starts_with(":/")) {
    path.remove_prefix(2);
  } else if (path.starts_with(":") || path.starts_with("/")) {
    path.remove_prefix(1);
  }
  std::string output;
  size_t index = 0;
  while (index < path.size()) {
    if (path[index] == '/') {
      output.push_back('/');
      ++index;
      continue;
    }
    size_t end = index;
    while (end < path.size() && !(SjisCharLength(path, end) == 1 && path[end] == '/')) {
      end += SjisCharLength(path, end);
    }
    std::string_view segment = path.substr(index, end - index);
    bool slashFollows = end < path.size();
    if (segment == ".." && slashFollows) {
      // Drop the trailing run of "/" and the segment before it; the "/"
      // before that segment stays.
      while (!output.empty() && output.back() == '/') output.pop_back();
      size_t previous = output.find_last_of('/');
      output.erase(previous == std::string::npos ? 0 : previous + 1);
      index = end + 1;
    } else if (segment == "." && slashFollows) {
      index = end + 1;
    } else {
      output.append(segment);
      if (slashFollows) output.push_back('/');
      index = slashFollows ? end + 1 : end;
    }
  }
  if (!output.empty() && output.back() == '/') output.pop_back();
  return output;
}

// Looks a candidate up; stores it as the resolved name. -1 error, 0 found, 1 not.
int LookUpCandidate(ResourceLocation* location, char* resolvedName, const std::string& candidate) {
  CopySjisBounded(resolvedName, kNameBufferBytes, candidate);
  if (candidate.size() > kMaxNameBytes) return -1;
  int result = LocateResource(location, resolvedName, 1);
  if (result < 0) return -1;
  return result > 0 ? 0 : 1;
}

}  // namespace

bool LooseFilesFirst() {
  if (g_DataAppended == 1) return false;
  return (g_ReleaseLayout == 0 && g_LooseFirstDev != 0) || (g_ReleaseLayout == 1 && g_LooseFirstRelease != 0);
}

bool FileExistsOnDisk(const char* path) { return GameFileExists(path); }

int LocateResource(ResourceLocation* location, const char* name, int withType) {
  location->mSource = SOURCE_NONE;
  location->mType = 0;
  if (name == nullptr || strnlen(name, kMaxNameBytes + 1) > kMaxNameBytes) return -1;
  int result = FindInPreloadCache(location, name);
  if (result == 0) result = FindInCompilerOutput(location, name);
  if (result != 0) return result;

  auto findLoose = [&]() {
    if (!FileExistsOnDisk(name)) return 0;
    location->mSource = SOURCE_DISK;
    location->mType = withType != 0 ? FileTypeFromExtension(name) : 0;
    return SOURCE_DISK;
  };
  if (LooseFilesFirst()) {
    result = findLoose();
    if (result == 0) result = FindInPackIndex(location, name);
  } else {
    result = FindInPackIndex(location, name);
    if (result == 0) result = findLoose();
  }
  return result;
}

int FindMediaFile(ResourceLocation* location, char* resolvedName, char* name, int category) {
  if (category != kCategoryImage && category != kCategorySound && category != kCategoryAny) return -1;
  ReplaceBackslashesWithSlashes(name);
  std::string normalized = NormalizeMediaName(name);
  LowerCaseName(normalized);
  ReplaceSlashesWithBackslashes(normalized);
  CopySjisBounded(resolvedName, kNameBufferBytes, normalized);

  bool known = category == kCategoryAny ||
               (category == kCategoryImage && EndsWithAny(normalized.c_str(), kImageExtensions, 6)) ||
               (category == kCategorySound && EndsWithAny(normalized.c_str(), kSoundExtensions, 2));
  if (known) return LookUpCandidate(location, resolvedName, normalized);

  const uint8_t* order = category == kCategoryImage ? g_ImageExtOrder : g_SoundExtOrder;
  int orderBytes = category == kCategoryImage ? kImageOrderBytes : kSoundOrderBytes;
  const char* const* extensions = category == kCategoryImage ? kImageExtensions : kSoundExtensions;
  int extensionCount = category == kCategoryImage ? 6 : 2;
  for (int index = 0; index < orderBytes; ++index) {
    if (order[index] < 1 || order[index] > extensionCount) continue;
    int result = LookUpCandidate(location, resolvedName, normalized + extensions[order[index] - 1]);
    if (result != 1) return result;
  }
  return 1;
}

int32_t FileTypeFromExtension(const char* name) {
  for (const ExtensionType& entry : kExtensionTypes) {
    if (EndsWithNoCase(name, entry.mExtension)) return entry.mType;
  }
  return 0;
}

bool EndsWithNoCase(const char* text, const char* suffix) {
  size_t textLength = std::strlen(text);
  size_t suffixLength = std::strlen(suffix);
  if (textLength < suffixLength) return false;
  const char* tail = text + textLength - suffixLength;
  for (size_t index = 0; index < suffixLength; ++index) {
    auto a = static_cast<uint8_t>(tail[index]);
    auto b = static_cast<uint8_t>(suffix[index]);
    if (a >= 'A' && a <= 'Z') a = static_cast<uint8_t>(a + 32);
    if (b >= 'A' && b <= 'Z') b = static_cast<uint8_t>(b + 32);
    if (a != b) return false;
  }
  return true;
}

void ReleaseDataSources() {
  ReleasePreloadCache();
  ReleaseCompilerOutput();
  ReleasePackIndex();
}
