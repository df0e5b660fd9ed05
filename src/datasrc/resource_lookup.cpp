#include "datasrc/resource_lookup.h"

#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "core/file_names.h"
#include "core/object_path.h"
#include "core/sjis.h"
#include "datasrc/compiler_link.h"
#include "datasrc/pack_file.h"
#include "datasrc/pack_index.h"
#include "datasrc/preload_cache.h"
#include "platform/game_files.h"

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
// The extensions the media lookup knows and adds for a category, by the
// values of its order switch (index = value - 1), and how many bytes of the
// switch count.
struct MediaExtensions {
  std::span<const char* const> mExtensions;
  const uint8_t* mOrder;
  size_t mOrderBytes;
};
constexpr const char* kImageExtensions[] = {".png", ".bmp", ".jpg", ".gif", ".psb", ".webp"};
constexpr const char* kSoundExtensions[] = {".ogg", ".wav"};
constexpr MediaExtensions kImageMedia = {kImageExtensions, g_ImageExtOrder, 7};
constexpr MediaExtensions kSoundMedia = {kSoundExtensions, g_SoundExtOrder, 2};

constexpr int kCategoryImage = 0;
constexpr int kCategorySound = 1;
constexpr int kCategoryAny = 9;

// Looks a candidate up; stores it as the resolved name. -1 error, 0 found, 1 not.
int LookUpCandidate(ResourceLocation* location, char* resolvedName, std::string_view candidate) {
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
  char normalized[kObjectPathBytes];
  if (NormalizeObjectPath(normalized, name, "", 1) < 0) return -1;
  LowerCaseName(normalized);
  ReplaceSlashesWithBackslashes(normalized);
  CopySjisBounded(resolvedName, kNameBufferBytes, normalized);
  if (category == kCategoryAny) return LookUpCandidate(location, resolvedName, normalized);

  const MediaExtensions& media = category == kCategoryImage ? kImageMedia : kSoundMedia;
  for (const char* extension : media.mExtensions) {
    if (EndsWithNoCase(normalized, extension)) return LookUpCandidate(location, resolvedName, normalized);
  }
  for (size_t index = 0; index < media.mOrderBytes; ++index) {
    uint8_t choice = media.mOrder[index];
    if (choice < 1 || choice > media.mExtensions.size()) continue;
    int result = LookUpCandidate(location, resolvedName, std::string(normalized) + media.mExtensions[choice - 1]);
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
