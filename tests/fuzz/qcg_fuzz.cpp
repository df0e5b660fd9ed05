// Fuzz target of the qcg loader: the first byte picks one or two pixel
// workers, the rest is the qcg file, handed to the loader's dispatch from
// memory. Seeds are good files of every method.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/byte_order.h"
#include "core/errors.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "datasrc/compression.h"
#include "datasrc/resource_lookup.h"
#include "fuzz/fuzz_harness.h"
#include "fuzz/fuzz_limits.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"
#include "image/qcg_format.h"
#include "image/webp_codec.h"
#include "layer/layer_record.h"
#include "support/qcg_builder.h"

namespace {

void WriteSeeds() {
  std::vector<uint8_t> pixels(8 * 6 * 4);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 13 + 7);
  for (uint32_t method : {kQcgRaw, kQcgZlib, kQcgBlockCodec, kQcgWebp}) {
    QcgFixture qcg;
    qcg.mWidth = 8;
    qcg.mHeight = 6;
    qcg.mMethod = method;
    qcg.mPixels = pixels;
    Bytes file = WriteQcg(qcg);
    fuzz::WriteSeed("qcg" + std::to_string(method) + ".seed", fuzz::Prefixed({static_cast<uint8_t>(method)}, file));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int workers = 0;
  if (workers == 0) {
    fuzz::SetUpOnce();
    InitPixelPrimitives();
    LoadCompressionLibrary();
    LoadWebpCodec();
    WriteSeeds();
  }
  if (size == 0) return 0;
  int wanted = 1 + (data[0] & 1);
  if (wanted != workers) {
    StopPixelWorkers();
    g_WorkerCount = static_cast<uint8_t>(wanted);
    StartPixelWorkers();
    workers = wanted;
  }
  const uint8_t* file = data + 1;
  size_t fileBytes = size - 1;
  // Pictures past the fuzzing cap would only measure the allocator.
  if (fileBytes >= kQcgDataOffset &&
      fuzz::limits_detail::OverCap(LoadLe32(file + kQcgWidthOffset), LoadLe32(file + kQcgHeightOffset))) {
    return -1;
  }
  fuzz::HandOver("fuzz.qcg", file, fileBytes);
  LayerRecord record;
  ResourceLocation location;
  location.mSource = SOURCE_COMPILER_OUTPUT;
  location.mCompilerIndex = 0;
  location.mType = FILE_TYPE_QCG;
  DecodeLocatedImage(&record, &location, "fuzz.qcg");
  ResetErrorReporting();
  g_QuitFlag.store(0);
  ReleaseLayerImage(&record);
  fuzz::TakeBack();
  return 0;
}
