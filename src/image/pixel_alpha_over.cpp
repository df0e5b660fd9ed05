// The alpha-over rows (slots 22 to 25) as the engine runs them: the 256-based
// reciprocal R(a, b) = floor(256 b / a) and the division by A + 1 of slot 25
// come from tables made once, so no pixel divides. Clear source pixels leave
// the destination as it is and opaque ones (without opacities) replace it,
// exactly as the formulas give.
#include <cstdint>

#include "image/pixel_math.h"
#include "image/pixel_primitives.h"
#include "image/pixel_primitives_internal.h"

namespace {

struct AlphaOverTables {
  uint16_t mReciprocal[256][256];  // [a][b] floor(256 b / a); row 0 all 0
  uint64_t mInverse[257];          // [k] ceil(2^32 / k), k = 1..256
};

AlphaOverTables g_AlphaOverTables;

const AlphaOverTables& Tables() {
  static const bool ready = [] {
    for (int a = 0; a < 256; ++a) {
      for (int b = 0; b < 256; ++b) g_AlphaOverTables.mReciprocal[a][b] = static_cast<uint16_t>(a == 0 ? 0 : 256 * b / a);
    }
    g_AlphaOverTables.mInverse[0] = 0;
    for (uint64_t k = 1; k <= 256; ++k) g_AlphaOverTables.mInverse[k] = ((uint64_t{1} << 32) + k - 1) / k;
    return true;
  }();
  (void)ready;
  return g_AlphaOverTables;
}

// floor(x / 255) for 0 <= x <= 65280 (here the truncation, x is never negative).
inline int Div255(int x) { return (x + 1 + (x >> 8)) >> 8; }

inline void MoveColours(uint8_t* d, const uint8_t* s, int64_t w, int shift) {
  for (int c = 0; c < 3; ++c) d[c] = pixel_math::ClampByte(d[c] + (((s[c] - d[c]) * w) >> shift));
}

}  // namespace

void TableAlphaOverRow(uint8_t* dst, const uint8_t* src, size_t n) {
  const AlphaOverTables& t = Tables();
  for (size_t i = 0; n - i >= 4; i += 4) {
    uint8_t* d = dst + i;
    const uint8_t* s = src + i;
    int sa = s[3];
    if (sa == 0) continue;  // A = dA and w = 0
    if (sa == 255) {        // A = 255 and w = 256
      for (int c = 0; c < 4; ++c) d[c] = s[c];
      continue;
    }
    int da = d[3];
    int a = da + sa - Div255(da * sa);
    MoveColours(d, s, t.mReciprocal[a][sa], 8);
    d[3] = static_cast<uint8_t>(a);
  }
}

void TableAlphaOverRowSourceOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  const AlphaOverTables& t = Tables();
  for (size_t i = 0; n - i >= 4; i += 4) {
    uint8_t* d = dst + i;
    const uint8_t* s = src + i;
    int sa = s[3];
    int da = d[3];
    int a = (da + (((sa - Div255(da * sa)) * o) >> 8)) & 255;
    MoveColours(d, s, static_cast<int64_t>(t.mReciprocal[a][sa]) * o, 16);
    d[3] = static_cast<uint8_t>(a);
  }
}

void TableAlphaOverRowDestOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n) {
  const AlphaOverTables& t = Tables();
  for (size_t i = 0; n - i >= 4; i += 4) {
    uint8_t* d = dst + i;
    const uint8_t* s = src + i;
    int sa = s[3];
    int scaled = ((d[3] * o) >> 8) & 255;
    int a = (scaled + sa - Div255(scaled * sa)) & 255;
    MoveColours(d, s, t.mReciprocal[a][sa], 8);
    d[3] = static_cast<uint8_t>(a);
  }
}

void TableAlphaOverRowBothOpacity(uint8_t* dst, const uint8_t* src, int dstOpacity, int srcOpacity, size_t n) {
  // The inverse table is exact while |part| * sA stays below 2^24, which
  // holds for source opacities up to 256.
  if (srcOpacity < 0 || srcOpacity > 256) {
    RefAlphaOverRowBothOpacity(dst, src, dstOpacity, srcOpacity, n);
    return;
  }
  const AlphaOverTables& t = Tables();
  for (size_t i = 0; n - i >= 4; i += 4) {
    uint8_t* d = dst + i;
    const uint8_t* s = src + i;
    int sa = s[3];
    int scaled = ((d[3] * dstOpacity) >> 8) & 255;
    int a = (scaled + (((sa - (((sa + 1) * scaled) >> 8)) * srcOpacity) >> 8)) & 255;
    uint64_t inverse = t.mInverse[a + 1];
    for (int c = 0; c < 3; ++c) {
      int part = ((s[c] - d[c]) * srcOpacity) >> 8;
      // trunc(part * sA / (A + 1)): the quotient of the magnitude, signed back.
      auto magnitude = static_cast<uint64_t>(part < 0 ? -part : part) * static_cast<uint64_t>(sa);
      auto quotient = static_cast<int>((magnitude * inverse) >> 32);
      d[c] = pixel_math::ClampByte(d[c] + (part < 0 ? -quotient : quotient));
    }
    d[3] = static_cast<uint8_t>(a);
  }
}

