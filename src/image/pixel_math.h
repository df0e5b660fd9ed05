#pragma once
// Per-byte and per-pixel formulas shared by the plain and the vectorised row
// primitives. Shifts of negative values are arithmetic (the floor).
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "image/pixel_primitives.h"

namespace pixel_math {

inline uint8_t ClampByte(int64_t value) { return static_cast<uint8_t>(std::clamp<int64_t>(value, 0, 255)); }

// d + floor((s - d) * o / 256): the single-byte form of the opacity blend.
inline uint8_t LerpSingle(int d, int s, int o) { return static_cast<uint8_t>(d + (((s - d) * o) >> 8)); }

// The 8-byte block form: the split at 128 keeps the multiplier in a signed
// 16-bit word; at exactly 128 level 1 halves each byte, levels 2 and 3 take
// the rounded-up average.
inline uint8_t LerpBlock(int level, int d, int s, int o) {
  if (o < 128) return static_cast<uint8_t>(d + (((s - d) * o) >> 8));
  if (o > 128) return static_cast<uint8_t>(s + (((d - s) * (256 - o)) >> 8));
  return level == 1 ? static_cast<uint8_t>((d >> 1) + (s >> 1)) : static_cast<uint8_t>((d + s + 1) >> 1);
}

// Blue, green and red move towards the source by w/256; alpha stays.
inline void LerpPixelColour(uint8_t* d, const uint8_t* s, int w) {
  for (int c = 0; c < 3; ++c) d[c] = LerpSingle(d[c], s[c], w);
}

// The single-pixel form of slot 6 at level 1.
inline void AlphaOpacityPixelLevel1(uint8_t* d, const uint8_t* s, int a) {
  for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>(((d[c] * (256 - a)) >> 8) + ((s[c] * (a + 1)) >> 8));
}

// One byte of an alpha block: every byte of the pixel, alpha included.
inline uint8_t AlphaBlockByte(int level, int d, int s, int a) {
  if (level == 1) return static_cast<uint8_t>((s * (a + 1) + d * (256 - a)) >> 8);
  return static_cast<uint8_t>(std::min(255, ((s * (a + 1)) >> 8) + ((d * (256 - a)) >> 8)));
}

inline uint8_t AddSaturate(int d, int s) { return static_cast<uint8_t>(std::min(255, d + s)); }

// d + floor((min(255, d + s) - d) * w / 256).
inline uint8_t AddWeighted(int d, int s, int w) { return static_cast<uint8_t>(d + (((AddSaturate(d, s) - d) * w) >> 8)); }

// s + d - trunc(s * d / 255).
inline uint8_t ScreenExact(int d, int s) { return static_cast<uint8_t>(s + d - (s * d) / 255); }

// The add weight of one pixel for slots 11 and 12.
inline int AddAlphaWeight(int level, int sourceAlpha) { return level == 1 ? sourceAlpha + 1 : std::min(sourceAlpha + 1, 255); }

// The rule weight of a mask byte for slot 7's level 2/3 blocks: the sum is
// formed in signed 16-bit words and wraps before the clamp.
inline int16_t RuleBlockBase(int threshold, int softness) {
  int thr = static_cast<int16_t>(threshold);
  int soft = static_cast<int16_t>(softness);
  int half = soft >> 1;
  return static_cast<int16_t>(static_cast<uint16_t>(thr + thr * half - 128 * soft));
}
inline int RuleBlockWeight(int16_t base, int softness, int mask) {
  int half = static_cast<int16_t>(softness) >> 1;
  auto sum = static_cast<int16_t>(static_cast<uint16_t>(base + half * mask));
  return std::clamp<int>(sum, 0, 255) + 1;
}
inline uint8_t RuleBlockByte(int d, int s, int w) { return ClampByte(d + ((s * w) >> 8) - ((d * w) >> 8)); }

// The table form of the rule weight: w <= 1 leaves the byte.
inline void RuleTableByte(uint8_t* d, int s, int w) {
  if (w > 1) *d = static_cast<uint8_t>(*d - (((*d - s) * w) >> 8));
}

// The 256-based reciprocal: floor(256 * b / a), 0 for a = 0.
inline int Reciprocal(int a, int b) { return a == 0 ? 0 : (256 * b) / a; }

// Slots 22 to 25, one pixel each. Colours saturate: a source scaled by an
// opacity can overshoot the byte range.
inline void AlphaOverPixel(uint8_t* d, const uint8_t* s) {
  int sa = s[3];
  int da = d[3];
  int a = da + sa - (da * sa) / 255;
  int w = Reciprocal(a, sa);
  for (int c = 0; c < 3; ++c) d[c] = ClampByte(d[c] + (((s[c] - d[c]) * w) >> 8));
  d[3] = static_cast<uint8_t>(a);
}
inline void AlphaOverPixelSourceOpacity(uint8_t* d, const uint8_t* s, int o) {
  int sa = s[3];
  int da = d[3];
  int a = (da + (((sa - (da * sa) / 255) * o) >> 8)) & 255;
  int64_t w = static_cast<int64_t>(Reciprocal(a, sa)) * o;
  for (int c = 0; c < 3; ++c) d[c] = ClampByte(d[c] + (((s[c] - d[c]) * w) >> 16));
  d[3] = static_cast<uint8_t>(a);
}
inline void AlphaOverPixelDestOpacity(uint8_t* d, const uint8_t* s, int o) {
  int sa = s[3];
  int scaled = ((d[3] * o) >> 8) & 255;
  int a = (scaled + sa - (scaled * sa) / 255) & 255;
  int w = Reciprocal(a, sa);
  for (int c = 0; c < 3; ++c) d[c] = ClampByte(d[c] + (((s[c] - d[c]) * w) >> 8));
  d[3] = static_cast<uint8_t>(a);
}
inline void AlphaOverPixelBothOpacities(uint8_t* d, const uint8_t* s, int dstOpacity, int srcOpacity) {
  int sa = s[3];
  int scaled = ((d[3] * dstOpacity) >> 8) & 255;
  int a = (scaled + (((sa - (((sa + 1) * scaled) >> 8)) * srcOpacity) >> 8)) & 255;
  for (int c = 0; c < 3; ++c) {
    int64_t part = ((s[c] - d[c]) * srcOpacity) >> 8;
    d[c] = ClampByte(d[c] + part * sa / (a + 1));
  }
  d[3] = static_cast<uint8_t>(a);
}

}  // namespace pixel_math
