// Speed of text drawing: a 40-character Japanese line drawn anti-aliased into
// a layer at 24 and 48 pixels with IPA Gothic, its glyphs cached (the style's
// face and glyph bitmaps kept between lines) and uncached (the glyph objects
// deleted before every line). Printed per character in microseconds
// (us_per_char) and as a ratio to a yardstick timed in the same iterations:
// a memcpy of the line's pixel strip (vs_memcpy).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "core/object_tree.h"
#include "image/pixel_buffers.h"
#include "layer/glyph_raster.h"
#include "layer/layer_record.h"
#include "layer/text_draw.h"
#include "layer/text_setup.h"
#include "layer/text_styles.h"
#include "support/layer_tree_env.h"
#include "support/text_fonts.h"

namespace {

// Forty double-byte characters (CP932 literals).
const std::string kLine = "吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめ";

void DrawLine(int size, bool cached, benchmark::State& state) {
  LayerTreeEnvironment env(2048, 64);
  ProjectFonts fonts;
  InitFontList();
  ObjectTreeNode* node = env.Add(nullptr, "line", 0, 0, 2048, 64);
  LayerRecord* record = RecordOf(node);
  SetPixelBuffer(record, AllocPixelBuffer(nullptr, 2048, 64, nullptr), 2048, 64);
  std::vector<uint8_t> strip(static_cast<size_t>(2048) * 64 * 4);
  SelectTextStyle(0);
  int characters = 0;
  for (size_t i = 0; i < kLine.size(); i += 2) ++characters;
  double drawSeconds = 0;
  double copySeconds = 0;
  auto line = [&] {
    int64_t x = 0;
    for (size_t i = 0; i + 1 < kLine.size(); i += 2) {
      x += DrawTextIntoLayer(kLine.substr(i, 2).c_str(), 0xFFFFFF, -1, 0, 0, size, size, 0, 1, 0, x, 4, 0, node);
    }
  };
  line();  // warms the cache for the cached case
  for (auto _ : state) {
    if (!cached) DeleteGlyphObjects();
    auto start = std::chrono::steady_clock::now();
    line();
    auto middle = std::chrono::steady_clock::now();
    std::memcpy(strip.data(), record->mPixels, strip.size());
    benchmark::DoNotOptimize(strip.data());
    auto end = std::chrono::steady_clock::now();
    drawSeconds += std::chrono::duration<double>(middle - start).count();
    copySeconds += std::chrono::duration<double>(end - middle).count();
  }
  double lines = static_cast<double>(state.iterations());
  state.counters["us_per_char"] = drawSeconds * 1e6 / (lines * characters);
  state.counters["us_per_line"] = drawSeconds * 1e6 / lines;
  state.counters["vs_memcpy"] = copySeconds > 0 ? drawSeconds / copySeconds : 0;
}

void BM_TextLineCached(benchmark::State& state) { DrawLine(static_cast<int>(state.range(0)), true, state); }
void BM_TextLineUncached(benchmark::State& state) { DrawLine(static_cast<int>(state.range(0)), false, state); }

BENCHMARK(BM_TextLineCached)->Arg(24)->Arg(48)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TextLineUncached)->Arg(24)->Arg(48)->Unit(benchmark::kMicrosecond);

}  // namespace
