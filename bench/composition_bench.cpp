// Speed of the compositor on a typical scene at 1920x1080: an opaque
// background, three characters with alpha, a half-transparent message window
// and a small text layer. Each figure is printed beside yardsticks timed in
// the same run:
//   vs_memcpy  the frame's time against a memcpy of one frame;
//   vs_pixman  against pixman compositing the same six layers with OVER (below
//              1: the compositor is faster).
// Arguments: workers (0: the calling thread alone), and whether the whole
// window is redrawn (1) or only the text layer's place (0).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "image/blend_kernels.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"
#include "layer/composition.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"
#include "support/layer_tree_env.h"

#if defined(ORVANE_HAVE_PIXMAN)
#include <pixman.h>
#endif

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr size_t kFrameBytes = static_cast<size_t>(kWidth) * kHeight * 4;

struct SceneLayer {
  const char* mName;
  int mX, mY, mWidth, mHeight;
  bool mAlpha;
};
constexpr SceneLayer kScene[] = {
    {"bg", 0, 0, kWidth, kHeight, false},      {"chara1", 100, 180, 560, 900, true},
    {"chara2", 680, 150, 560, 930, true},      {"chara3", 1260, 200, 560, 880, true},
    {"window", 110, 760, 1700, 300, true},     {"text", 160, 800, 900, 120, true},
};

// Pixels of a scene layer: the background a gradient; characters an opaque
// ellipse with a soft edge and clear corners; the message window half
// transparent; the text sparse strokes on a clear ground.
void Paint(uint8_t* pixels, const SceneLayer& layer, int index) {
  for (int y = 0; y < layer.mHeight; ++y) {
    for (int x = 0; x < layer.mWidth; ++x) {
      uint8_t* p = pixels + (static_cast<size_t>(y) * layer.mWidth + x) * 4;
      int alpha = 255;
      if (index >= 1 && index <= 3) {
        double dx = (x - layer.mWidth / 2.0) / (layer.mWidth / 2.0);
        double dy = (y - layer.mHeight / 2.0) / (layer.mHeight / 2.0);
        double d = dx * dx + dy * dy;
        alpha = d < 0.9 ? 255 : d < 1.0 ? static_cast<int>((1.0 - d) * 2550) : 0;
      } else if (index == 4) {
        alpha = 128;
      } else if (index == 5) {
        alpha = (x / 3 + y / 5) % 7 == 0 ? 255 : 0;
      }
      // Premultiplied for pixman; the engine sees the same bytes.
      p[0] = static_cast<uint8_t>((x * 7 + index * 40) % 256 * alpha / 255);
      p[1] = static_cast<uint8_t>((y * 5 + index * 30) % 256 * alpha / 255);
      p[2] = static_cast<uint8_t>((x + y + index * 20) % 256 * alpha / 255);
      p[3] = static_cast<uint8_t>(alpha);
    }
  }
}

class Scene {
 public:
  Scene() : mEnv(kWidth, kHeight) {
    ResetEngineSettings();
    InitPixelPrimitives();
    InitProductTables();
    InitBlendKernels();
    mEnv.mWindow.mCanvas = &mCanvas;
    mEnv.mWindow.mDisplayState = 1;
    g_FrameCounter = 1;
    int index = 0;
    for (const SceneLayer& layer : kScene) {
      ObjectTreeNode* node = mEnv.Add(mEnv.mW0, layer.mName, layer.mX, layer.mY, layer.mWidth, layer.mHeight);
      LayerRecord* record = RecordOf(node);
      uint8_t* block = AllocPixelBuffer(nullptr, layer.mWidth, layer.mHeight, nullptr);
      SetPixelBuffer(record, block, layer.mWidth, layer.mHeight);
      Paint(record->mPixels, layer, index);
      record->mHasAlpha = layer.mAlpha ? 1 : 0;
      mNodes.push_back(node);
      ++index;
    }
  }
  void Frame(bool whole) {
    if (whole) {
      FlagWindowLayerFullyDirty(0);
    } else {
      InvalidateLayerToRoot(mNodes.back());
    }
    CommitLayerState(GetFirstLayerChild());
    RenderWindowLayers(0);
    ResetDirtyRects(GetFirstLayerChild());
    ++g_FrameCounter;
  }
  const uint8_t* WindowPixels() const { return RecordOf(mEnv.mW0)->mPixels; }

  LayerTreeEnvironment mEnv;
  LayerRecord mCanvas;
  std::vector<ObjectTreeNode*> mNodes;
};


void BM_SceneComposition(benchmark::State& state) {
  int workers = static_cast<int>(state.range(0));
  bool whole = state.range(1) != 0;
  StopPixelWorkers();
  auto scene = std::make_unique<Scene>();
  if (workers > 0) {
    g_WorkerCount = static_cast<uint8_t>(workers);
    StartPixelWorkers();
  }
  std::vector<uint8_t> copy(kFrameBytes);
  // The figure means something only when the scene is drawn: the middle of
  // the second character is its own opaque pixel.
  scene->Frame(true);
  const LayerRecord* middle = RecordOf(scene->mNodes[2]);
  size_t inLayer = (static_cast<size_t>(middle->mHeight / 2) * middle->mWidth + middle->mWidth / 2) * 4;
  size_t inWindow = (static_cast<size_t>(kScene[2].mY + middle->mHeight / 2) * kWidth + kScene[2].mX + middle->mWidth / 2) * 4;
  if (std::memcmp(middle->mPixels + inLayer, scene->WindowPixels() + inWindow, 4) != 0) {
    state.SkipWithError("the scene was not drawn");
    return;
  }
#if defined(ORVANE_HAVE_PIXMAN)
  std::vector<uint32_t> target(static_cast<size_t>(kWidth) * kHeight);
  pixman_image_t* dest = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, target.data(), kWidth * 4);
  std::vector<pixman_image_t*> sources;
  for (size_t i = 0; i < scene->mNodes.size(); ++i) {
    LayerRecord* record = RecordOf(scene->mNodes[i]);
    sources.push_back(pixman_image_create_bits(PIXMAN_a8r8g8b8, record->mWidth, record->mHeight,
                                               reinterpret_cast<uint32_t*>(record->mPixels), record->mWidth * 4));
  }
  double pixmanSeconds = 0;
#endif
  double engineSeconds = 0;
  double memcpySeconds = 0;
  for (auto _ : state) {
    double seconds = Seconds([&] { scene->Frame(whole); });
    engineSeconds += seconds;
    state.SetIterationTime(seconds);
    memcpySeconds += Seconds([&] { std::memcpy(copy.data(), scene->WindowPixels(), kFrameBytes); });
#if defined(ORVANE_HAVE_PIXMAN)
    pixmanSeconds += Seconds([&] {
      for (size_t i = 0; i < sources.size(); ++i) {
        const SceneLayer& layer = kScene[i];
        int x = layer.mX, y = layer.mY, w = layer.mWidth, h = layer.mHeight;
        if (!whole) {
          // The same small area the compositor redraws.
          const SceneLayer& text = kScene[sources.size() - 1];
          int left = std::max(x, text.mX), top = std::max(y, text.mY);
          int right = std::min(x + w, text.mX + text.mWidth), bottom = std::min(y + h, text.mY + text.mHeight);
          if (right <= left || bottom <= top) continue;
          pixman_image_composite32(i == 0 ? PIXMAN_OP_SRC : PIXMAN_OP_OVER, sources[i], nullptr, dest, left - x,
                                   top - y, 0, 0, left, top, right - left, bottom - top);
          continue;
        }
        pixman_image_composite32(i == 0 ? PIXMAN_OP_SRC : PIXMAN_OP_OVER, sources[i], nullptr, dest, 0, 0, 0, 0, x, y,
                                 w, h);
      }
    });
#endif
  }
  state.counters["vs_memcpy"] = engineSeconds / memcpySeconds;
#if defined(ORVANE_HAVE_PIXMAN)
  state.counters["vs_pixman"] = engineSeconds / pixmanSeconds;
  for (pixman_image_t* source : sources) pixman_image_unref(source);
  pixman_image_unref(dest);
#endif
  state.SetLabel("level " + std::to_string(g_PixelLevel));
  StopPixelWorkers();
  scene.reset();
}
BENCHMARK(BM_SceneComposition)
    ->Args({0, 1})
    ->Args({4, 1})
    ->Args({0, 0})
    ->Args({4, 0})
    ->ArgNames({"workers", "whole"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
