#include "core/settings.h"

#include <cstdio>
#include <cstring>

#include "core/format_text.h"
#include "platform/game_files.h"

uint8_t g_UseDirectShow;
uint8_t g_AllowSse;
uint8_t g_AllowSse2;
uint8_t g_MaxWorkers;
uint8_t g_ChangeDisplayMode;
uint8_t g_ScalingMode;
uint8_t g_DrawMode;
uint8_t g_CpuScaleBilinear;
uint8_t g_GpuDrawing;
uint8_t g_CaptionDoubleClickToScript;
uint8_t g_ScriptReadableSwitch;
uint8_t g_NoHardwareVertexProcessing;
uint8_t g_Use16BitTextures;
uint32_t g_TextureFormat;
uint8_t g_TextureBitDepth;
uint8_t g_DitherTextures;
uint8_t g_DisableComposition;
int32_t g_TileLimitWidth;
int32_t g_TileLimitHeight;
uint8_t g_SamplerMagFilter;
uint8_t g_SamplerMinFilter;
uint8_t g_SamplerMipFilter;
uint8_t g_TileUploadSwitch;
uint8_t g_GpuPresent;
uint8_t g_SaveLocation;
char g_SaveFolder[kPathBytes];
int32_t g_CommandLineCount;
std::string g_CommandLineArgs[kMaxCommandLineArgs + 1];

namespace {

constexpr int kSettingsWords = 32;
constexpr const char* kSaveFolderTail = "\\%s_SaveData\\%s\\save\\";
constexpr const char* kMakerWord = "VORMELT";
constexpr const char* kTitleWord = "tindaref";

// Reads up to 32 little-endian words; a short or unreadable file reads as
// zeros for the missing words. False when the file does not exist.
bool ReadSettingsWords(const char* fileName, uint32_t words[kSettingsWords]) {
  std::memset(words, 0, sizeof(uint32_t) * kSettingsWords);
  std::string path = std::string(g_ExeFolder) + "\\" + fileName;
  FILE* file = OpenGameFile(path, "rb");
  if (file == nullptr) return false;
  uint8_t bytes[kSettingsWords * 4] = {};
  size_t got = std::fread(bytes, 1, sizeof bytes, file);
  std::fclose(file);
  for (size_t word = 0; word < got / 4; ++word) {
    words[word] = bytes[word * 4] | (bytes[word * 4 + 1] << 8) | (bytes[word * 4 + 2] << 16) |
                  (static_cast<uint32_t>(bytes[word * 4 + 3]) << 24);
  }
  return true;
}

// Whenever a settings file is read these take their fixed values; without
// one they have the same values from the defaults.
void SetTextureConstants() {
  g_TileLimitWidth = 512;
  g_TileLimitHeight = 256;
  g_SamplerMagFilter = 1;
  g_SamplerMinFilter = 1;
  g_SamplerMipFilter = 0;
  g_TileUploadSwitch = 0;
  g_GpuPresent = 0;
}

void SetSwitch(uint8_t* setting, uint32_t value) {
  if (value <= 1) *setting = static_cast<uint8_t>(value);
}

void ApplyTextureFormat() {
  g_TextureFormat = g_Use16BitTextures ? kTextureFormat16 : kTextureFormat32;
  g_TextureBitDepth = g_Use16BitTextures ? 16 : 32;
}

}  // namespace

void ResetEngineSettings() {
  g_UseDirectShow = 1;
  g_AllowSse = 1;
  g_AllowSse2 = 1;
  g_MaxWorkers = 4;
  g_ChangeDisplayMode = 1;
  g_ScalingMode = 1;
  g_DrawMode = 0;
  g_CpuScaleBilinear = 1;
  g_GpuDrawing = 0;
  g_CaptionDoubleClickToScript = 0;
  g_ScriptReadableSwitch = 0;
  g_NoHardwareVertexProcessing = 0;
  g_Use16BitTextures = 0;
  ApplyTextureFormat();
  g_DitherTextures = 1;
  g_DisableComposition = 0;
  SetTextureConstants();
  g_SaveLocation = 0;
  std::strcpy(g_SaveFolder, "save\\");
  g_CommandLineCount = 0;
  for (std::string& argument : g_CommandLineArgs) argument.clear();
}

void CopyCommandLineArguments(int argc, char** argv) {
  for (std::string& argument : g_CommandLineArgs) argument.clear();
  g_CommandLineCount = argc > 1 ? std::min(argc - 1, kMaxCommandLineArgs) : 0;
  for (int index = 0; index <= g_CommandLineCount && index < argc; ++index) {
    g_CommandLineArgs[index] = argv[index] != nullptr ? argv[index] : "";
  }
}

int LoadEngineSettings() {
  uint32_t words[kSettingsWords];
  if (!ReadSettingsWords("qvcfg.dat", words)) return 0;
  SetSwitch(&g_UseDirectShow, words[0]);
  SetSwitch(&g_AllowSse, words[2]);
  SetSwitch(&g_AllowSse2, words[3]);
  if (words[4] == 0) g_MaxWorkers = 1;
  if (words[6] <= 1) g_ChangeDisplayMode = words[6] == 0 ? 1 : 0;
  static constexpr uint8_t kScalingModes[4] = {1, 2, 3, 0};
  if (words[7] <= 3) g_ScalingMode = kScalingModes[words[7]];
  static constexpr uint8_t kDrawModes[4] = {3, 2, 1, 0};
  if (words[8] <= 3) {
    g_DrawMode = kDrawModes[words[8]];
    g_CpuScaleBilinear = words[8] == 3 ? 0 : 1;
    if (words[8] >= 2) g_GpuDrawing = 0;
  }
  SetSwitch(&g_CaptionDoubleClickToScript, words[9]);
  SetSwitch(&g_ScriptReadableSwitch, words[10]);
  SetSwitch(&g_NoHardwareVertexProcessing, words[12]);
  if (words[13] <= 1) {
    g_Use16BitTextures = static_cast<uint8_t>(words[13]);
    ApplyTextureFormat();
  }
  SetSwitch(&g_DitherTextures, words[14]);
  SetSwitch(&g_DisableComposition, words[22]);
  SetTextureConstants();
  return 0;
}

int BuildSaveFolder() {
  uint32_t words[kSettingsWords];
  if (ReadSettingsWords("qvsfs.dat", words) && words[21] <= 3) g_SaveLocation = static_cast<uint8_t>(words[21]);
  std::string tail = FormatBounded(kPathBytes, kSaveFolderTail, kMakerWord, kTitleWord);
  std::string folder;
  switch (g_SaveLocation) {
    case 1: folder = g_AppDataFolder[0] != '\0' ? std::string(g_AppDataFolder) + tail : ""; break;
    case 2: folder = g_MyDocumentsFolder[0] != '\0' ? std::string(g_MyDocumentsFolder) + tail : ""; break;
    case 3: folder = g_MyDocumentsFolder[0] != '\0' ? std::string(g_MyDocumentsFolder) + "\\My Games" + tail : ""; break;
    default: break;
  }
  // A user folder that is unknown or too long keeps the saves in the game folder.
  if (folder.empty() || folder.size() >= kPathBytes) folder = "save\\";
  std::memcpy(g_SaveFolder, folder.c_str(), folder.size() + 1);
  return 0;
}
