#pragma once
// One full-HD frame of random pixels for the pixel benchmarks, an output
// block of the same size, and the memcpy of the frame they are measured
// against.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "core/settings.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"

constexpr int32_t kFrameWidth = 1920;
constexpr int32_t kFrameHeight = 1080;
constexpr size_t kFrameBytes = static_cast<size_t>(kFrameWidth) * kFrameHeight * 4;

struct BenchFrames {
  std::vector<uint8_t> mSource;
  std::vector<uint8_t> mOutput;
  std::vector<uint8_t> mCopy;
  BenchFrames()
      : mSource(PixelBlockBytes(kFrameWidth, kFrameHeight)),
        mOutput(PixelBlockBytes(kFrameWidth, kFrameHeight)),
        mCopy(kFrameBytes) {
    std::mt19937 random(7);
    for (size_t i = 0; i < kFrameBytes; ++i) mSource[i] = static_cast<uint8_t>(random());
  }
};

inline BenchFrames& TheBenchFrames() {
  static BenchFrames frames;
  return frames;
}

// The engine's settings and pixel primitives, once.
inline void SetUpPixelBench() {
  static bool ready = false;
  if (ready) return;
  ResetEngineSettings();
  InitPixelPrimitives();
  ready = true;
}

inline void MemcpyBenchFrame() {
  BenchFrames& f = TheBenchFrames();
  std::memcpy(f.mCopy.data(), f.mSource.data(), kFrameBytes);
}
