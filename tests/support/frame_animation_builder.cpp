#include "support/frame_animation_builder.h"

#include "core/byte_order.h"
#include "layer/frame_animation.h"

namespace {

int32_t Override(const std::map<int, int32_t>& table, int frame, size_t value) {
  auto it = table.find(frame);
  return it != table.end() ? it->second : static_cast<int32_t>(value);
}

void Scramble(std::vector<uint8_t>* file, size_t start, size_t length) {
  // Written here from the layout, not through the engine's routine, so a
  // fault in one shows against the other.
  for (size_t i = 0; i < length; ++i) (*file)[start + i] ^= kFrameAnimationScramble[i % 16];
}

}  // namespace

int32_t FrameAnimationFrameOffset(const FrameAnimationFixture& fixture, int frame) {
  size_t offset = kFrameAnimationTableOffset + fixture.mFrames.size() * 12;
  for (int i = 0; i < frame; ++i) offset += fixture.mFrames[i].mColour.size() + fixture.mFrames[i].mAlpha.size();
  return static_cast<int32_t>(offset);
}

std::vector<uint8_t> WriteFrameAnimation(const FrameAnimationFixture& fixture) {
  size_t n = fixture.mFrames.size();
  std::vector<uint8_t> file(kFrameAnimationTableOffset + n * 12, 0);
  StoreLe32(&file[kFrameAnimationCountOffset], static_cast<uint32_t>(fixture.mCount.value_or(static_cast<int32_t>(n))));
  StoreLe32(&file[kFrameAnimationAlphaFlagOffset], static_cast<uint32_t>(fixture.mAlphaFlag));
  for (int i = 0; i < 3; ++i) StoreLe32(&file[kFrameAnimationValuesOffset + i * 4], static_cast<uint32_t>(fixture.mValues[i]));
  for (size_t i = 0; i < n; ++i) {
    const FrameAnimationFrame& frame = fixture.mFrames[i];
    int index = static_cast<int>(i);
    size_t offset = static_cast<size_t>(FrameAnimationFrameOffset(fixture, index));
    uint8_t* table = &file[kFrameAnimationTableOffset];
    StoreLe32(table + i * 4, static_cast<uint32_t>(Override(fixture.mOffsets, index, offset)));
    StoreLe32(table + (n + i) * 4, static_cast<uint32_t>(Override(fixture.mColourSizes, index, frame.mColour.size())));
    StoreLe32(table + (2 * n + i) * 4, static_cast<uint32_t>(Override(fixture.mAlphaSizes, index, frame.mAlpha.size())));
    size_t colourStart = file.size();
    file.insert(file.end(), frame.mColour.begin(), frame.mColour.end());
    size_t alphaStart = file.size();
    file.insert(file.end(), frame.mAlpha.begin(), frame.mAlpha.end());
    if (fixture.mScramble) {
      Scramble(&file, colourStart, frame.mColour.size());
      Scramble(&file, alphaStart, frame.mAlpha.size());
    }
  }
  return file;
}
