// The dispatcher of the numbered effects: clips the region, makes the
// result block, runs the kernel and installs the result in the source or in
// a destination layer.
#include <algorithm>
#include <cstring>

#include "core/object_tree.h"
#include "image/effect_kernels.h"
#include "image/image_operations.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "layer/composition.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"
#include "movie/emote.h"

namespace {

enum EffectNumber : int32_t {
  kEffectBrightness = 1,
  kEffectWeightedBlur = 2,
  kEffectBoxBlurH = 3,
  kEffectBoxBlurV = 4,
  kEffectBoxBlur = 5,
  kEffectShadowWeightedBlur = 6,
  kEffectShadowBoxBlur = 7,
  kEffectCopyWithAttributes = 8,
  kEffectCopy = 9,
  kEffectScatter = 10,
  kEffectMirror = 11,
  kEffectTone = 12,
  kEffectThreshold = 19,
  kEffectMosaic = 20,
  kEffectWaveH = 21,
  kEffectWaveV = 22,
  kEffectWaveBoth = 23,
  kEffectFill = 24,
  kEffectFillAlpha = 25,
  kEffectFillArgb = 26,
  kEffectAlphaRamp = 27,
  kEffectNegative = 28,
  kEffectSaturation = 30,
  kEffectVerticalFlip = 38,
  kEffectSepia = 39,
  kEffectSwirl = 40,
};

bool IsInPlaceEffect(int32_t effect) {
  return effect == kEffectThreshold || (effect >= kEffectFill && effect <= kEffectAlphaRamp);
}

bool IsKnownEffect(int32_t effect) {
  switch (effect) {
    case kEffectBrightness: case kEffectWeightedBlur: case kEffectBoxBlurH: case kEffectBoxBlurV:
    case kEffectBoxBlur: case kEffectShadowWeightedBlur: case kEffectShadowBoxBlur:
    case kEffectCopyWithAttributes: case kEffectCopy: case kEffectScatter: case kEffectMirror: case kEffectTone:
    case kEffectThreshold: case kEffectMosaic: case kEffectWaveH: case kEffectWaveV: case kEffectWaveBoth:
    case kEffectFill: case kEffectFillAlpha: case kEffectFillArgb: case kEffectAlphaRamp: case kEffectNegative:
    case kEffectSaturation: case kEffectVerticalFlip: case kEffectSepia: case kEffectSwirl:
      return true;
    default:
      return false;
  }
}

// The kernel of a new w x h picture from the region.
void RunPictureKernel(int32_t effect, uint8_t* out, const EffectRegion& region, int64_t p1, int64_t p2,
                      int hasAlpha) {
  int32_t w = region.Width();
  int32_t h = region.Height();
  const int64_t whole[4] = {0, 0, int64_t{w} - 1, int64_t{h} - 1};
  switch (effect) {
    case kEffectBrightness: ApplyBrightnessEffect(out, region, p1); break;
    case kEffectWeightedBlur: ApplyWeightedBlurEffect(out, region, p1, hasAlpha); break;
    case kEffectBoxBlurH: ApplyBoxBlurHEffect(out, region, p1, hasAlpha); break;
    case kEffectBoxBlurV: ApplyBoxBlurVEffect(out, region, p1, hasAlpha); break;
    case kEffectBoxBlur: ApplyBoxBlurEffect(out, region, p1, hasAlpha); break;
    case kEffectShadowWeightedBlur: ApplyShadowWeightedBlurEffect(out, region, p1); break;
    case kEffectShadowBoxBlur: ApplyShadowBoxBlurEffect(out, region, p1, hasAlpha); break;
    case kEffectCopyWithAttributes:
    case kEffectCopy: CopyRectRows(out, region); break;
    case kEffectScatter: ApplyScatterEffect(out, region, p1); break;
    case kEffectMirror: ApplyMirrorEffect(out, region); break;
    case kEffectTone:
      // The compositor's kernel over the copied region.
      CopyRectRows(out, region);
      ApplyToneRect(out, out, whole, w, h, static_cast<int32_t>(p1));
      break;
    case kEffectSaturation:
      CopyRectRows(out, region);
      ApplySaturationRect(out, out, whole, w, h, static_cast<int32_t>(p1));
      break;
    case kEffectMosaic: ApplyMosaicEffect(out, region, p1); break;
    case kEffectWaveH:
    case kEffectWaveV:
    case kEffectWaveBoth: ApplyWaveEffect(out, region, p1, p2, effect - 20); break;
    case kEffectNegative: ApplyNegativeEffect(out, region); break;
    case kEffectVerticalFlip: ApplyVerticalFlipEffect(out, region); break;
    case kEffectSepia: ApplySepiaEffect(out, region); break;
    case kEffectSwirl: ApplySwirlEffect(out, region, p1); break;
    default: break;
  }
}

// The in-place kernels over the region of a W x H block; they update
// *hasAlpha where the effect decides the alpha flag.
void RunInPlaceKernel(int32_t effect, uint8_t* block, const EffectRegion& region, int32_t imageWidth, int64_t p1,
                      int64_t p2, int64_t fillType, uint8_t* hasAlpha) {
  switch (effect) {
    case kEffectThreshold: ApplyThresholdEffect(block, region, p1); break;
    case kEffectFill: ApplyFillEffect(block, region, p1, fillType, hasAlpha); break;
    case kEffectFillAlpha: ApplyFillEffect(block, region, p1, 2, hasAlpha); break;
    case kEffectFillArgb: ApplyFillEffect(block, region, p1, 3, hasAlpha); break;
    case kEffectAlphaRamp: ApplyAlphaRampEffect(block, region, imageWidth, p1, p2, hasAlpha); break;
    default: break;
  }
}

// The E-mote player of the source moves with the copy to the destination.
void MovePlayerHandle(LayerRecord* source, LayerRecord* destination) {
  if (source == destination || source->mGpuState != 2 || source->mPlayerHandle == nullptr) return;
  if (destination->mGpuState == 2 && destination->mPlayerHandle != nullptr) ReleaseEmotePlayer(destination);
  destination->mGpuState = 2;
  destination->mPlayerHandle = source->mPlayerHandle;
  for (LayerRecord*& slot : g_EmotePlayers) {
    if (slot == source) slot = destination;
  }
  source->mGpuState = 1;
  source->mPlayerHandle = nullptr;
}

void CopyPathText(char* destination, const char* source) {
  if (destination == nullptr) return;
  if (source == nullptr) {
    destination[0] = '\0';
    return;
  }
  size_t length = strnlen(source, kLayerPathTextBytes - 1);
  std::memcpy(destination, source, length);
  destination[length] = '\0';
}

}  // namespace

void CopyImageAttributes(ObjectTreeNode* source, ObjectTreeNode* destination) {
  LayerRecord* from = LayerRecordOf(source);
  LayerRecord* to = LayerRecordOf(destination);
  if (from == nullptr || to == nullptr || from == to) return;
  to->mVisible = from->mVisible;
  to->mOpacity = from->mOpacity;
  to->mTag1 = from->mTag1;
  to->mTag2 = from->mTag2;
  to->mX = from->mX;
  to->mY = from->mY;
  to->mRuleThreshold = from->mRuleThreshold;
  to->mRuleSoftness = from->mRuleSoftness;
  to->mBlendMode = from->mBlendMode;
  to->mHasAlpha = from->mHasAlpha;
  CopyPathText(to->mRuleLayerPath, from->mRuleLayerPath);
  CopyPathText(to->mSecondLayerPath, from->mSecondLayerPath);
  to->mPosX100 = from->mPosX100;
  to->mPosY100 = from->mPosY100;
  to->mScaleX = from->mScaleX;
  to->mScaleY = from->mScaleY;
  to->mCentreX = from->mCentreX;
  to->mCentreY = from->mCentreY;
  to->mModelX = from->mModelX;
  to->mModelY = from->mModelY;
  to->mExtraParam = from->mExtraParam;
  to->mRotation1 = from->mRotation1;
  to->mRotation2 = from->mRotation2;
  to->mRotation3 = from->mRotation3;
  to->mSaturation2 = from->mSaturation2;
  to->mTone2 = from->mTone2;
  to->mFlag2 = from->mFlag2;
  to->mFade = from->mFade;
  // The destination shows the copied picture, not its own animation.
  ReleaseGifFrames(to);
}

int ApplyLayerEffect(int32_t effect, ObjectTreeNode* source, ObjectTreeNode* destination, int64_t x0, int64_t y0,
                     int64_t x1, int64_t y1, int64_t p1, int64_t p2, int64_t hasDestination, int64_t extra) {
  LayerRecord* record = LayerRecordOf(source);
  // The kernels read the layer's own block, never its toned copy.
  if (record == nullptr || record->mPixelAlloc == nullptr || !IsKnownEffect(effect)) return 0;
  int32_t sourceWidth = record->mBufferWidth;
  int32_t sourceHeight = record->mBufferHeight;
  // The caller clips the region; one that lies outside the picture or is
  // turned inside out does nothing here rather than read outside the block.
  x0 = std::max<int64_t>(x0, 0);
  y0 = std::max<int64_t>(y0, 0);
  x1 = std::min<int64_t>(x1, int64_t{sourceWidth} - 1);
  y1 = std::min<int64_t>(y1, int64_t{sourceHeight} - 1);
  if (x0 > x1 || y0 > y1) return 0;
  EffectRegion region{record->mPixelAlloc, sourceWidth, sourceHeight, x0, y0, x1, y1};
  int32_t w = region.Width();
  int32_t h = region.Height();
  bool inPlace = IsInPlaceEffect(effect);
  LayerRecord* target = hasDestination != 0 ? LayerRecordOf(destination) : nullptr;
  if (hasDestination != 0 && target == nullptr) return 0;

  if (target == nullptr) {
    if (inPlace) {
      RunInPlaceKernel(effect, record->mPixelAlloc, region, std::min(record->mWidth, sourceWidth), p1, p2, extra,
                       &record->mHasAlpha);
      InvalidateLayerToRoot(source);
      return 0;
    }
    uint8_t* block = AllocPixelBuffer(nullptr, w, h, nullptr);
    if (block == nullptr) return -1;
    RunPictureKernel(effect, block, region, p1, p2, record->mHasAlpha);
    InvalidateLayerToRoot(source);
    SetPixelBuffer(record, block, w, h);
    InvalidateLayerToRoot(source);
    return 0;
  }

  int32_t outWidth = inPlace ? sourceWidth : w;
  int32_t outHeight = inPlace ? sourceHeight : h;
  uint8_t* block = AllocPixelBuffer(nullptr, outWidth, outHeight, nullptr);
  if (block == nullptr) return -1;
  // The alpha flag the result gets: the source's, or what a fill or ramp
  // decides for the copy (the source keeps its own).
  uint8_t hasAlpha = record->mHasAlpha;
  if (inPlace) {
    g_PixelPrimitives.mCopyBytes(block, record->mPixelAlloc,
                                 static_cast<size_t>(sourceWidth) * static_cast<size_t>(sourceHeight) * 4);
    RunInPlaceKernel(effect, block, region, std::min(record->mWidth, sourceWidth), p1, p2, extra, &hasAlpha);
  } else {
    RunPictureKernel(effect, block, region, p1, p2, record->mHasAlpha);
  }
  if (effect == kEffectCopyWithAttributes || effect == kEffectCopy) MovePlayerHandle(record, target);
  InvalidateLayerToRoot(destination);
  SetPixelBuffer(target, block, outWidth, outHeight);
  InvalidateLayerToRoot(destination);
  if (effect == kEffectCopyWithAttributes) CopyImageAttributes(source, destination);
  target->mHasAlpha = hasAlpha;
  return 0;
}
