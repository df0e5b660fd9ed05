#pragma once
// The payload record of a layer node. Images own the size, the pixel blocks,
// the alpha flag and the GIF frames; composition owns the dirty bookkeeping
// and the derived pixels; the layer commands own the display attributes;
// rendering owns the GPU state, the tiles and the player handle; the frame
// animation owns mFrameAnimation.
//
// A record may be the payload of several nodes (a layer that shows another
// layer's image): mRefCount counts them, and the record dies with the last.
#include <cstddef>
#include <cstdint>

#include "core/object_tree.h"

struct GifFrame;
struct FrameAnimation;
struct GpuTexture;

// Frames a GIF load may keep on one record.
constexpr int kGifFrameTableSize = 8192;
// The two layer path texts of a record hold this many bytes, terminator
// included.
constexpr size_t kLayerPathTextBytes = 261;
constexpr int kTileSizeEntries = 32;
constexpr int kTileTextureCount = 256;

struct LayerRecord {
  uint8_t mDisplayRoot = 0;  // installed as some window's shown layer set
  int32_t mPrevUnionCount = 0;
  int32_t mUnionCount = 0;
  // Inclusive left, top, right, bottom.
  int64_t mChangedRect[4] = {};
  int64_t mDirtyRect[4] = {};
  uint8_t mDirtyValid = 0;
  uint8_t mDirtyWhole = 0;
  // Path of the rule-mask layer (kLayerPathTextBytes); empty: no mask.
  char* mRuleLayerPath = nullptr;
  int64_t mRefCount = 1;
  int64_t mTag1 = 0;
  int64_t mTag2 = 0;
  int64_t mX = 0;
  int64_t mY = 0;
  int32_t mSaturation = 128;
  int32_t mTone = 0x808080;
  // Current image size in pixels.
  int32_t mWidth = 1;
  int32_t mHeight = 1;
  int16_t mOpacity = 256;        // 0..256
  int16_t mRuleThreshold = 256;  // 256: mask off
  int16_t mRuleSoftness = 0;
  uint8_t mHasAlpha = 0;
  uint8_t mBlendMode = 0;  // 0..18
  uint8_t mVisible = 1;
  uint8_t mPendingVisible = 0;
  uint8_t mPendingVisibleSet = 0;
  int16_t mPendingOpacity = 0;
  uint8_t mPendingOpacitySet = 0;
  // The pixels drawn: mPixelAlloc, or mDerivedPixels while a tone or
  // saturation is active. Blocks hold width*4*(height+1)+4 bytes.
  uint8_t* mPixels = nullptr;
  uint8_t* mPixelAlloc = nullptr;
  uint8_t* mDerivedPixels = nullptr;
  int64_t mDerivedStamp = 0;
  // Size of the installed block's image.
  int32_t mBufferWidth = 1;
  int32_t mBufferHeight = 1;
  uint8_t mDirty = 0;
  uint8_t mShrinkInPlace = 0;
  // kGifFrameTableSize frame pointers; entries past the last frame are null.
  GifFrame** mGifFrames = nullptr;
  FrameAnimation* mFrameAnimation = nullptr;
  uint8_t mGpuState = 0;  // 0 none, 1 texture tiles built, 2 mPlayerHandle held
  uint8_t mTileCountX = 0;
  uint8_t mTileCountY = 0;
  int32_t mTileLimitX = 0;
  int32_t mTileLimitY = 0;
  int32_t mTileWidths[kTileSizeEntries] = {};
  int32_t mTileHeights[kTileSizeEntries] = {};
  // Position in 1/100 pixel, kept equal to mX*100 and mY*100.
  int64_t mPosX100 = 0;
  int64_t mPosY100 = 0;
  int64_t mScaleX = 10000;  // 1/100 percent
  int64_t mScaleY = 10000;
  int64_t mCentreX = 0;  // 1/100 pixel
  int64_t mCentreY = 0;
  int64_t mModelX = 0;
  int64_t mModelY = 0;
  int64_t mExtraParam = 0;
  float mRotation1 = 0;  // 1/100 degree
  float mRotation2 = 0;
  float mRotation3 = 0;
  int32_t mSaturation2 = 128;
  int32_t mTone2 = 0x808080;
  uint8_t mFlag2 = 0;
  // Path of the second-source layer of the GPU effect pass
  // (kLayerPathTextBytes).
  char* mSecondLayerPath = nullptr;
  int16_t mFade = 0;  // 0..256
  GpuTexture* mTileTextures[kTileTextureCount] = {};
  void* mPlayerHandle = nullptr;  // valid while mGpuState is 2
};

// Gives the node a fresh record with the defaults above and empty path
// texts. 0, or 1 after reporting 100010 (fatal); the node then has no record.
int CreateLayerRecord(ObjectTreeNode* node);
// CreateLayerRecord for a node just created; the new record, or null for a
// null node or a failure. A payload the node had is not looked at.
LayerRecord* GetLayerRecord(ObjectTreeNode* node);
// The record a layer node carries; null for a null node or one without.
// Inline: the composition asks it of every layer of every frame.
inline LayerRecord* LayerRecordOf(const ObjectTreeNode* node) {
  return node != nullptr ? static_cast<LayerRecord*>(node->mPayload) : nullptr;
}
// Makes the record the node's payload too and counts the reference; nothing
// when either is missing. Returns 0.
int ShareLayerRecord(ObjectTreeNode* node, LayerRecord* record);
// ShareLayerRecord, then the record; null for a missing node.
LayerRecord* AttachLayerRecord(ObjectTreeNode* node, LayerRecord* record);
// Detaches the node and frees it with its name and index; drops its record
// reference and frees the record with its last node. A window that shows the
// node stops showing it. The node's children must have been released first.
void ReleaseLayerNode(ObjectTreeNode* node);
// Frees the record and everything it holds, whatever its reference count.
void FreeLayerRecord(LayerRecord* record);
// Frees the record's frame animation with its file image; nothing when there
// is none.
void ReleaseFrameAnimation(LayerRecord* record);
