#pragma once
// The per-rectangle kernels of the numbered pixel effects.
//
// Every kernel reads the region (x0, y0)-(x1, y1), inclusive and inside the
// source image, of a source block of W x H pixels (pitch W*4). The kernels
// that make a new picture write a w x h block (w = x1-x0+1, h = y1-y0+1)
// whose pixel (u, v) belongs to source pixel (x0+u, y0+v); the in-place
// kernels change the region of the block they are given, which is W x H.
// Sums are unsigned 32-bit and divisions truncate.
//
// The kernels other than the blurs spread their rows over the pixel workers
// (when they run) in bands; the bytes do not depend on how many run. The
// swirl's distance map is process-wide, so kernels run one at a time.
#include <cstddef>
#include <cstdint>

// The source side every kernel reads.
struct EffectRegion {
  const uint8_t* mSource = nullptr;
  int32_t mSourceWidth = 0;   // W
  int32_t mSourceHeight = 0;  // H
  int64_t mX0 = 0;
  int64_t mY0 = 0;
  int64_t mX1 = 0;
  int64_t mY1 = 0;
  int32_t Width() const { return static_cast<int32_t>(mX1 - mX0 + 1); }
  int32_t Height() const { return static_cast<int32_t>(mY1 - mY0 + 1); }
  const uint8_t* At(int64_t x, int64_t y) const {
    return mSource + (static_cast<size_t>(y) * static_cast<size_t>(mSourceWidth) + static_cast<size_t>(x)) * 4;
  }
};

// Colour kernels (effects 1, 28, 39): one output pixel from one source pixel.
void ApplyBrightnessEffect(uint8_t* out, const EffectRegion& region, int64_t level);
void ApplyNegativeEffect(uint8_t* out, const EffectRegion& region);
void ApplySepiaEffect(uint8_t* out, const EffectRegion& region);

// In-place kernels over the region of a W x H block (effects 19, 24-27).
// `hasAlpha` is the alpha flag the fill and the ramp update.
void ApplyThresholdEffect(uint8_t* block, const EffectRegion& region, int64_t threshold);
void ApplyFillEffect(uint8_t* block, const EffectRegion& region, int64_t colour, int64_t type, uint8_t* hasAlpha);
// The ramp covers the rows of the region across the whole image width
// `imageWidth` (the record's width, at most W).
void ApplyAlphaRampEffect(uint8_t* block, const EffectRegion& region, int32_t imageWidth, int64_t positionA,
                          int64_t positionB, uint8_t* hasAlpha);

// Copies and geometry (effects 8, 9, 11, 38).
void CopyRectRows(uint8_t* out, const EffectRegion& region);
void ApplyMirrorEffect(uint8_t* out, const EffectRegion& region);
void ApplyVerticalFlipEffect(uint8_t* out, const EffectRegion& region);

// Blurs (effects 2-7): radius below 1 counts as 1.
void ApplyBoxBlurHEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha);
void ApplyBoxBlurVEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha);
void ApplyBoxBlurEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha);
void ApplyShadowBoxBlurEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha);
void ApplyWeightedBlurEffect(uint8_t* out, const EffectRegion& region, int64_t radius, int hasAlpha);
void ApplyShadowWeightedBlurEffect(uint8_t* out, const EffectRegion& region, int64_t radius);
// The weights of the weighted blurs: table[0..2r] for radius r (r >= 1).
void BuildBlurWeights(uint32_t* table, int64_t radius);

// Cells, scatter, waves and swirl (effects 10, 20, 21-23, 40).
void ApplyMosaicEffect(uint8_t* out, const EffectRegion& region, int64_t cellSize);
// The scatter draws from the runtime generator, block by block as its
// sweeps run, and leaves it where that drawing does.
void ApplyScatterEffect(uint8_t* out, const EffectRegion& region, int64_t twicePasses);
// type 1 horizontal, 2 vertical, 3 both; any other type copies.
void ApplyWaveEffect(uint8_t* out, const EffectRegion& region, int64_t amplitude, int64_t phase, int type);
void ApplySwirlEffect(uint8_t* out, const EffectRegion& region, int64_t tenthsOfDegree);

// Forgets the swirl's cached distance map.
void ResetEffectKernelState();

struct ObjectTreeNode;
// Effect 8 with a destination: the display attributes of the source record
// go to the destination's, whose GIF frames are dropped.
void CopyImageAttributes(ObjectTreeNode* source, ObjectTreeNode* destination);

// Margins: source pixel (sx, sy) goes to canvas pixel (sx+left, sy+top);
// negative margins cut the source, positive ones leave the canvas around it.
void CopyIntoCanvas(uint8_t* canvas, int32_t canvasWidth, const uint8_t* source, int32_t sourceWidth,
                    int32_t sourceHeight, int64_t left, int64_t top, int64_t right, int64_t bottom);
