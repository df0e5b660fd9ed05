#pragma once
// Blend modes: the product tables, the per-mode lookup tables and the row
// blend kernels the compositor runs through the pixel workers.
#include <cstddef>
#include <cstdint>

enum BlendMode : uint8_t {
  BLEND_NORMAL = 0,
  BLEND_ADD = 1,
  BLEND_SUBTRACT = 2,
  BLEND_MULTIPLY = 3,
  BLEND_DIVIDE = 4,
  BLEND_SCREEN = 5,
  BLEND_LIGHTEN = 6,
  BLEND_DARKEN = 7,
  BLEND_DIFFERENCE = 8,
  BLEND_EXCLUSION = 9,
  BLEND_OVERLAY = 10,
  BLEND_COLOR_DODGE = 11,
  BLEND_COLOR_BURN = 12,
  BLEND_LINEAR_BURN = 13,
  BLEND_HARD_LIGHT = 14,
  BLEND_SOFT_LIGHT = 15,
  BLEND_VIVID_LIGHT = 16,
  BLEND_LINEAR_LIGHT = 17,
  BLEND_PIN_LIGHT = 18,
};
constexpr int kBlendModeCount = 19;
// Entry = mode * 2 + (opacity >> 8): the odd entry serves opacity 256.
constexpr int kBlendKernelEntries = kBlendModeCount * 2;

// Groups 0 (source without alpha) and 1 (source with alpha); n in bytes.
using BlendKernel = void (*)(uint8_t* dst, const uint8_t* src, int opacity, size_t n);
// Groups 2 (rule-masked) and 3 (rule-masked, source with alpha). The mask row
// runs parallel to the source row.
using RuleBlendKernel = void (*)(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int threshold, int softness,
                                 size_t n);

struct BlendKernelTable {
  BlendKernel mPlain[kBlendKernelEntries];
  BlendKernel mAlpha[kBlendKernelEntries];
  RuleBlendKernel mMasked[kBlendKernelEntries];
  // Only the even entries are filled; the masked-alpha job always takes them.
  RuleBlendKernel mMaskedAlpha[kBlendKernelEntries];
};
extern BlendKernelTable g_BlendKernels;
// The same kernels as plain code, one byte or pixel at a time: they define the
// bytes; the kernels the engine runs (vectorised where the processor allows)
// give exactly the same.
extern BlendKernelTable g_PlainBlendKernels;

// The product tables: for c = 0..256 and x = -255..256 (index x + 255),
// trunc(c*x/255) and trunc(c*x/256); and the byte table trunc(c*s/255).
struct ProductTables {
  int16_t mDiv255[257][512];
  int16_t mDiv256[257][512];
  uint8_t mByteDiv255[256][256];
};
extern ProductTables g_ProductTables;

// Built by InitBlendKernels. A mode table is indexed [source][destination].
struct BlendLookupTables {
  uint8_t mAddClamp[511];       // min(x, 255)
  uint8_t mSubtractClamp[511];  // max(0, x - 255)
  uint16_t mReciprocal[256][256];  // floor(256*b/a); row 0 all 0
  uint8_t mMode[kBlendModeCount][256][256];
};
extern BlendLookupTables g_BlendLookupTables;

void InitProductTables();
// Fills the kernel tables and builds the lookup tables. Needs the product
// tables; which vector kernels the processor runs is asked of it directly, so
// the processor features need not be detected first. The kernels that forward
// to the row primitives read the primitive table when they run.
void InitBlendKernels();
