#include "layer/composition.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/errors.h"
#include "core/message_ids.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "core/window_table.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"
#include "render/gpu_frame.h"

uint8_t g_WindowPresentRequest[4] = {};

namespace {

constexpr int32_t kNeutralTone = 0x808080;
constexpr int32_t kNeutralSaturation = 128;

WindowObject* WindowAt(int window) {
  return window >= 0 && window < kWindowCount ? g_WindowTable[window] : nullptr;
}

// The window shows nothing this frame: no shown set, no canvas, not shown,
// or its shown set hidden.
bool IsWindowHidden(const WindowObject* window) {
  if (window == nullptr || window->mShownLayerSet == nullptr || window->mCanvas == nullptr) return true;
  const LayerRecord* root = LayerRecordOf(window->mShownLayerSet);
  return window->mDisplayState == 0 || root == nullptr || root->mVisible == 0;
}

bool IsSizeless(const LayerRecord* record) { return record->mWidth <= 0 || record->mHeight <= 0; }

bool HasRulePath(const LayerRecord* record) {
  return record->mRuleLayerPath != nullptr && record->mRuleLayerPath[0] != '\0';
}

// Drawn by the processor at all: visible, not transparent, its mask not
// closed, not drawn by the GPU.
bool IsDrawable(const LayerRecord* record) {
  return record->mVisible != 0 && record->mOpacity != 0 && !(HasRulePath(record) && record->mRuleThreshold == 0) &&
         record->mGpuState == 0;
}

void Intersect(int64_t rect[4], const int64_t clip[4]) {
  rect[0] = std::max(rect[0], clip[0]);
  rect[1] = std::max(rect[1], clip[1]);
  rect[2] = std::min(rect[2], clip[2]);
  rect[3] = std::min(rect[3], clip[3]);
}

BlitGeometry ClipAgainst(int64_t x, int64_t y, int64_t width, int64_t height, const int64_t rect[4]) {
  BlitGeometry geometry;
  geometry.mSrcX = x;
  geometry.mSrcY = y;
  geometry.mWidth = width;
  geometry.mHeight = height;
  geometry.mClipX = rect[0];
  geometry.mClipY = rect[1];
  geometry.mClipWidth = rect[2] - rect[0] + 1;
  geometry.mClipHeight = rect[3] - rect[1] + 1;
  ClipBlitRect(&geometry);
  return geometry;
}

// Both axes of the same rule: code bit 1 = starts before the clip, bit 0 =
// ends after it.
void ClipAxis(int64_t source, int64_t size, int64_t clip, int64_t clipSize, uint8_t* code, int64_t* offset,
              int64_t* destination, int64_t* outSize) {
  int64_t end = source + size;
  int64_t clipEnd = clip + clipSize;
  *code = static_cast<uint8_t>((source < clip ? 2 : 0) | (end > clipEnd ? 1 : 0));
  switch (*code) {
    case 0: *outSize = size; *offset = 0; *destination = source; break;
    case 1: *outSize = clipEnd - source; *offset = 0; *destination = source; break;
    case 2: *outSize = end - clip; *offset = clip - source; *destination = clip; break;
    default: *outSize = clipSize; *offset = clip - source; *destination = clip; break;
  }
}

void PostBlend(int32_t code, LayerRecord* destination, LayerRecord* source, LayerRecord* mask,
               const BlitGeometry* geometry) {
  if (destination == nullptr || source == nullptr || geometry->mOutWidth < 1 || geometry->mOutHeight < 1) return;
  RunBlendJobs(code, destination, source, mask, geometry->mSrcOffsetX, geometry->mSrcOffsetY, geometry->mDstX,
               geometry->mDstY, static_cast<int32_t>(geometry->mOutWidth), geometry->mOutHeight);
}

// The layer's rule-mask node: null for none (no path, a missing layer, a
// layer without a record or pixels); false when the path cannot be used
// (reported).
bool FindRuleMask(const LayerRecord* record, ObjectTreeNode** maskNode) {
  *maskNode = nullptr;
  if (!HasRulePath(record)) return true;
  char path[kObjectPathBytes];
  if (NormalizeObjectPath(path, record->mRuleLayerPath, g_LayerPathBase, 0) < 0) return false;
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, path, kPathLeaf);
  const LayerRecord* found = LayerRecordOf(node);
  if (found != nullptr && found->mPixels != nullptr) *maskNode = node;
  return true;
}

// Tone and saturation once per frame into the derived block; back to the
// plain pixels when both are neutral. False after a report.
bool PrepareDerivedPixels(LayerRecord* record) {
  bool tone = record->mTone != kNeutralTone;
  bool saturation = record->mSaturation != kNeutralSaturation;
  if (!tone && !saturation) {
    if (record->mPixelAlloc != nullptr && record->mPixels == record->mDerivedPixels) {
      record->mPixels = record->mPixelAlloc;
    }
    return true;
  }
  const uint8_t* plain = record->mPixelAlloc;
  if (plain == nullptr) return true;
  // Already made this frame (a record shown by two nodes, or a group
  // recomposed twice): applying it again would tone toned pixels.
  if (record->mDerivedStamp == g_FrameCounter && record->mDerivedPixels != nullptr &&
      record->mPixels == record->mDerivedPixels) {
    return true;
  }
  uint8_t* derived = AllocPixelBuffer(record->mDerivedPixels, record->mWidth, record->mHeight, nullptr);
  if (derived == nullptr) return false;
  record->mDerivedPixels = derived;
  int64_t whole[4] = {0, 0, static_cast<int64_t>(record->mWidth) - 1, static_cast<int64_t>(record->mHeight) - 1};
  const uint8_t* from = plain;
  if (tone) {
    ApplyToneRect(derived, from, whole, record->mWidth, record->mHeight, record->mTone);
    from = derived;
  }
  if (saturation) ApplySaturationRect(derived, from, whole, record->mWidth, record->mHeight, record->mSaturation);
  record->mPixels = derived;
  record->mDerivedStamp = g_FrameCounter;
  return true;
}

const char* NameOf(const ObjectTreeNode* node) { return node->mName != nullptr ? node->mName : ""; }

// Blends one child with the job its alpha and mask call for. False after a
// report.
bool BlendChild(LayerRecord* destination, ObjectTreeNode* child, LayerRecord* record, ObjectTreeNode* maskNode,
                BlitGeometry* geometry) {
  LayerRecord* mask = LayerRecordOf(maskNode);
  bool useMask = mask != nullptr && (record->mHasAlpha != 0 ? record->mRuleThreshold < 256
                                                            : record->mRuleThreshold <= 255);
  if (useMask) {
    if (mask->mWidth != record->mWidth || mask->mHeight != record->mHeight) {
      ReportErrorFmt(kMsgRuleMaskSizeMismatch, NameOf(child), record->mWidth, record->mHeight, NameOf(maskNode),
                     mask->mWidth, mask->mHeight);
      return false;
    }
    // The mask rows are read at the source's coordinates: never past the
    // mask's own end.
    geometry->mOutWidth = std::min<int64_t>(geometry->mOutWidth, mask->mWidth - geometry->mSrcOffsetX);
    geometry->mOutHeight = std::min<int64_t>(geometry->mOutHeight, mask->mHeight - geometry->mSrcOffsetY);
    BuildRuleWeights(record);
    if (record->mHasAlpha != 0) {
      PostRuleAlphaBlendJobs(destination, record, mask, geometry);
    } else {
      PostRuleBlendJobs(destination, record, mask, geometry);
    }
    return true;
  }
  if (record->mHasAlpha != 0) {
    PostAlphaBlendJobs(destination, record, geometry);
  } else {
    PostOpaqueBlendJobs(destination, record, geometry);
  }
  return true;
}

// The topmost child that hides everything below it over the target
// rectangle (in the child's parent coordinates, shifted by originX/Y):
// visible, plain, fully opaque, unmasked, and covering it. Groups only
// qualify when they are blended as a canvas of their own.
ObjectTreeNode* FindStartingChild(ObjectTreeNode* group, const int64_t target[4], int64_t originX, int64_t originY,
                                  bool haveTarget, bool flat) {
  for (ObjectTreeNode* child = group->mLastChild; child != nullptr; child = child->mPrevSibling) {
    const LayerRecord* record = LayerRecordOf(child);
    if (record == nullptr || (flat && child->mIsGroup != 0)) continue;
    if (record->mVisible != 1 || record->mBlendMode != 0 || record->mOpacity != 256 || record->mHasAlpha != 0) {
      continue;
    }
    if (HasRulePath(record) && record->mRuleThreshold != 256) continue;
    if (!haveTarget) continue;
    int64_t left = originX + record->mX;
    int64_t top = originY + record->mY;
    int64_t right = left + record->mWidth - 1;
    int64_t bottom = top + record->mHeight - 1;
    if (left <= target[0] && top <= target[1] && right >= target[2] && bottom >= target[3]) return child;
  }
  return nullptr;
}

void FillZero(LayerRecord* record, const int64_t rect[4]) {
  if (record->mPixels == nullptr || IsSizeless(record)) return;
  int64_t area[4] = {std::max<int64_t>(rect[0], 0), std::max<int64_t>(rect[1], 0),
                     std::min<int64_t>(rect[2], record->mWidth - 1), std::min<int64_t>(rect[3], record->mHeight - 1)};
  if (area[0] > area[2] || area[1] > area[3]) return;
  size_t bytes = static_cast<size_t>(area[2] - area[0] + 1) * 4;
  for (int64_t y = area[1]; y <= area[3]; ++y) {
    std::memset(record->mPixels + (static_cast<size_t>(y) * record->mWidth + static_cast<size_t>(area[0])) * 4, 0,
                bytes);
  }
}

}  // namespace

void ClipBlitRect(BlitGeometry* g) {
  ClipAxis(g->mSrcX, g->mWidth, g->mClipX, g->mClipWidth, &g->mCodeX, &g->mSrcOffsetX, &g->mDstX, &g->mOutWidth);
  ClipAxis(g->mSrcY, g->mHeight, g->mClipY, g->mClipHeight, &g->mCodeY, &g->mSrcOffsetY, &g->mDstY, &g->mOutHeight);
}

void PostOpaqueBlendJobs(LayerRecord* destination, LayerRecord* source, const BlitGeometry* geometry) {
  PostBlend(JOB_BLEND_ROWS, destination, source, nullptr, geometry);
}

void PostRuleBlendJobs(LayerRecord* destination, LayerRecord* source, LayerRecord* mask,
                       const BlitGeometry* geometry) {
  PostBlend(JOB_BLEND_ROWS_MASKED, destination, source, mask, geometry);
}

void PostAlphaBlendJobs(LayerRecord* destination, LayerRecord* source, const BlitGeometry* geometry) {
  PostBlend(JOB_BLEND_ROWS_ALPHA, destination, source, nullptr, geometry);
}

void PostRuleAlphaBlendJobs(LayerRecord* destination, LayerRecord* source, LayerRecord* mask,
                            const BlitGeometry* geometry) {
  PostBlend(JOB_BLEND_ROWS_MASKED_ALPHA, destination, source, mask, geometry);
}

void BuildRuleWeights(const LayerRecord* record) {
  int opacity = std::clamp<int>(record->mOpacity, 0, 256);
  int t = record->mRuleThreshold;
  int s = record->mRuleSoftness;
  for (int i = 0; i < 256; ++i) {
    int weight = 0;
    if (s == 256) {
      weight = i >= 256 - t ? 256 : 0;
    } else {
      int e = (s >> 1) * t - s * 128 + t + ((i * s) >> 1);
      weight = std::min(e, 255) + 1;
    }
    g_RuleWeightTable[i] = (weight * opacity) >> 8;
  }
}

void UnionChangedRect(LayerRecord* record) {
  if (record->mDirtyWhole != 0) {
    record->mDirtyWhole = 0;
    record->mChangedRect[0] = 0;
    record->mChangedRect[1] = 0;
    record->mChangedRect[2] = static_cast<int64_t>(record->mWidth) - 1;
    record->mChangedRect[3] = static_cast<int64_t>(record->mHeight) - 1;
    return;
  }
  record->mChangedRect[0] = std::min(record->mChangedRect[0], record->mDirtyRect[0]);
  record->mChangedRect[1] = std::min(record->mChangedRect[1], record->mDirtyRect[1]);
  record->mChangedRect[2] = std::max(record->mChangedRect[2], record->mDirtyRect[2]);
  record->mChangedRect[3] = std::max(record->mChangedRect[3], record->mDirtyRect[3]);
}

int CompositeLayerGroup(ObjectTreeNode* group, int window, int nested, int depth, int64_t originX, int64_t originY,
                        const int64_t clip[4], int ownCanvas) {
  LayerRecord* record = LayerRecordOf(group);
  if (record == nullptr) return 0;
  bool flat = g_RedrawOption != 0 && window >= 0 && window < kWindowCount && ownCanvas == 0;
  LayerRecord* destination = record;
  if (flat) {
    WindowObject* object = WindowAt(window);
    destination = object != nullptr ? LayerRecordOf(object->mShownLayerSet) : nullptr;
    if (destination == nullptr) return 0;
  }
  bool sizeless = IsSizeless(record);
  if (!sizeless && record->mPixels == nullptr) return 0;
  record->mHasAlpha = flat ? 1 : static_cast<uint8_t>(nested == 0 ? 1 : 0);
  bool nestedFlat = flat && depth > 0;
  if (!sizeless && !nestedFlat && record->mDirtyValid == 0) return 0;
  if (!sizeless) {
    if (nestedFlat) {
      // The window's dirty area was cleared (or is redrawn from an opaque
      // layer) wherever it lies: the members are redrawn over all of the
      // group's part of it, whatever the group's own rectangle says.
      std::copy(clip, clip + 4, record->mDirtyRect);
    } else {
      Intersect(record->mDirtyRect, clip);
    }
    int64_t bounds[4] = {0, 0, static_cast<int64_t>(record->mWidth) - 1, static_cast<int64_t>(record->mHeight) - 1};
    Intersect(record->mDirtyRect, bounds);
  }
  UnionChangedRect(record);
  const int64_t* dirty = record->mDirtyRect;
  const int64_t* rootDirty = destination->mDirtyRect;

  // Everything below the topmost covering child is hidden by it.
  ObjectTreeNode* start = nullptr;
  if (!sizeless) {
    start = FindStartingChild(group, dirty, 0, 0, true, flat);
  } else if (flat) {
    start = FindStartingChild(group, rootDirty, originX, originY, true, flat);
  }
  if (start == nullptr) {
    start = group->mFirstChild;
    if (!nestedFlat && !sizeless) FillZero(record, dirty);
  }

  for (ObjectTreeNode* child = start; child != nullptr; child = child->mNextSibling) {
    LayerRecord* layer = LayerRecordOf(child);
    if (layer == nullptr) continue;
    if (child->mIsGroup != 0) {
      int64_t childClip[4] = {0, 0, static_cast<int64_t>(layer->mWidth) - 1, static_cast<int64_t>(layer->mHeight) - 1};
      bool inside = true;
      if (!sizeless && !IsSizeless(layer)) {
        BlitGeometry part = ClipAgainst(layer->mX, layer->mY, layer->mWidth, layer->mHeight, dirty);
        childClip[0] = part.mSrcOffsetX;
        childClip[1] = part.mSrcOffsetY;
        childClip[2] = part.mSrcOffsetX + part.mOutWidth - 1;
        childClip[3] = part.mSrcOffsetY + part.mOutHeight - 1;
        inside = part.mOutWidth >= 1 && part.mOutHeight >= 1;
      }
      if (inside || !flat) {
        if (CompositeLayerGroup(child, window, 1, depth + 1, originX + layer->mX, originY + layer->mY, childClip,
                                ownCanvas) != 0) {
          return -1;
        }
      }
      if (flat) continue;
    }
    if (!IsDrawable(layer)) continue;
    if (!sizeless) {
      if (layer->mX > dirty[2] || layer->mY > dirty[3] || layer->mX + layer->mWidth <= dirty[0] ||
          layer->mY + layer->mHeight <= dirty[1]) {
        continue;
      }
    }
    BlitGeometry geometry;
    if (!flat) {
      if (sizeless) continue;  // no canvas to draw into
      geometry = ClipAgainst(layer->mX, layer->mY, layer->mWidth, layer->mHeight, dirty);
    } else if (sizeless) {
      geometry = ClipAgainst(originX + layer->mX, originY + layer->mY, layer->mWidth, layer->mHeight, rootDirty);
    } else {
      BlitGeometry inGroup = ClipAgainst(layer->mX, layer->mY, layer->mWidth, layer->mHeight, dirty);
      if (inGroup.mOutWidth < 1 || inGroup.mOutHeight < 1) continue;
      geometry = ClipAgainst(originX + inGroup.mDstX, originY + inGroup.mDstY, inGroup.mOutWidth,
                             inGroup.mOutHeight, rootDirty);
      geometry.mSrcOffsetX += inGroup.mSrcOffsetX;
      geometry.mSrcOffsetY += inGroup.mSrcOffsetY;
    }
    if (geometry.mOutWidth < 1 || geometry.mOutHeight < 1) continue;
    ObjectTreeNode* maskNode = nullptr;
    if (!FindRuleMask(layer, &maskNode)) return -1;
    if (layer->mPixels == nullptr) continue;
    if (!PrepareDerivedPixels(layer)) return -1;
    if (!BlendChild(destination, child, layer, maskNode, &geometry)) return -1;
  }
  return 0;
}

int RedrawLayerGroup(ObjectTreeNode* group) {
  LayerRecord* record = LayerRecordOf(group);
  if (record == nullptr) return 0;
  int64_t clip[4] = {0, 0, static_cast<int64_t>(record->mWidth) - 1, static_cast<int64_t>(record->mHeight) - 1};
  return CompositeLayerGroup(group, -1, 1, 0, 0, 0, clip, 1);
}

namespace {

// The whole of a window's root is to be redrawn.
void MarkRootWholeDirty(LayerRecord* root) {
  root->mDirtyWhole = 1;
  root->mDirtyValid = 1;
  root->mDirty = 1;
  root->mDirtyRect[0] = 0;
  root->mDirtyRect[1] = 0;
  root->mDirtyRect[2] = static_cast<int64_t>(root->mWidth) - 1;
  root->mDirtyRect[3] = static_cast<int64_t>(root->mHeight) - 1;
}

}  // namespace

void FlagWindowLayerFullyDirty(int window) {
  WindowObject* object = WindowAt(window);
  LayerRecord* root = object != nullptr ? LayerRecordOf(object->mShownLayerSet) : nullptr;
  if (root == nullptr) return;
  MarkRootWholeDirty(root);
  // Later unions of this frame grow the whole area instead of replacing it.
  if (root->mUnionCount == 0) root->mUnionCount = 1;
}

int RenderWindowLayers(int window) {
  WindowObject* object = WindowAt(window);
  if (IsWindowHidden(object)) return g_QuitFlag.load();
  object->mDrawn = 1;
  LayerRecord* root = LayerRecordOf(object->mShownLayerSet);
  if (root->mDirty == 0) return g_QuitFlag.load();
  // The GPU frame of the main window lands in the capture layer, which the
  // composite below then shows; the whole window is redrawn after it.
  if (window == 0 && g_GpuDrawing != 0 && g_GpuRedrawRequest != 0) {
    g_GpuRedrawRequest = 0;
    MarkRootWholeDirty(root);
    RenderFrameGpu();
    if (g_GpuCompose != 0) return g_QuitFlag.load();
  }
  int64_t clip[4] = {0, 0, static_cast<int64_t>(root->mWidth) - 1, static_cast<int64_t>(root->mHeight) - 1};
  if (CompositeLayerGroup(object->mShownLayerSet, window, 0, 0, 0, 0, clip, 0) != 0) return -1;
  return g_QuitFlag.load();
}

int PresentWindowCpu(int window) {
  WindowObject* object = WindowAt(window);
  if (window >= 0 && window < kWindowCount) {
    if (IsWindowHidden(object)) {
      if (object != nullptr && (object->mDrawn != 0 || g_RedrawOption == 1)) {
        object->mDrawn = 0;
        g_WindowPresentRequest[window] = kPresentBlack;
      }
    } else if (LayerRecordOf(object->mShownLayerSet)->mDirty != 0) {
      object->mDrawn = 1;
      g_WindowPresentRequest[window] = kPresentRepaint;
    }
  }
  return g_QuitFlag.load();
}
