// Fuzz target of the image loader: the first byte picks the file type (BMP,
// GIF, PNG, JPEG, or a type without a decoder), the rest is the file. The
// file goes through the loader's dispatch as a loose file would.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "datasrc/resource_lookup.h"
#include "image/blend_kernels.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "layer/layer_record.h"
#include "platform/dialogs.h"
#include "shell/errors.h"
#include "shell/process_state.h"

namespace {

int SilentBox(void*, const char*, const char*, uint32_t) { return kAnswerOk; }
int SilentDialog(void*, const ErrorDialogRequest&) { return kErrorDialogClose; }
DialogHooks g_SilentHooks = {SilentBox, SilentDialog, nullptr};

void SetUpOnce() {
  static bool ready = false;
  if (ready) return;
  ready = true;
  SetDialogHooks(&g_SilentHooks);
  InitPixelPrimitives();
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "orvane-image-fuzz";
  std::filesystem::create_directories(folder);
  std::filesystem::current_path(folder);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetUpOnce();
  if (size == 0) return 0;
  static constexpr int kTypes[] = {FILE_TYPE_BMP, FILE_TYPE_GIF, FILE_TYPE_PNG, FILE_TYPE_JPG, FILE_TYPE_WAV};
  int type = kTypes[data[0] % 5];
  FILE* file = std::fopen("fuzz.img", "wb");
  if (file == nullptr) return 0;
  std::fwrite(data + 1, 1, size - 1, file);
  std::fclose(file);
  // The same record takes two loads in a row, as a layer does.
  LayerRecord record;
  for (int pass = 0; pass < 2; ++pass) {
    ResourceLocation location;
    location.mSource = 1;
    location.mType = type;
    DecodeLocatedImage(&record, &location, "fuzz.img");
    ResetErrorReporting();
    g_QuitFlag.store(0);
  }
  ReleaseLayerImage(&record);
  return 0;
}
