#pragma once
// Processor features and the table of pixel row primitives.
//
// Every count n passed to a primitive is a number of bytes. Pixels are B, G,
// R, A bytes; per-pixel primitives read the source alpha from byte 3 and
// leave a trailing n mod 4 bytes alone. Opacities are 0..256 (256 opaque).
// Each processor level fixes the exact bytes every slot produces; the level
// is chosen once at start-up and the table never changes afterwards.
#include <cstddef>
#include <cstdint>

// One byte per feature, 0 or 1, in this order.
enum CpuFeature : int {
  kCpuMmx,
  kCpu3dNow,
  kCpu3dNowExt,
  kCpuSse,
  kCpuSse2,
  kCpuSse3,
  kCpuSsse3,
  kCpuSse41,
  kCpuSse42,
  kCpuSse4a,
  kCpuExtEcx11,
  kCpuFeatureCount
};
extern uint8_t g_CpuFeatures[kCpuFeatureCount];

// Processor levels: 1 the plain routines, 2 and 3 the routines that use the
// byte average, maximum and minimum (the two give the same results).
extern int g_PixelLevel;

using ZeroBytesFn = void (*)(void* dst, size_t n);
using FillFn = void (*)(void* dst, size_t n, uint32_t value);
using CopyBytesFn = void (*)(void* dst, const void* src, size_t n);
using RowFn = void (*)(uint8_t* dst, const uint8_t* src, size_t n);
using RowOpacityFn = void (*)(uint8_t* dst, const uint8_t* src, int opacity, size_t n);
using RuleRowFn = void (*)(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int threshold, int softness,
                           size_t n);
using CrossFadeFn = void (*)(uint8_t* dst, const uint8_t* a, const uint8_t* b, int weight, size_t n);
using DownscaleFn = void (*)(uint8_t* dst, const uint8_t* src, size_t strideInPixels, size_t outputPixels);
using RowTwoOpacityFn = void (*)(uint8_t* dst, const uint8_t* src, int dstOpacity, int srcOpacity, size_t n);

// The 26 slots, in slot order.
struct PixelPrimitiveTable {
  ZeroBytesFn mZeroBytes;                     // 0
  FillFn mFillBytes;                          // 1  low byte of value
  FillFn mFillDwords;                         // 2  n/4 words; n mod 4 bytes untouched
  CopyBytesFn mCopyBytes;                     // 3
  RowOpacityFn mBlendRowOpacity;              // 4
  RowFn mBlendRowAlpha;                       // 5
  RowOpacityFn mBlendRowAlphaOpacity;         // 6
  RuleRowFn mBlendRowRuleWeighted;            // 7  weights from g_RuleWeightTable
  CrossFadeFn mCrossFadeRow;                  // 8
  RowFn mAddRowSaturate;                      // 9
  RowOpacityFn mAddRowOpacity;                // 10
  RowFn mAddRowAlpha;                         // 11
  RowOpacityFn mAddRowAlphaOpacity;           // 12
  RowFn mSubtractRowSaturate;                 // 13 source minus destination
  RowFn mMultiplyRow;                         // 14
  RowFn mScreenRow;                           // 15
  RowOpacityFn mScreenRowOpacity;             // 16
  RowFn mLightenRow;                          // 17
  RowFn mDarkenRow;                           // 18
  RowFn mLinearBurnRow;                       // 19
  RowFn mLinearLightRow;                      // 20
  DownscaleFn mDownscale2x2Row;               // 21
  RowFn mAlphaOverRow;                        // 22
  RowOpacityFn mAlphaOverRowSourceOpacity;    // 23
  RowOpacityFn mAlphaOverRowDestOpacity;      // 24
  RowTwoOpacityFn mAlphaOverRowBothOpacity;   // 25
};
constexpr int kPixelPrimitiveSlots = 26;

// Weights of the rule-masked blends (slot 7 and the rule-masked kernels), one
// per mask level. The compositor rebuilds it, opacity included, before it
// posts the jobs of a layer.
extern int32_t g_RuleWeightTable[256];

// The table every caller uses, filled by InitPixelPrimitives.
extern PixelPrimitiveTable g_PixelPrimitives;

// Reads the processor's features into g_CpuFeatures.
void DetectCpuFeatures();
// Detects the features, chooses the level (the SSE and SSE2 settings switches
// may hold it down) and fills g_PixelPrimitives. Safe to call again.
void InitPixelPrimitives();
// The routines of a level (1..3) as the engine runs them (vectorised where
// the processor allows) and as plain reference code; both give the same bytes.
const PixelPrimitiveTable& GetPixelPrimitives(int level);
const PixelPrimitiveTable& GetReferencePrimitives(int level);
