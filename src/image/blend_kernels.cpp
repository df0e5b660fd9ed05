#include "image/blend_kernels.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "image/blend_kernels_internal.h"
#include "image/pixel_primitives.h"

BlendKernelTable g_BlendKernels;
BlendKernelTable g_PlainBlendKernels;
ProductTables g_ProductTables;
BlendLookupTables g_BlendLookupTables;

namespace {

int FloorDiv(int numerator, int denominator) {
  int quotient = numerator / denominator;
  if ((numerator % denominator != 0) && ((numerator < 0) != (denominator < 0))) --quotient;
  return quotient;
}

int Div255(int c, int x) { return g_ProductTables.mDiv255[c][x + 255]; }

int SoftLight(int s, int d) {
  double root = std::sqrt(static_cast<double>(256 - d));
  int k = static_cast<int>(std::trunc(16384.0 - root));
  int delta;
  if (s < 128) {
    delta = ((s - 128) * k) >> 15;
  } else if (d <= 32) {
    int k2 = static_cast<int>(std::trunc(16384.0 - (768.0 - 8.0 * d) * root));
    delta = ((s - 128) * k2) >> 15;
  } else {
    delta = ((s - 128) * k) >> 16;
  }
  return std::clamp(d + delta, 0, 255);
}

int ModeValue(int mode, int s, int d) {
  switch (mode) {
    case BLEND_NORMAL: return s;
    case BLEND_ADD: return std::min(255, d + s);
    case BLEND_SUBTRACT: return std::max(0, s - d);
    case BLEND_MULTIPLY: return (s * d) / 255;
    case BLEND_DIVIDE:
      if (d == 0) return s > 0 ? 255 : 0;
      return std::min(255, (255 * s) / d);
    case BLEND_SCREEN: return s + d - Div255(s, d);
    case BLEND_LIGHTEN: return std::max(s, d);
    case BLEND_DARKEN: return std::min(s, d);
    case BLEND_DIFFERENCE: return std::abs(s - d);
    case BLEND_EXCLUSION: return s + d - 2 * ((s * d) / 255);
    case BLEND_OVERLAY:
      if (d < 128) return Div255(s, 2 * d);
      if (d == 128) return s;
      return 2 * d - 257 + Div255(s, 512 - 2 * d);
    case BLEND_COLOR_DODGE: return std::min(255, (256 * d) / (256 - s));
    case BLEND_COLOR_BURN: return std::max(0, 255 - (256 * (255 - d)) / (s + 1));
    case BLEND_LINEAR_BURN: return std::max(0, s + d - 255);
    case BLEND_HARD_LIGHT:
      if (s < 128) return Div255(d, 2 * s);
      if (s == 128) return d;
      return 2 * s - 257 + Div255(d, 512 - 2 * s);
    case BLEND_SOFT_LIGHT: return SoftLight(s, d);
    case BLEND_VIVID_LIGHT:
      if (s == 0) return 0;
      if (s <= 127) return std::max(0, FloorDiv(255 * d + 510 * s - 65025, 2 * s));
      if (s <= 254) return std::min(255, (255 * d) / (510 - 2 * s));
      return 255;
    case BLEND_LINEAR_LIGHT: return std::min(255, std::max(0, 2 * s + d - 256));
    case BLEND_PIN_LIGHT:
      if (s < 128) return std::min(d, 2 * s);
      return std::max(d, 2 * s - 255);
    default: return d;
  }
}

const uint8_t* ModeTable(int mode) { return &g_BlendLookupTables.mMode[mode][0][0]; }

// The six kernel forms of a table mode. T is read as table[s * 256 + d].

// 1: every byte, alpha included, becomes T.
template <int M>
void KernelOpaque(uint8_t* dst, const uint8_t* src, int, size_t n) {
  const uint8_t* table = ModeTable(M);
  for (size_t i = 0; i < n; ++i) dst[i] = table[src[i] * 256 + dst[i]];
}

// 2: every byte moves towards T by o/256 (difference truncates toward zero).
template <int M>
void KernelOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  const uint8_t* table = ModeTable(M);
  for (size_t i = 0; i < n; ++i) {
    int d = dst[i];
    int t = table[src[i] * 256 + d];
    if (M == BLEND_DIFFERENCE) {
      dst[i] = static_cast<uint8_t>(d + g_ProductTables.mDiv256[o][t - d + 255]);
    } else {
      dst[i] = static_cast<uint8_t>(d + (((t - d) * o) >> 8));
    }
  }
}

template <int M>
inline void BlendPixelColour(uint8_t* d, const uint8_t* s, int w, int shift) {
  const uint8_t* table = ModeTable(M);
  for (int c = 0; c < 3; ++c) {
    int t = table[s[c] * 256 + d[c]];
    d[c] = static_cast<uint8_t>(d[c] + (((t - d[c]) * w) >> shift));
  }
}

// 3 and 4: colour bytes move by the source alpha (times o); alpha stays.
template <int M>
void KernelAlpha(uint8_t* dst, const uint8_t* src, int, size_t n) {
  for (size_t i = 0; n - i >= 4; i += 4) BlendPixelColour<M>(dst + i, src + i, src[i + 3] + 1, 8);
}

template <int M>
void KernelAlphaOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  for (size_t i = 0; n - i >= 4; i += 4) BlendPixelColour<M>(dst + i, src + i, (o * (src[i + 3] + 1)) >> 8, 8);
}

// 5: the rule weight of the mask pixel's blue byte; weights 0 and 1 skip.
template <int M>
void KernelMasked(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int, int, size_t n) {
  for (size_t i = 0; n - i >= 4; i += 4) {
    int w = g_RuleWeightTable[mask[i]];
    if (w > 1) BlendPixelColour<M>(dst + i, src + i, w, 8);
  }
}

// 6: the rule weight times the source alpha (normal mode: times sA, not sA + 1).
template <int M>
void KernelMaskedAlpha(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int, int, size_t n) {
  for (size_t i = 0; n - i >= 4; i += 4) {
    int w = g_RuleWeightTable[mask[i]];
    if (w <= 1) continue;
    int alpha = src[i + 3] + (M == BLEND_NORMAL ? 0 : 1);
    BlendPixelColour<M>(dst + i, src + i, w * alpha, 16);
  }
}

// Kernels that forward to the row primitives.
void NormalCopy(uint8_t* dst, const uint8_t* src, int, size_t n) { g_PixelPrimitives.mCopyBytes(dst, src, n); }
void NormalOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) { g_PixelPrimitives.mBlendRowOpacity(dst, src, o, n); }
void NormalAlpha(uint8_t* dst, const uint8_t* src, int, size_t n) { g_PixelPrimitives.mBlendRowAlpha(dst, src, n); }
void NormalAlphaOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  g_PixelPrimitives.mBlendRowAlphaOpacity(dst, src, o, n);
}
void NormalRuleWeighted(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int threshold, int softness, size_t n) {
  g_PixelPrimitives.mBlendRowRuleWeighted(dst, src, mask, threshold, softness, n);
}
void AddOpaque(uint8_t* dst, const uint8_t* src, int, size_t n) { g_PixelPrimitives.mAddRowSaturate(dst, src, n); }
void AddOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) { g_PixelPrimitives.mAddRowOpacity(dst, src, o, n); }
void AddAlpha(uint8_t* dst, const uint8_t* src, int, size_t n) { g_PixelPrimitives.mAddRowAlpha(dst, src, n); }
void AddAlphaOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  g_PixelPrimitives.mAddRowAlphaOpacity(dst, src, o, n);
}
void SubtractOpaque(uint8_t* dst, const uint8_t* src, int, size_t n) {
  g_PixelPrimitives.mSubtractRowSaturate(dst, src, n);
}
void MultiplyOpaque(uint8_t* dst, const uint8_t* src, int, size_t n) { g_PixelPrimitives.mMultiplyRow(dst, src, n); }
void ScreenOpaque(uint8_t* dst, const uint8_t* src, int, size_t n) { g_PixelPrimitives.mScreenRow(dst, src, n); }
void ScreenOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  g_PixelPrimitives.mScreenRowOpacity(dst, src, o, n);
}
void LightenOpaque(uint8_t* dst, const uint8_t* src, int, size_t n) { g_PixelPrimitives.mLightenRow(dst, src, n); }
void DarkenOpaque(uint8_t* dst, const uint8_t* src, int, size_t n) { g_PixelPrimitives.mDarkenRow(dst, src, n); }
void LinearBurnOpaque(uint8_t* dst, const uint8_t* src, int, size_t n) {
  g_PixelPrimitives.mLinearBurnRow(dst, src, n);
}
void LinearLightOpaque(uint8_t* dst, const uint8_t* src, int, size_t n) {
  g_PixelPrimitives.mLinearLightRow(dst, src, n);
}

template <int M>
void FillModeKernels(BlendKernelTable* table) {
  table->mPlain[M * 2] = KernelOpacity<M>;
  table->mPlain[M * 2 + 1] = KernelOpaque<M>;
  table->mAlpha[M * 2] = KernelAlphaOpacity<M>;
  table->mAlpha[M * 2 + 1] = KernelAlpha<M>;
  table->mMasked[M * 2] = KernelMasked<M>;
  table->mMasked[M * 2 + 1] = KernelMasked<M>;
  table->mMaskedAlpha[M * 2] = KernelMaskedAlpha<M>;
  table->mMaskedAlpha[M * 2 + 1] = nullptr;
}

template <int... M>
void FillAllModeKernels(BlendKernelTable* table, std::integer_sequence<int, M...>) {
  (FillModeKernels<M>(table), ...);
}

// The members of the pattern that forward to the row primitives.
void InstallForwardedKernels(BlendKernelTable* table) {
  table->mPlain[BLEND_NORMAL * 2 + 1] = NormalCopy;
  table->mPlain[BLEND_NORMAL * 2] = NormalOpacity;
  table->mAlpha[BLEND_NORMAL * 2 + 1] = NormalAlpha;
  table->mAlpha[BLEND_NORMAL * 2] = NormalAlphaOpacity;
  table->mMasked[BLEND_NORMAL * 2 + 1] = NormalRuleWeighted;
  table->mPlain[BLEND_ADD * 2 + 1] = AddOpaque;
  table->mPlain[BLEND_ADD * 2] = AddOpacity;
  table->mAlpha[BLEND_ADD * 2 + 1] = AddAlpha;
  table->mAlpha[BLEND_ADD * 2] = AddAlphaOpacity;
  table->mPlain[BLEND_SUBTRACT * 2 + 1] = SubtractOpaque;
  table->mPlain[BLEND_MULTIPLY * 2 + 1] = MultiplyOpaque;
  table->mPlain[BLEND_SCREEN * 2 + 1] = ScreenOpaque;
  table->mPlain[BLEND_SCREEN * 2] = ScreenOpacity;
  table->mPlain[BLEND_LIGHTEN * 2 + 1] = LightenOpaque;
  table->mPlain[BLEND_DARKEN * 2 + 1] = DarkenOpaque;
  table->mPlain[BLEND_LINEAR_BURN * 2 + 1] = LinearBurnOpaque;
  table->mPlain[BLEND_LINEAR_LIGHT * 2 + 1] = LinearLightOpaque;
}

}  // namespace

void InitProductTables() {
  for (int c = 0; c <= 256; ++c) {
    for (int x = -255; x <= 256; ++x) {
      // C++ division truncates toward zero.
      g_ProductTables.mDiv255[c][x + 255] = static_cast<int16_t>((c * x) / 255);
      g_ProductTables.mDiv256[c][x + 255] = static_cast<int16_t>((c * x) / 256);
    }
  }
  for (int c = 0; c < 256; ++c) {
    for (int s = 0; s < 256; ++s) g_ProductTables.mByteDiv255[c][s] = static_cast<uint8_t>((c * s) / 255);
  }
}

void BuildBlendKernelTable(BlendKernelTable* table, int width) {
  *table = BlendKernelTable();
  FillAllModeKernels(table, std::make_integer_sequence<int, kBlendModeCount>());
  if (width >= 0) InstallVectorBlendKernels(table, width);
  InstallForwardedKernels(table);
}

void InitBlendKernels() {
  BuildBlendKernelTable(&g_PlainBlendKernels, -1);
  BuildBlendKernelTable(&g_BlendKernels, 0);

  for (int x = 0; x <= 510; ++x) {
    g_BlendLookupTables.mAddClamp[x] = static_cast<uint8_t>(std::min(x, 255));
    g_BlendLookupTables.mSubtractClamp[x] = static_cast<uint8_t>(std::max(0, x - 255));
  }
  for (int b = 0; b < 256; ++b) g_BlendLookupTables.mReciprocal[0][b] = 0;
  for (int a = 1; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) g_BlendLookupTables.mReciprocal[a][b] = static_cast<uint16_t>((256 * b) / a);
  }
  for (int mode = 0; mode < kBlendModeCount; ++mode) {
    for (int s = 0; s < 256; ++s) {
      for (int d = 0; d < 256; ++d) {
        g_BlendLookupTables.mMode[mode][s][d] = static_cast<uint8_t>(ModeValue(mode, s, d));
      }
    }
  }
}
