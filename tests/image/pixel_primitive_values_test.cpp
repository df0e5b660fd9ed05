// Every row primitive against a model written out here from each slot's own
// arithmetic (floors and truncations as divisions, the block and head rules of
// each level), independent of the engine's formula helpers. Both the routines
// the engine runs and the plain ones are held to the model, at every level.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "image/pixel_primitives.h"
#include "image/pixel_primitives_internal.h"

namespace {

struct NamedTable {
  const PixelPrimitiveTable* mTable;
  const char* mName;
};
// The routines of a level: the engine's (the widest loops the processor
// has), the plain ones, and the vector ones with SSE2 loops alone and with
// AVX2 loops too (where the processor has them).
std::array<NamedTable, 4> TablesOfLevel(int level) {
  return {{{&GetPixelPrimitives(level), "engine"},
           {&GetReferencePrimitives(level), "plain"},
           {&GetVectorPrimitives(level, 16), "sse2"},
           {&GetVectorPrimitives(level, 32), "avx2"}}};
}

// Division rounding toward minus infinity and toward zero, k > 0.
int64_t Floor(int64_t x, int64_t k) { return x >= 0 ? x / k : -((-x + k - 1) / k); }
int64_t Trunc(int64_t x, int64_t k) { return x / k; }
uint8_t Clamp(int64_t x) { return static_cast<uint8_t>(x < 0 ? 0 : x > 255 ? 255 : x); }
uint8_t Byte(int64_t x) { return static_cast<uint8_t>(x & 255); }
// A value taken into a signed 16-bit word (wrapping).
int64_t Wrap16(int64_t x) {
  int64_t v = ((x % 65536) + 65536) % 65536;
  return v >= 32768 ? v - 65536 : v;
}

// The opacity blend of one byte: the single form and the 8-byte block form.
uint8_t Lerp(int d, int s, int o) { return Byte(d + Floor(static_cast<int64_t>(s - d) * o, 256)); }
uint8_t LerpInBlock(int level, int d, int s, int o) {
  if (o < 128) return Byte(d + Floor(static_cast<int64_t>(s - d) * o, 256));
  if (o > 128) return Byte(s + Floor(static_cast<int64_t>(d - s) * (256 - o), 256));
  return level == 1 ? Byte(d / 2 + s / 2) : Byte((d + s + 1) / 2);
}

struct ModelArgs {
  int mLevel;
  uint8_t* mDst;          // the destination row (model copy)
  size_t mDstMisalign;    // the real destination address mod 8
  const uint8_t* mA;      // source / first cross-fade row
  const uint8_t* mB;      // mask / second cross-fade row
  int mO;
  int mP;
  size_t mN;
};

// Bytes of single treatment before the first 8-aligned destination byte.
size_t HeadBytes(size_t misalign) { return (8 - misalign) % 8; }

void ModelOpacityRow(const ModelArgs& m, const uint8_t* a, const uint8_t* b, bool alignHead) {
  size_t i = 0;
  if (alignHead && m.mLevel >= 2) {
    for (; i < m.mN && i < HeadBytes(m.mDstMisalign); ++i) m.mDst[i] = Lerp(a[i], b[i], m.mO);
  }
  for (; m.mN - i >= 8; i += 8) {
    for (size_t k = i; k < i + 8; ++k) m.mDst[k] = LerpInBlock(m.mLevel, a[k], b[k], m.mO);
  }
  for (; i < m.mN; ++i) m.mDst[i] = Lerp(a[i], b[i], m.mO);
}

// Slots 5 (o = -1) and 6.
void ModelAlphaRow(const ModelArgs& m, bool withOpacity) {
  uint8_t* d = m.mDst;
  const uint8_t* s = m.mA;
  auto weightOf = [&](size_t p) { return withOpacity ? Floor(s[p + 3] * m.mO, 256) : s[p + 3]; };
  auto single = [&](size_t p) {
    int64_t a = weightOf(p);
    for (size_t c = p; c < p + 3; ++c) {
      if (withOpacity && m.mLevel == 1) {
        d[c] = Byte(Floor(d[c] * (256 - a), 256) + Floor(s[c] * (a + 1), 256));
      } else {
        d[c] = Byte(d[c] + Floor((s[c] - d[c]) * ((a % 256) + 1), 256));
      }
    }
  };
  size_t i = 0;
  if (m.mLevel >= 2) {
    for (; m.mN - i >= 4 && (m.mDstMisalign + i) % 8 != 0; i += 4) single(i);
  }
  for (; m.mN - i >= 8; i += 8) {
    for (size_t p = i; p < i + 8; p += 4) {
      int64_t a = weightOf(p);
      for (size_t k = p; k < p + 4; ++k) {
        if (m.mLevel == 1) {
          d[k] = Byte(Floor(s[k] * (a + 1) + d[k] * (256 - a), 256));
        } else {
          d[k] = Clamp(std::min<int64_t>(255, Floor(s[k] * (a + 1), 256) + Floor(d[k] * (256 - a), 256)));
        }
      }
    }
  }
  if (m.mN - i >= 4) single(i);
}

void ModelRuleByTable(uint8_t* d, const uint8_t* s, int w) {
  if (w > 1) *d = Byte(*d - Floor(static_cast<int64_t>(*d - *s) * w, 256));
}

void ModelRuleRow(const ModelArgs& m) {
  uint8_t* d = m.mDst;
  const uint8_t* s = m.mA;
  const uint8_t* mask = m.mB;
  int threshold = m.mO;
  int softness = m.mP;
  if (m.mLevel == 1 || softness == 256) {
    for (size_t p = 0; m.mN - p >= 4; p += 4) {
      int w = g_RuleWeightTable[mask[p]];
      for (size_t c = p; c < p + 3; ++c) ModelRuleByTable(d + c, s + c, w);
    }
    return;
  }
  int64_t half = Floor(softness, 2);
  size_t i = 0;
  for (; m.mN - i >= 8; i += 8) {
    for (size_t k = i; k < i + 8; ++k) {
      int64_t sum = Wrap16(int64_t{threshold} + threshold * half - 128 * int64_t{softness} + half * mask[k]);
      int64_t w = std::min<int64_t>(255, std::max<int64_t>(0, sum)) + 1;
      d[k] = Clamp(d[k] + Floor(s[k] * w, 256) - Floor(d[k] * w, 256));
    }
  }
  for (; i < m.mN; ++i) ModelRuleByTable(d + i, s + i, g_RuleWeightTable[mask[i]]);
}

uint8_t AddGain(int d, int s, int64_t w) { return Byte(d + Floor((std::min(255, d + s) - d) * w, 256)); }

// Slots 22 to 25 with R(a, b) = floor(256 b / a), R(0, b) = 0. Colours that a
// scaled source pushes past the byte range saturate.
int64_t Reciprocal(int64_t a, int64_t b) { return a == 0 ? 0 : Floor(256 * b, a); }
void ModelAlphaOver(int slot, uint8_t* d, const uint8_t* s, int o, int p) {
  int64_t sa = s[3];
  int64_t da = d[3];
  int64_t alpha = 0;
  if (slot == 22 || slot == 24) {
    int64_t base = slot == 22 ? da : Floor(da * o, 256) % 256;
    alpha = (base + sa - Trunc(base * sa, 255)) % 256;
    int64_t w = Reciprocal(alpha, sa);
    for (int c = 0; c < 3; ++c) d[c] = Clamp(d[c] + Floor((s[c] - d[c]) * w, 256));
  } else if (slot == 23) {
    alpha = (da + Floor((sa - Trunc(da * sa, 255)) * o, 256)) % 256;
    int64_t w = Reciprocal(alpha, sa) * o;
    for (int c = 0; c < 3; ++c) d[c] = Clamp(d[c] + Floor((s[c] - d[c]) * w, 65536));
  } else {
    int64_t scaled = Floor(da * p, 256) % 256;
    alpha = (scaled + Floor((sa - Floor((sa + 1) * scaled, 256)) * o, 256)) % 256;
    for (int c = 0; c < 3; ++c) d[c] = Clamp(d[c] + Trunc(Floor((s[c] - d[c]) * o, 256) * sa, alpha + 1));
  }
  d[3] = Byte(alpha);
}

// Runs the model of `slot`; for slot 25 mO is the source and mP the
// destination opacity; slot 21 reads a second row 16 pixels below.
void Model(int slot, const ModelArgs& m) {
  uint8_t* d = m.mDst;
  const uint8_t* s = m.mA;
  size_t n = m.mN;
  size_t whole = n / 4 * 4;
  switch (slot) {
    case 0: for (size_t i = 0; i < n; ++i) d[i] = 0; break;
    case 1: for (size_t i = 0; i < n; ++i) d[i] = Byte(0x1234500 + m.mO); break;
    case 2:
      for (size_t i = 0; i < whole; ++i) d[i] = Byte((0x89ABCD00u + static_cast<uint32_t>(m.mO)) >> (8 * (i % 4)));
      break;
    case 3: for (size_t i = 0; i < n; ++i) d[i] = s[i]; break;
    case 4: ModelOpacityRow(m, d, s, true); break;
    case 5: ModelAlphaRow(m, false); break;
    case 6: ModelAlphaRow(m, true); break;
    case 7: ModelRuleRow(m); break;
    case 8: ModelOpacityRow(m, m.mA, m.mB, false); break;
    case 9: for (size_t i = 0; i < n; ++i) d[i] = Clamp(d[i] + s[i]); break;
    case 10:
      for (size_t i = 0; i < n; ++i) {
        d[i] = i < n - n % 8 ? Clamp(d[i] + Floor(s[i] * m.mO, 256)) : AddGain(d[i], s[i], m.mO);
      }
      break;
    case 11:
    case 12:
      for (size_t p = 0; p < whole; p += 4) {
        int64_t w = m.mLevel == 1 ? s[p + 3] + 1 : std::min(s[p + 3] + 1, 255);
        if (slot == 12) w = Floor(m.mO * w, 256);
        for (size_t c = p; c < p + 3; ++c) d[c] = AddGain(d[c], s[c], w);
      }
      break;
    case 13: for (size_t i = 0; i < n; ++i) d[i] = Clamp(s[i] - d[i]); break;
    case 14: for (size_t i = 0; i < whole; ++i) d[i] = Byte(Floor(d[i] * (s[i] + 1), 256)); break;
    case 15:
      for (size_t i = 0; i < n; ++i) {
        d[i] = i < n - n % 8 ? Byte(d[i] + s[i] - Floor(d[i] * (s[i] + 1), 256))
                             : Byte(s[i] + d[i] - Trunc(s[i] * d[i], 255));
      }
      break;
    case 16:
      for (size_t i = 0; i < n; ++i) d[i] = Lerp(d[i], Byte(s[i] + d[i] - Trunc(s[i] * d[i], 255)), m.mO);
      break;
    case 17: for (size_t i = 0; i < n; ++i) d[i] = std::max(d[i], s[i]); break;
    case 18: for (size_t i = 0; i < n; ++i) d[i] = std::min(d[i], s[i]); break;
    case 19: for (size_t i = 0; i < n; ++i) d[i] = Clamp(d[i] + s[i] - 255); break;
    case 20: for (size_t i = 0; i < n; ++i) d[i] = Clamp(d[i] + 2 * s[i] - 256); break;
    case 21: {
      const uint8_t* q = s + 16 * 4;
      for (size_t i = 0; i < n / 8; ++i) {
        for (size_t c = 0; c < 4; ++c) {
          int p0 = s[8 * i + c], p1 = s[8 * i + 4 + c], q0 = q[8 * i + c], q1 = q[8 * i + 4 + c];
          d[4 * i + c] = m.mLevel == 1 ? Byte((p0 + p1 + q0 + q1) / 4)
                                        : Byte(((p0 + q0 + 1) / 2 + (p1 + q1 + 1) / 2 + 1) / 2);
        }
      }
      break;
    }
    default:
      for (size_t p = 0; p < whole; p += 4) ModelAlphaOver(slot, d + p, s + p, m.mO, m.mP);
      break;
  }
}

// Calls slot `slot` of `t` with the arguments the model reads.
void RunSlot(const PixelPrimitiveTable& t, int slot, uint8_t* d, const uint8_t* a, const uint8_t* b, int o, int p,
         size_t n) {
  switch (slot) {
    case 0: t.mZeroBytes(d, n); break;
    case 1: t.mFillBytes(d, n, 0x1234500u + static_cast<uint32_t>(o)); break;
    case 2: t.mFillDwords(d, n, 0x89ABCD00u + static_cast<uint32_t>(o)); break;
    case 3: t.mCopyBytes(d, a, n); break;
    case 4: t.mBlendRowOpacity(d, a, o, n); break;
    case 5: t.mBlendRowAlpha(d, a, n); break;
    case 6: t.mBlendRowAlphaOpacity(d, a, o, n); break;
    case 7: t.mBlendRowRuleWeighted(d, a, b, o, p, n); break;
    case 8: t.mCrossFadeRow(d, a, b, o, n); break;
    case 9: t.mAddRowSaturate(d, a, n); break;
    case 10: t.mAddRowOpacity(d, a, o, n); break;
    case 11: t.mAddRowAlpha(d, a, n); break;
    case 12: t.mAddRowAlphaOpacity(d, a, o, n); break;
    case 13: t.mSubtractRowSaturate(d, a, n); break;
    case 14: t.mMultiplyRow(d, a, n); break;
    case 15: t.mScreenRow(d, a, n); break;
    case 16: t.mScreenRowOpacity(d, a, o, n); break;
    case 17: t.mLightenRow(d, a, n); break;
    case 18: t.mDarkenRow(d, a, n); break;
    case 19: t.mLinearBurnRow(d, a, n); break;
    case 20: t.mLinearLightRow(d, a, n); break;
    case 21: t.mDownscale2x2Row(d, a, 16, n / 8); break;
    case 22: t.mAlphaOverRow(d, a, n); break;
    case 23: t.mAlphaOverRowSourceOpacity(d, a, o, n); break;
    case 24: t.mAlphaOverRowDestOpacity(d, a, o, n); break;
    default: t.mAlphaOverRowBothOpacity(d, a, p, o, n); break;
  }
}

// Sources whose alpha bytes often sit where the rules change.
void FillRow(std::mt19937& random, uint8_t* data, size_t n) {
  static constexpr uint8_t kEdges[] = {0, 1, 2, 127, 128, 129, 254, 255};
  for (size_t i = 0; i < n; ++i) {
    data[i] = (random() & 3) == 0 ? kEdges[random() % 8] : static_cast<uint8_t>(random());
  }
}

// The second argument of each slot that has one: the rule softness of slot 7
// (kept to what a signed word holds) and the destination opacity of slot 25.
int SecondArgument(int slot, std::mt19937& random) {
  static constexpr int kSoftness[] = {0, 1, 2, 64, 255, 256, 257, 1000, -5, 4000};
  if (slot == 7) return kSoftness[random() % std::size(kSoftness)];
  return static_cast<int>(random() % 512);
}

class PrimitiveValues : public testing::TestWithParam<int> {};

TEST_P(PrimitiveValues, EveryLevelFollowsTheSlotArithmetic) {
  int slot = GetParam();
  std::mt19937 random(1000 + slot);
  for (int w = 0; w < 256; ++w) g_RuleWeightTable[w] = w % 5 == 0 ? w % 3 : static_cast<int32_t>(random() % 257);
  static constexpr int kOpacities[] = {0, 1, 2, 64, 127, 128, 129, 200, 255, 256};
  for (int level = 1; level <= 3; ++level) {
    const std::array<NamedTable, 4> tables = TablesOfLevel(level);
    for (size_t n = 0; n <= 72; ++n) {
      for (size_t misalign = 0; misalign < 8; ++misalign) {
        for (int o : kOpacities) {
          // Slot 7 takes a threshold where the others take an opacity.
          int first = slot == 7 ? static_cast<int>(random() % 300) - 20 : o;
          int second = SecondArgument(slot, random);
          alignas(16) uint8_t a[160];
          alignas(16) uint8_t b[160];
          alignas(16) uint8_t start[96];
          alignas(16) uint8_t expected[96];
          FillRow(random, a, sizeof(a));
          FillRow(random, b, sizeof(b));
          FillRow(random, start, sizeof(start));
          std::memcpy(expected, start, sizeof(start));
          const uint8_t* src = a + (misalign * 5) % 8;
          const uint8_t* other = b + misalign;
          Model(slot, {level, expected + misalign, misalign, src, other, first, second, n});
          for (const NamedTable& table : tables) {
            alignas(16) uint8_t got[96];
            std::memcpy(got, start, sizeof(start));
            RunSlot(*table.mTable, slot, got + misalign, src, other, first, second, n);
            ASSERT_EQ(0, std::memcmp(got, expected, sizeof(got)))
                << "slot " << slot << " " << table.mName << " level " << level << " n " << n
                << " misalignment " << misalign << " arguments " << first << ", " << second;
          }
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EverySlot, PrimitiveValues, testing::Range(0, kPixelPrimitiveSlots),
                         [](const testing::TestParamInfo<int>& info) { return "Slot" + std::to_string(info.param); });

// Picture-like sources: runs of clear and of opaque pixels (which the alpha
// blends skip and copy) between ramps, at every level, against the model.
TEST(PrimitiveValues, RunsOfClearAndOpaquePixels) {
  std::mt19937 random(31);
  static constexpr int kOpacities[] = {0, 100, 128, 255, 256};
  for (int level = 1; level <= 3; ++level) {
    const std::array<NamedTable, 4> tables = TablesOfLevel(level);
    for (int slot : {5, 6, 22, 23, 24, 25}) {
      for (int round = 0; round < 200; ++round) {
        constexpr size_t kPixels = 60;
        alignas(16) uint8_t src[kPixels * 4 + 8];
        alignas(16) uint8_t start[kPixels * 4 + 8];
        alignas(16) uint8_t expected[kPixels * 4 + 8];
        FillRow(random, src, sizeof(src));
        FillRow(random, start, sizeof(start));
        for (size_t p = 0; p < kPixels;) {
          size_t run = 1 + random() % 12;
          int kind = static_cast<int>(random() % 3);
          for (size_t k = p; k < p + run && k < kPixels; ++k) {
            if (kind < 2) src[k * 4 + 3] = kind == 0 ? 0 : 255;
          }
          p += run;
        }
        size_t misalign = (random() % 2) * 4 + (round % 3 == 0 ? 1 : 0);
        size_t n = (kPixels - 2) * 4 - random() % 9;
        int o = kOpacities[random() % std::size(kOpacities)];
        int second = static_cast<int>(random() % 300);
        std::memcpy(expected, start, sizeof(start));
        Model(slot, {level, expected + misalign, misalign, src, nullptr, o, second, n});
        for (const NamedTable& table : tables) {
          alignas(16) uint8_t got[sizeof(start)];
          std::memcpy(got, start, sizeof(start));
          RunSlot(*table.mTable, slot, got + misalign, src, nullptr, o, second, n);
          ASSERT_EQ(0, std::memcmp(got, expected, sizeof(got)))
              << "slot " << slot << " " << table.mName << " level " << level << " round "
              << round;
        }
      }
    }
  }
}

// Values worked out by hand from the slots' arithmetic, where the levels or
// the block and single forms part ways. Rows start 8-aligned.
struct HandCase {
  const char* mWhat;
  int mSlot;
  std::vector<uint8_t> mDst, mSrc, mMask;
  int mFirst, mSecond;
  // Expected bytes at levels 1 and 2/3 (levels 2 and 3 never differ).
  std::vector<uint8_t> mLevel1, mLevel23;
};

std::vector<uint8_t> Repeat(std::vector<uint8_t> pixel, int count) {
  std::vector<uint8_t> row;
  for (int i = 0; i < count; ++i) row.insert(row.end(), pixel.begin(), pixel.end());
  return row;
}

std::vector<HandCase> HandCases() {
  std::vector<uint8_t> rule50 = Repeat({50, 50, 50, 50}, 2);
  std::vector<uint8_t> rule200 = Repeat({200, 200, 200, 200}, 2);
  return {
      // Block weight clamp(100 + 100*32 - 128*64 + 32*160) + 1 = 229:
      // 50 + floor(200*229/256) - floor(50*229/256) = 184; level 1 reads the
      // table (weight 0 for mask 160 here) and leaves the row.
      {"rule weight from threshold and softness", 7, rule50, rule200, Repeat({160, 160, 160, 160}, 2), 100, 64,
       rule50, Repeat({184, 184, 184, 184}, 2)},
      // 200 + 200*500 - 128000 + 500*255 wraps in a signed word to -31372:
      // weight 1, the byte stays.
      {"rule weight wraps", 7, rule50, rule200, Repeat({255, 255, 255, 255}, 2), 200, 1000, rule50, rule50},
      // a = floor(200*100/256) = 78. Block colour: floor(255*178/256) = 177 on
      // both levels; block alpha (dA 10): floor((200*79 + 10*178)/256) = 68
      // against 61 + 6 = 67; the last pixel: 177 + 0 against
      // 255 + floor(-255*79/256) = 176, alpha kept.
      {"alpha with opacity", 6, Repeat({255, 255, 255, 10}, 3), Repeat({0, 0, 0, 200}, 3), {}, 100, 0,
       {177, 177, 177, 68, 177, 177, 177, 68, 177, 177, 177, 10},
       {177, 177, 177, 67, 177, 177, 177, 67, 176, 176, 176, 10}},
      // Colour 1 under alpha 127 in a block: floor((128 + 129)/256) = 1
      // against 0 + 0; alpha floor((127*128 + 129)/256) = 64 against 63 + 0.
      {"alpha block products", 5, Repeat({1, 1, 1, 1}, 2), Repeat({1, 1, 1, 127}, 2), {}, 0, 0,
       {1, 1, 1, 64, 1, 1, 1, 64}, {0, 0, 0, 63, 0, 0, 0, 63}},
      // w = floor(256*256/256) = 256 against floor(256*255/256) = 255.
      {"add with alpha and opacity", 12, {100, 100, 100, 9}, {100, 100, 100, 255}, {}, 256, 0, {200, 200, 200, 9},
       {199, 199, 199, 9}},
      {"add with alpha", 11, {100, 100, 100, 9}, {100, 100, 100, 255}, {}, 0, 0, {200, 200, 200, 9},
       {199, 199, 199, 9}},
      // 2 + 127 - floor(2*128/256) = 128 in a block, 127 + 2 - trunc(254/255)
      // = 129 in the tail.
      {"screen block and tail", 15, Repeat({2, 2, 2, 2}, 3), Repeat({127, 127, 127, 127}, 3), {}, 0, 0,
       {128, 128, 128, 128, 128, 128, 128, 128, 129, 129, 129, 129},
       {128, 128, 128, 128, 128, 128, 128, 128, 129, 129, 129, 129}},
      // D = floor(200*128/256) = 100; A = 100 + floor((150 - floor(151*100/256))
      // *200/256) = 171; colours 10 + trunc(floor(240*200/256)*150/172) = 173
      // and 250 + trunc(floor(-240*200/256)*150/172) = 87.
      {"alpha over with both opacities", 25, {10, 250, 0, 200}, {250, 10, 0, 150}, {}, 200, 128, {173, 87, 0, 171},
       {173, 87, 0, 171}},
      // D = floor(200*128/256) = 100; A = 100 + 150 - trunc(15000/255) = 192;
      // w = floor(256*150/192) = 200; 10 + floor(240*200/256) = 197 and
      // 250 + floor(-240*200/256) = 62.
      {"alpha over with destination opacity", 24, {10, 250, 0, 200}, {250, 10, 0, 150}, {}, 128, 0,
       {197, 62, 0, 192}, {197, 62, 0, 192}},
      // A = 100 + floor((100 - trunc(10000/255))*128/256) = 130;
      // w = floor(25600/130)*128 = 25088; 50 + floor(150*25088/65536) = 107.
      {"alpha over with source opacity", 23, {50, 50, 50, 100}, {200, 200, 200, 100}, {}, 128, 0,
       {107, 107, 107, 130}, {107, 107, 107, 130}},
      // A = 77 + 200 - trunc(15400/255) = 217; w = floor(51200/217) = 235;
      // 0 + floor(255*235/256) = 234.
      {"alpha over", 22, {0, 0, 0, 77}, {255, 255, 255, 200}, {}, 0, 0, {234, 234, 234, 217}, {234, 234, 234, 217}},
      // p = (1, 2) over q = (3, 4): (1+2+3+4) >> 2 = 2 against the average of
      // the averages (2 and 3), 3.
      {"downscale", 21, {0, 0, 0, 0}, {}, {}, 0, 0, {2, 2, 2, 2}, {3, 3, 3, 3}},
      // o = 128 in a block: (1 >> 1) + (2 >> 1) = 1 against (1 + 2 + 1) >> 1 = 2;
      // the tail 1 + floor(128/256) = 1.
      {"cross-fade at one half", 8, std::vector<uint8_t>(12, 0), Repeat({1, 1, 1, 1}, 3), Repeat({2, 2, 2, 2}, 3),
       128, 0, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, {2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 1, 1}},
  };
}

TEST(PrimitiveValues, HandWorkedValuesAtEachLevel) {
  for (int w = 0; w < 256; ++w) g_RuleWeightTable[w] = 0;
  for (const HandCase& c : HandCases()) {
    for (int level = 1; level <= 3; ++level) {
      const std::array<NamedTable, 4> tables = TablesOfLevel(level);
      for (const NamedTable& table : tables) {
        alignas(16) uint8_t dst[64] = {};
        alignas(16) uint8_t src[160] = {};
        alignas(16) uint8_t mask[64] = {};
        std::copy(c.mDst.begin(), c.mDst.end(), dst);
        std::copy(c.mSrc.begin(), c.mSrc.end(), src);
        std::copy(c.mMask.begin(), c.mMask.end(), mask);
        size_t n = c.mDst.size();
        if (c.mSlot == 21) {
          // Two source pixels of the row and the two 16 pixels below.
          const uint8_t top[8] = {1, 1, 1, 1, 2, 2, 2, 2};
          const uint8_t below[8] = {3, 3, 3, 3, 4, 4, 4, 4};
          std::memcpy(src, top, 8);
          std::memcpy(src + 64, below, 8);
          n = 8;
        }
        RunSlot(*table.mTable, c.mSlot, dst, src, mask, c.mFirst, c.mSecond, n);
        const std::vector<uint8_t>& expected = level == 1 ? c.mLevel1 : c.mLevel23;
        EXPECT_EQ(std::vector<uint8_t>(dst, dst + expected.size()), expected)
            << c.mWhat << " level " << level << " " << table.mName;
      }
    }
  }
}

}  // namespace
