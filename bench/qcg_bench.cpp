// Decoding a 1920x1080 qcg image of each storage method through the engine's
// loader with one pixel worker and with two, beside the same picture
// decoded by the libraries alone, in the same run:
//   ms_1w, ms_2w   milliseconds per load with one and with two workers
//   speedup_2w     ms_1w / ms_2w
//   png_ms         libpng alone decoding the picture as a PNG (level 6)
//   webp_ms        libwebp alone decoding it as a WebP of the same method
//                  (lossless for the lossless and non-WebP rows)
//   vs_png         ms_2w / png_ms
#include <benchmark/benchmark.h>
#include <png.h>
#include <webp/decode.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/platform_facts.h"
#include "datasrc/compression.h"
#include "datasrc/resource_lookup.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"
#include "image/webp_codec.h"
#include "layer/layer_record.h"
#include "shell/engine_reset.h"
#include "support/image_fixtures.h"
#include "support/qcg_builder.h"
#include "support/temp_folder.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// Soft gradients with a little noise, as photographs compress.
std::vector<uint8_t> Picture() {
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
  uint32_t noise = 12345;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      noise = noise * 1103515245 + 12345;
      uint8_t* p = &pixels[(static_cast<size_t>(y) * kWidth + x) * 4];
      p[0] = static_cast<uint8_t>(128 + 100 * std::sin(x * 0.004 + y * 0.002) + (noise >> 29));
      p[1] = static_cast<uint8_t>(x * 255 / kWidth);
      p[2] = static_cast<uint8_t>(y * 255 / kHeight);
      p[3] = static_cast<uint8_t>(x < 100 ? x * 2 : 255);
    }
  }
  return pixels;
}

double Seconds(const std::function<void()>& run, int times) {
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < times; ++i) run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / times;
}

std::vector<uint8_t> PngOf(const std::vector<uint8_t>& pixels) {
  PngFixture png;
  png.mWidth = kWidth;
  png.mHeight = kHeight;
  png.mColourType = PNG_COLOR_TYPE_RGB_ALPHA;
  png.mRows.resize(pixels.size());
  for (size_t i = 0; i < pixels.size(); i += 4) {
    png.mRows[i] = pixels[i + 2];
    png.mRows[i + 1] = pixels[i + 1];
    png.mRows[i + 2] = pixels[i];
    png.mRows[i + 3] = pixels[i + 3];
  }
  return WritePng(png);
}

void DecodePngAlone(const std::vector<uint8_t>& file, std::vector<uint8_t>* out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  png_image_begin_read_from_memory(&image, file.data(), file.size());
  image.format = PNG_FORMAT_BGRA;
  png_image_finish_read(&image, nullptr, out->data(), 0, nullptr);
}

void BM_QcgDecode(benchmark::State& state, uint32_t method, int webpQuality) {
  ResetEngineState();
  InitPixelPrimitives();
  LoadCompressionLibrary();
  LoadWebpCodec();
  static const std::vector<uint8_t> pixels = Picture();
  static const std::vector<uint8_t> png = PngOf(pixels);
  QcgFixture qcg;
  qcg.mWidth = kWidth;
  qcg.mHeight = kHeight;
  qcg.mMethod = method;
  qcg.mWebpQuality = webpQuality;
  qcg.mPixels = pixels;
  TempFolder folder;
  std::vector<uint8_t> file = WriteQcg(qcg);
  folder.WriteFile("pic.qcg", std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
  std::vector<uint8_t> webp = EncodeWebpFixture(pixels.data(), kWidth, kHeight,
                                                method == kQcgWebp ? webpQuality : -1);
  LayerRecord record;
  auto load = [&record] {
    ResourceLocation location;
    location.mSource = SOURCE_DISK;
    location.mType = FILE_TYPE_QCG;
    if (DecodeLocatedImage(&record, &location, "pic.qcg") != 0) std::abort();
  };
  std::vector<uint8_t> out(pixels.size());
  double one = 0, two = 0, pngSeconds = 0, webpSeconds = 0;
  for (auto _ : state) {
    for (int workers : {1, 2}) {
      StopPixelWorkers();
      g_WorkerCount = static_cast<uint8_t>(workers);
      StartPixelWorkers();
      (workers == 1 ? one : two) = Seconds(load, 3);
    }
    pngSeconds = Seconds([&] { DecodePngAlone(png, &out); }, 3);
    webpSeconds = Seconds([&] { WebPDecodeBGRAInto(webp.data(), webp.size(), out.data(), out.size(), kWidth * 4); }, 3);
    state.SetIterationTime(two);
  }
  StopPixelWorkers();
  ReleaseLayerImage(&record);
  state.counters["ms_1w"] = one * 1000;
  state.counters["ms_2w"] = two * 1000;
  state.counters["speedup_2w"] = one / two;
  state.counters["png_ms"] = pngSeconds * 1000;
  state.counters["webp_ms"] = webpSeconds * 1000;
  state.counters["vs_png"] = two / pngSeconds;
  ResetEngineState();
}

BENCHMARK_CAPTURE(BM_QcgDecode, raw, kQcgRaw, 0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_QcgDecode, zlib, kQcgZlib, 0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_QcgDecode, block_codec, kQcgBlockCodec, 0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(BM_QcgDecode, webp_lossy, kQcgWebp, 85)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_QcgDecode, webp_lossless, kQcgWebp, -1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace
