// Fuzzes the image decoders fed from a pack: the first byte picks the type
// the pack entry records (BMP, GIF, PNG, JPEG, or a type without a decoder),
// the second how the entry is stored (bit 0 zlib, bit 1 with a repair
// trailer), the rest is the file. The pack is written to the game folder, the
// index built, and the image loaded by name through the media lookup, as a
// script's layer command loads it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/fuzz_limits.h"
#include "fuzz/pack_fuzz_util.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "layer/layer_record.h"

namespace {

struct ImageKind {
  int32_t mType;
  const char* mName;  // the entry's name and the name the lookup is given
};
// The last kind is a sound recorded under an image's name.
constexpr ImageKind kKinds[] = {{FILE_TYPE_BMP, "cg\\fuzz.bmp"},
                                {FILE_TYPE_GIF, "cg\\fuzz.gif"},
                                {FILE_TYPE_PNG, "cg\\fuzz.png"},
                                {FILE_TYPE_JPG, "cg\\fuzz.jpg"},
                                {FILE_TYPE_WAV, "cg\\sound.png"}};

// The image decoder target's seeds (type byte, file) get a storage byte.
void WriteSeedsFrom(const char* folder) {
  std::error_code error;
  for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
    if (!item.is_regular_file()) continue;
    std::ifstream in(item.path(), std::ios::binary);
    Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.empty()) continue;
    for (uint8_t storage : {0, 3}) {
      Bytes input = fuzz::Prefixed({file[0], storage}, Bytes(file.begin() + 1, file.end()));
      fuzz::WriteSeed(item.path().filename().string() + "_" + std::to_string(storage) + ".seed", input);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    ready = true;
    fuzz::SetUpOnce();
    InitPixelPrimitives();
    // ORVANE_FUZZ_IMAGE_SEEDS: the image_seed_writer's folder.
    if (const char* images = std::getenv("ORVANE_FUZZ_IMAGE_SEEDS")) WriteSeedsFrom(images);
  }
  if (size < 2) return 0;
  const ImageKind& kind = kKinds[data[0] % std::size(kKinds)];
  if (!fuzz::ImageWithinCap(kind.mType, data + 2, size - 2)) return -1;
  PackBuilder pack;
  PackBuilderEntry& entry = AddPackFile(&pack, kind.mName, Bytes(data + 2, data + size));
  entry.mType = static_cast<uint8_t>(kind.mType);
  entry.mCompressed = (data[1] & 1) != 0;
  entry.mRepairTrailer = (data[1] & 2) != 0;
  if (!WritePackFile("image.qpf", pack)) std::abort();
  InitDataKeys();
  if (BuildPackIndex() == 0) {
    LayerRecord record;
    // Twice into the same record, as a layer loads one image after another.
    for (int pass = 0; pass < 2; ++pass) {
      DecodeImageFile(&record, kind.mName);
      ResetErrorReporting();
      g_QuitFlag.store(0);
    }
    ReleaseLayerImage(&record);
  }
  fuzz::ResetPacks();
  return 0;
}
