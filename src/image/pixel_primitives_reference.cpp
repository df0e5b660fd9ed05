// The row primitives as plain code, one byte or pixel at a time, written
// straight from their formulas. They define the bytes of each level; the
// vectorised routines must match them exactly.
#include <cstring>

#include "image/pixel_math.h"
#include "image/pixel_primitives.h"
#include "image/pixel_primitives_internal.h"

using namespace pixel_math;

namespace {

bool Aligned8(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 7) == 0; }

void RefZeroBytes(void* dst, size_t n) {
  auto* d = static_cast<uint8_t*>(dst);
  for (size_t i = 0; i < n; ++i) d[i] = 0;
}

void RefFillBytes(void* dst, size_t n, uint32_t value) {
  auto* d = static_cast<uint8_t*>(dst);
  for (size_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(value);
}

void RefFillDwords(void* dst, size_t n, uint32_t value) {
  auto* d = static_cast<uint8_t*>(dst);
  for (size_t i = 0; i + 4 <= n; i += 4) {
    d[i] = static_cast<uint8_t>(value);
    d[i + 1] = static_cast<uint8_t>(value >> 8);
    d[i + 2] = static_cast<uint8_t>(value >> 16);
    d[i + 3] = static_cast<uint8_t>(value >> 24);
  }
}

void RefCopyBytes(void* dst, const void* src, size_t n) {
  auto* d = static_cast<uint8_t*>(dst);
  auto* s = static_cast<const uint8_t*>(src);
  for (size_t i = 0; i < n; ++i) d[i] = s[i];
}

template <int L>
void RefBlendRowOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  size_t i = 0;
  if (L >= 2) {
    for (; i < n && !Aligned8(dst + i); ++i) dst[i] = LerpSingle(dst[i], src[i], o);
  }
  for (; n - i >= 8; i += 8) {
    for (size_t k = i; k < i + 8; ++k) dst[k] = LerpBlock(L, dst[k], src[k], o);
  }
  for (; i < n; ++i) dst[i] = LerpSingle(dst[i], src[i], o);
}

template <int L>
void RefBlendRowAlpha(uint8_t* dst, const uint8_t* src, size_t n) {
  size_t i = 0;
  if (L >= 2) {
    for (; n - i >= 4 && !Aligned8(dst + i); i += 4) LerpPixelColour(dst + i, src + i, src[i + 3] + 1);
  }
  for (; n - i >= 8; i += 8) {
    for (size_t p = i; p < i + 8; p += 4) {
      int a = src[p + 3];
      for (size_t k = p; k < p + 4; ++k) dst[k] = AlphaBlockByte(L, dst[k], src[k], a);
    }
  }
  if (n - i >= 4) LerpPixelColour(dst + i, src + i, src[i + 3] + 1);
}

template <int L>
void RefBlendRowAlphaOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  size_t i = 0;
  if (L >= 2) {
    for (; n - i >= 4 && !Aligned8(dst + i); i += 4) {
      LerpPixelColour(dst + i, src + i, (((src[i + 3] * o) >> 8) & 255) + 1);
    }
  }
  for (; n - i >= 8; i += 8) {
    for (size_t p = i; p < i + 8; p += 4) {
      int a = (src[p + 3] * o) >> 8;
      for (size_t k = p; k < p + 4; ++k) dst[k] = AlphaBlockByte(L, dst[k], src[k], a);
    }
  }
  if (n - i >= 4) {
    int a = (src[i + 3] * o) >> 8;
    if (L == 1) {
      AlphaOpacityPixelLevel1(dst + i, src + i, a);
    } else {
      LerpPixelColour(dst + i, src + i, (a & 255) + 1);
    }
  }
}

template <int L>
void RefBlendRowRuleWeighted(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int threshold, int softness,
                             size_t n) {
  if (L == 1 || softness == 256) {
    RefRuleWeightedLevel1(dst, src, mask, n);
    return;
  }
  int16_t base = RuleBlockBase(threshold, softness);
  size_t i = 0;
  for (; n - i >= 8; i += 8) {
    for (size_t k = i; k < i + 8; ++k) dst[k] = RuleBlockByte(dst[k], src[k], RuleBlockWeight(base, softness, mask[k]));
  }
  for (; i < n; ++i) RuleTableByte(dst + i, src[i], g_RuleWeightTable[mask[i]]);
}

template <int L>
void RefCrossFadeRow(uint8_t* dst, const uint8_t* a, const uint8_t* b, int w, size_t n) {
  size_t i = 0;
  for (; n - i >= 8; i += 8) {
    for (size_t k = i; k < i + 8; ++k) dst[k] = LerpBlock(L, a[k], b[k], w);
  }
  for (; i < n; ++i) dst[i] = LerpSingle(a[i], b[i], w);
}

void RefAddRowSaturate(uint8_t* dst, const uint8_t* src, size_t n) {
  for (size_t i = 0; i < n; ++i) dst[i] = AddSaturate(dst[i], src[i]);
}

void RefAddRowOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  size_t i = 0;
  for (; n - i >= 8; i += 8) {
    for (size_t k = i; k < i + 8; ++k) dst[k] = AddSaturate(dst[k], (src[k] * o) >> 8);
  }
  for (; i < n; ++i) dst[i] = AddWeighted(dst[i], src[i], o);
}

template <int L>
void RefAddRowAlpha(uint8_t* dst, const uint8_t* src, size_t n) {
  for (size_t i = 0; n - i >= 4; i += 4) {
    int w = AddAlphaWeight(L, src[i + 3]);
    for (size_t c = i; c < i + 3; ++c) dst[c] = AddWeighted(dst[c], src[c], w);
  }
}

template <int L>
void RefAddRowAlphaOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  for (size_t i = 0; n - i >= 4; i += 4) {
    int w = (o * AddAlphaWeight(L, src[i + 3])) >> 8;
    for (size_t c = i; c < i + 3; ++c) dst[c] = AddWeighted(dst[c], src[c], w);
  }
}

void RefSubtractRowSaturate(uint8_t* dst, const uint8_t* src, size_t n) {
  for (size_t i = 0; i < n; ++i) dst[i] = static_cast<uint8_t>(std::max(0, src[i] - dst[i]));
}

void RefMultiplyRow(uint8_t* dst, const uint8_t* src, size_t n) {
  size_t whole = n & ~size_t{3};
  for (size_t i = 0; i < whole; ++i) dst[i] = static_cast<uint8_t>((dst[i] * (src[i] + 1)) >> 8);
}

void RefScreenRow(uint8_t* dst, const uint8_t* src, size_t n) {
  size_t i = 0;
  for (; n - i >= 8; i += 8) {
    for (size_t k = i; k < i + 8; ++k) dst[k] = static_cast<uint8_t>(dst[k] + src[k] - ((dst[k] * (src[k] + 1)) >> 8));
  }
  for (; i < n; ++i) dst[i] = ScreenExact(dst[i], src[i]);
}

void RefScreenRowOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  for (size_t i = 0; i < n; ++i) dst[i] = LerpSingle(dst[i], ScreenExact(dst[i], src[i]), o);
}

void RefLightenRow(uint8_t* dst, const uint8_t* src, size_t n) {
  for (size_t i = 0; i < n; ++i) dst[i] = std::max(dst[i], src[i]);
}

void RefDarkenRow(uint8_t* dst, const uint8_t* src, size_t n) {
  for (size_t i = 0; i < n; ++i) dst[i] = std::min(dst[i], src[i]);
}

void RefLinearBurnRow(uint8_t* dst, const uint8_t* src, size_t n) {
  for (size_t i = 0; i < n; ++i) dst[i] = static_cast<uint8_t>(std::max(0, dst[i] + src[i] - 255));
}

void RefLinearLightRow(uint8_t* dst, const uint8_t* src, size_t n) {
  for (size_t i = 0; i < n; ++i) dst[i] = ClampByte(dst[i] + 2 * src[i] - 256);
}

template <int L>
void RefDownscale2x2Row(uint8_t* dst, const uint8_t* src, size_t stride, size_t count) {
  const uint8_t* below = src + stride * 4;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = src + i * 8;
    const uint8_t* q = below + i * 8;
    for (int c = 0; c < 4; ++c) {
      if (L == 1) {
        dst[i * 4 + c] = static_cast<uint8_t>((p[c] + p[c + 4] + q[c] + q[c + 4]) >> 2);
      } else {
        int left = (p[c] + q[c] + 1) >> 1;
        int right = (p[c + 4] + q[c + 4] + 1) >> 1;
        dst[i * 4 + c] = static_cast<uint8_t>((left + right + 1) >> 1);
      }
    }
  }
}

}  // namespace

void RefAlphaOverRow(uint8_t* dst, const uint8_t* src, size_t n) {
  for (size_t i = 0; n - i >= 4; i += 4) AlphaOverPixel(dst + i, src + i);
}
void RefAlphaOverRowSourceOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  for (size_t i = 0; n - i >= 4; i += 4) AlphaOverPixelSourceOpacity(dst + i, src + i, o);
}
void RefAlphaOverRowDestOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  for (size_t i = 0; n - i >= 4; i += 4) AlphaOverPixelDestOpacity(dst + i, src + i, o);
}
void RefAlphaOverRowBothOpacity(uint8_t* dst, const uint8_t* src, int dstOpacity, int srcOpacity, size_t n) {
  for (size_t i = 0; n - i >= 4; i += 4) AlphaOverPixelBothOpacities(dst + i, src + i, dstOpacity, srcOpacity);
}
void RefRuleWeightedLevel1(uint8_t* dst, const uint8_t* src, const uint8_t* mask, size_t n) {
  for (size_t i = 0; n - i >= 4; i += 4) {
    int w = g_RuleWeightTable[mask[i]];
    if (w <= 1) continue;
    for (size_t c = i; c < i + 3; ++c) dst[c] = static_cast<uint8_t>(dst[c] - (((dst[c] - src[c]) * w) >> 8));
  }
}

namespace {

template <int L>
constexpr PixelPrimitiveTable MakeReferenceTable() {
  return PixelPrimitiveTable{
      RefZeroBytes,
      RefFillBytes,
      RefFillDwords,
      RefCopyBytes,
      RefBlendRowOpacity<L>,
      RefBlendRowAlpha<L>,
      RefBlendRowAlphaOpacity<L>,
      RefBlendRowRuleWeighted<L>,
      RefCrossFadeRow<L>,
      RefAddRowSaturate,
      RefAddRowOpacity,
      RefAddRowAlpha<L>,
      RefAddRowAlphaOpacity<L>,
      RefSubtractRowSaturate,
      RefMultiplyRow,
      RefScreenRow,
      RefScreenRowOpacity,
      RefLightenRow,
      RefDarkenRow,
      RefLinearBurnRow,
      RefLinearLightRow,
      RefDownscale2x2Row<L>,
      RefAlphaOverRow,
      RefAlphaOverRowSourceOpacity,
      RefAlphaOverRowDestOpacity,
      RefAlphaOverRowBothOpacity,
  };
}

constexpr PixelPrimitiveTable kReferenceLevel1 = MakeReferenceTable<1>();
constexpr PixelPrimitiveTable kReferenceLevel2 = MakeReferenceTable<2>();

}  // namespace

const PixelPrimitiveTable& GetReferencePrimitives(int level) { return level <= 1 ? kReferenceLevel1 : kReferenceLevel2; }
