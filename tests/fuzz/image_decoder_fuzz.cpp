// Fuzz target of the image loader: the first byte picks the file type (BMP,
// GIF, PNG, JPEG, or a type without a decoder), the rest is the file, handed
// to the loader's dispatch from memory.
#include <cstddef>
#include <cstdint>

#include "core/errors.h"
#include "core/process_state.h"
#include "datasrc/resource_lookup.h"
#include "fuzz/fuzz_harness.h"
#include "fuzz/fuzz_limits.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "layer/layer_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    ready = true;
    fuzz::SetUpOnce();
    InitPixelPrimitives();
  }
  if (size == 0) return 0;
  static constexpr int kTypes[] = {FILE_TYPE_BMP, FILE_TYPE_GIF, FILE_TYPE_PNG, FILE_TYPE_JPG, FILE_TYPE_WAV};
  int type = kTypes[data[0] % 5];
  if (!fuzz::ImageWithinCap(type, data + 1, size - 1)) return -1;
  fuzz::HandOver("fuzz.img", data + 1, size - 1);
  // The same record takes two loads in a row, as a layer does.
  LayerRecord record;
  for (int pass = 0; pass < 2; ++pass) {
    ResourceLocation location;
    location.mSource = SOURCE_COMPILER_OUTPUT;
    location.mCompilerIndex = 0;
    location.mType = type;
    DecodeLocatedImage(&record, &location, "fuzz.img");
    ResetErrorReporting();
    g_QuitFlag.store(0);
  }
  ReleaseLayerImage(&record);
  fuzz::TakeBack();
  return 0;
}
