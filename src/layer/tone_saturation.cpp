#include <algorithm>
#include <cstdint>

#include "layer/composition.h"

namespace {

// Clipped to the block; false when nothing is left.
bool ClipToBlock(const int64_t rect[4], int32_t width, int32_t height, int64_t out[4]) {
  out[0] = std::max<int64_t>(rect[0], 0);
  out[1] = std::max<int64_t>(rect[1], 0);
  out[2] = std::min<int64_t>(rect[2], static_cast<int64_t>(width) - 1);
  out[3] = std::min<int64_t>(rect[3], static_cast<int64_t>(height) - 1);
  return out[0] <= out[2] && out[1] <= out[3];
}

}  // namespace

void ApplyToneRect(uint8_t* destination, const uint8_t* source, const int64_t rect[4], int32_t width,
                   int32_t height, int32_t tone) {
  int64_t area[4];
  if (destination == nullptr || source == nullptr || !ClipToBlock(rect, width, height, area)) return;
  // Per byte B, G, R: the tone byte of that channel.
  uint8_t tables[3][256];
  for (int channel = 0; channel < 3; ++channel) {
    int t = (tone >> (channel * 8)) & 0xFF;
    int lift = t >= 128 ? t - 128 : 0;
    int lower = t <= 128 ? 128 - t : 0;
    for (int v = 0; v < 256; ++v) {
      int delta = (((255 - v) * lift) >> 7) - ((v * lower) >> 7);
      tables[channel][v] = static_cast<uint8_t>((v + delta) & 0xFF);
    }
  }
  for (int64_t y = area[1]; y <= area[3]; ++y) {
    size_t offset = (static_cast<size_t>(y) * width + static_cast<size_t>(area[0])) * 4;
    const uint8_t* s = source + offset;
    uint8_t* d = destination + offset;
    for (int64_t x = area[0]; x <= area[2]; ++x, s += 4, d += 4) {
      d[0] = tables[0][s[0]];
      d[1] = tables[1][s[1]];
      d[2] = tables[2][s[2]];
      d[3] = s[3];
    }
  }
}

void ApplySaturationRect(uint8_t* destination, const uint8_t* source, const int64_t rect[4], int32_t width,
                         int32_t height, int32_t saturation) {
  int64_t area[4];
  if (destination == nullptr || source == nullptr || !ClipToBlock(rect, width, height, area)) return;
  int f = std::clamp(saturation, 0, 256);
  // grey = (B + G + R) / 3 for every sum 0..765.
  uint8_t greyOf[766];
  for (int sum = 0; sum < 766; ++sum) greyOf[sum] = static_cast<uint8_t>(sum / 3);
  for (int64_t y = area[1]; y <= area[3]; ++y) {
    size_t offset = (static_cast<size_t>(y) * width + static_cast<size_t>(area[0])) * 4;
    const uint8_t* s = source + offset;
    uint8_t* d = destination + offset;
    for (int64_t x = area[0]; x <= area[2]; ++x, s += 4, d += 4) {
      int c[3] = {s[0], s[1], s[2]};
      int grey = greyOf[c[0] + c[1] + c[2]];
      int out[3];
      if (f < 128) {
        int k = 128 - f;
        for (int i = 0; i < 3; ++i) out[i] = c[i] + (((grey - c[i]) * k) >> 7);
      } else {
        int k = f - 128;
        for (int i = 0; i < 3; ++i) {
          if (c[i] + ((k * (c[i] - grey)) >> 7) > 255) k = std::min(k, ((255 - c[i]) << 7) / (c[i] - grey));
        }
        for (int i = 0; i < 3; ++i) {
          if (c[i] + ((k * (c[i] - grey)) >> 7) < 0) k = std::min(k, (c[i] * -128) / (c[i] - grey));
        }
        for (int i = 0; i < 3; ++i) out[i] = c[i] + ((k * (c[i] - grey)) >> 7);
      }
      for (int i = 0; i < 3; ++i) d[i] = static_cast<uint8_t>(std::clamp(out[i], 0, 255));
      d[3] = s[3];
    }
  }
}
