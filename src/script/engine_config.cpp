#include "script/engine_config.h"

#include <cstring>
#include <string>
#include <string_view>

#include "core/byte_reader.h"
#include "core/errors.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "core/window_table.h"
#include "datasrc/resource_lookup.h"
#include "sound/sound_device.h"

uint8_t g_DebugMode = 0;
std::string g_WindowTitle = " ";
uint8_t g_ThickFrame = 0;
uint8_t g_WindowStyleSwitch = 0;
uint8_t g_ConfigReserved = 0;
int32_t g_TextureWidth = 0;
int32_t g_TextureHeight = 0;

namespace {

constexpr const char* kConfigFile = "qvbin\\qvcfg.qbn";
constexpr int32_t kMinWidth = 128;
constexpr int32_t kMinHeight = 16;
constexpr int32_t kMaxSide = 8192;

int32_t TextureSide(int32_t side) {
  for (int32_t size = 256; size <= 2048; size *= 2) {
    if (size >= side) return size;
  }
  return 4096;
}

// Finds the file: a loose file first, then the compiler output, then the
// packs (the preload cache is not searched, and a loose file always wins).
// Reports as the loaders do.
bool ReadConfigFile(ResourceLocation* location) {
  *location = ResourceLocation();
  int found = SOURCE_NONE;
  if (FileExistsOnDisk(kConfigFile)) {
    location->mSource = SOURCE_DISK;
    found = SOURCE_DISK;
  }
  if (found == SOURCE_NONE) found = FindInCompilerOutput(location, kConfigFile);
  if (found == SOURCE_NONE) found = FindInPackIndex(location, kConfigFile);
  if (found == SOURCE_NONE) {
    ReportErrorFmt(104060, 1, kConfigFile);
    return false;
  }
  if (found < 0) {
    ReportErrorFmt(901040, 1, kConfigFile);
    return false;
  }
  return ReadResource(location, kConfigFile) == 0 && location->mData != nullptr;
}

}  // namespace

void ResetEngineConfig() {
  g_DebugMode = 0;
  g_WindowTitle = " ";
  g_ThickFrame = 0;
  g_WindowStyleSwitch = 0;
  g_ConfigReserved = 0;
  g_TextureWidth = 0;
  g_TextureHeight = 0;
  std::memset(g_ImageExtOrder, 0, sizeof(g_ImageExtOrder));
  std::memset(g_SoundExtOrder, 0, sizeof(g_SoundExtOrder));
  g_LooseFirstDev = 0;
  g_LooseFirstRelease = 0;
}

int LoadEngineConfig() {
  ResourceLocation location;
  if (!ReadConfigFile(&location)) return -1;
  ByteReader reader(location.mData, location.mSize);
  reader.Skip(16);
  uint32_t width = reader.U32();
  uint32_t height = reader.U32();
  uint32_t displayState = reader.U32();
  const uint8_t* imageOrder = reader.Take(kImageExtOrderBytes);
  const uint8_t* soundOrder = reader.Take(kSoundExtOrderBytes);
  uint32_t switches[8];
  for (uint32_t& value : switches) value = reader.U32();
  reader.Skip(4);
  uint16_t titleLength = reader.U16();
  const uint8_t* titleBytes = reader.Take(titleLength);
  bool complete = !reader.mFailed;
  std::string title;
  if (complete) {
    std::memcpy(g_ImageExtOrder, imageOrder, kImageExtOrderBytes);
    std::memcpy(g_SoundExtOrder, soundOrder, kSoundExtOrderBytes);
    // A title stops at its first zero byte, as a terminated text does.
    std::string_view text(reinterpret_cast<const char*>(titleBytes), titleLength);
    title = text.substr(0, text.find('\0'));
  }
  ReleaseResourceData(&location);
  if (!complete) {
    ReportErrorFmt(104010, 1, kConfigFile);
    return 1;
  }

  auto screenWidth = static_cast<int64_t>(width);
  auto screenHeight = static_cast<int64_t>(height);
  if (width == 0 && height == 0) {
    screenWidth = g_DesktopWidth;
    screenHeight = g_DesktopHeight;
  } else if (screenWidth < kMinWidth || screenWidth > kMaxSide || screenHeight < kMinHeight ||
             screenHeight > kMaxSide) {
    ReportError(901020, 1);
    return 1;
  }
  WindowObject* main = g_WindowTable[0];
  if (main != nullptr) {
    main->mWidth = static_cast<int32_t>(screenWidth);
    main->mHeight = static_cast<int32_t>(screenHeight);
    main->mDisplayState = static_cast<uint8_t>(displayState);
  }

  if (titleLength > kMaxWindowTitleBytes) {
    ReportError(901000, 1);
    return 1;
  }
  g_WindowTitle = title.empty() ? " " : title;

  uint32_t threaded = switches[0];
  if (threaded > 1) {
    ReportError(901020, 1);
    return 1;
  }
  g_ThreadedStep.store(static_cast<uint8_t>(threaded));
  g_DebugMode = static_cast<uint8_t>(switches[1]);
  g_SoundSetting = static_cast<uint8_t>(switches[2]);
  g_ThickFrame = static_cast<uint8_t>(switches[3]);
  g_WindowStyleSwitch = static_cast<uint8_t>(switches[4]);
  g_ConfigReserved = static_cast<uint8_t>(switches[5]);
  g_LooseFirstDev = static_cast<uint8_t>(switches[6]);
  g_LooseFirstRelease = static_cast<uint8_t>(switches[7]);

  if (g_TextureWidth == 0) g_TextureWidth = TextureSide(static_cast<int32_t>(screenWidth));
  if (g_TextureHeight == 0) g_TextureHeight = TextureSide(static_cast<int32_t>(screenHeight));
  return 0;
}
