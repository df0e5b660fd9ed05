// Fuzzes the player's settings files: bit 0 of the first byte writes the
// rest of the input as qvcfg.dat, bit 1 as qvsfs.dat (a file whose bit is
// clear is absent). Both are read as start-up reads them; every setting must
// stay within its values and the save folder within its buffer.
#include <cstring>

#include "core/settings.h"
#include "fuzz/fuzz_harness.h"

namespace {

void WriteSeeds() {
  ByteWriter words;
  for (uint32_t word = 0; word < 32; ++word) words.U32(word % 5 == 0 ? 1 : word % 4);
  for (uint8_t which = 1; which <= 3; ++which) {
    fuzz::WriteSeed("settings_" + std::to_string(which) + ".seed", fuzz::Prefixed({which}, words.mBytes));
  }
}

bool IsSwitch(uint8_t value) { return value <= 1; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    ready = true;
    fuzz::SetUpOnce();
    WriteSeeds();
  }
  if (size == 0) return 0;
  // The program folder is the game folder; the user folders are long enough
  // that the deepest save folder only just fits.
  std::strcpy(g_ExeFolder, ".");
  std::memset(g_AppDataFolder, 0, kPathBytes);
  std::memset(g_AppDataFolder, 'a', kPathBytes - 40);
  std::strcpy(g_MyDocumentsFolder, "c:\\users\\fuzz\\documents");
  const Bytes file(data + 1, data + size);
  for (auto [bit, name] : {std::pair{1, "qvcfg.dat"}, std::pair{2, "qvsfs.dat"}}) {
    // Files are removed only when they exist: the folder then changes only
    // when a file comes or goes.
    if ((data[0] & bit) != 0) {
      WriteGameFile(".", {name, file});
    } else if (GameFileExists(name)) {
      RemoveGameFile(name);
    }
  }
  ResetEngineSettings();
  LoadEngineSettings();
  BuildSaveFolder();
  bool valid = IsSwitch(g_UseDirectShow) && IsSwitch(g_AllowSse) && IsSwitch(g_AllowSse2) &&
               (g_MaxWorkers == 1 || g_MaxWorkers == 4) && IsSwitch(g_ChangeDisplayMode) && g_ScalingMode <= 3 &&
               g_DrawMode <= 3 && IsSwitch(g_CpuScaleBilinear) && IsSwitch(g_CaptionDoubleClickToScript) &&
               IsSwitch(g_ScriptReadableSwitch) && IsSwitch(g_NoHardwareVertexProcessing) &&
               IsSwitch(g_Use16BitTextures) &&
               g_TextureFormat == (g_Use16BitTextures != 0 ? kTextureFormat16 : kTextureFormat32) &&
               IsSwitch(g_DitherTextures) && IsSwitch(g_DisableComposition) && g_SaveLocation <= 3 &&
               std::memchr(g_SaveFolder, 0, kPathBytes) != nullptr;
  if (!valid) std::abort();
  g_ExeFolder[0] = '\0';
  return 0;
}
