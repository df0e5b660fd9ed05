#pragma once
// Layer commit, dirty rectangles, composition and presentation of windows.
#include <cstdint>

struct ObjectTreeNode;
struct LayerRecord;

// The first child of the layer root: the window groups.
ObjectTreeNode* GetFirstLayerChild();
// Applies pending visibility and opacity over a sibling list and the groups
// below it, invalidating what changed.
void CommitLayerState(ObjectTreeNode* node);
// After the windows were presented: resets the dirty bookkeeping of every
// group of a sibling list and below it, and of the four window canvases.
void ResetDirtyRects(ObjectTreeNode* node);

// Recomposes the window's shown layer set over its root's dirty rectangle
// into the root's pixels. -1 when the composite failed (reported), else the
// quit flag.
int RenderWindowLayers(int window);
// What the window side does with a window after this frame's drawing.
enum WindowPresentRequest : uint8_t {
  kPresentNone = 0,
  kPresentBlack = 1,    // hidden: the client area is painted black
  kPresentRepaint = 2,  // changed: the whole client area is repainted
};
// Set by PresentWindowCpu; the window side takes (and clears) it.
extern uint8_t g_WindowPresentRequest[4];
// Requests the presentation of a drawn window; returns the quit flag.
int PresentWindowCpu(int window);
// Marks the root layer of a window as changed over its whole area.
void FlagWindowLayerFullyDirty(int window);

// One blit: the source's top-left pixel at (mSrcX, mSrcY) in the clip's
// coordinates, clipped against the clip rectangle. A result side below 1
// means nothing to draw.
struct BlitGeometry {
  int64_t mSrcX = 0;
  int64_t mSrcY = 0;
  int64_t mWidth = 0;
  int64_t mHeight = 0;
  int64_t mClipX = 0;
  int64_t mClipY = 0;
  int64_t mClipWidth = 0;
  int64_t mClipHeight = 0;
  // Results.
  uint8_t mCodeY = 0;
  uint8_t mCodeX = 0;
  int64_t mSrcOffsetX = 0;
  int64_t mSrcOffsetY = 0;
  int64_t mDstX = 0;
  int64_t mDstY = 0;
  int64_t mOutWidth = 0;
  int64_t mOutHeight = 0;
};
void ClipBlitRect(BlitGeometry* geometry);

// Composites a group. window: 0..3, or -1 for the group's own canvas; nested:
// 0 for a window's root; origin: where the group's (0,0) lies in the window;
// clip: inclusive, in the group's coordinates. 0, or -1 after a report.
int CompositeLayerGroup(ObjectTreeNode* group, int window, int nested, int depth, int64_t originX, int64_t originY,
                        const int64_t clip[4], int ownCanvas);
// Recomposes a group into its own canvas; 0 for a missing node or record.
int RedrawLayerGroup(ObjectTreeNode* group);

// The band jobs of one blit: the destination rows of the clipped height are
// split over the pixel workers; each returns when every band is done.
void PostOpaqueBlendJobs(LayerRecord* destination, LayerRecord* source, const BlitGeometry* geometry);
void PostRuleBlendJobs(LayerRecord* destination, LayerRecord* source, LayerRecord* mask,
                       const BlitGeometry* geometry);
void PostAlphaBlendJobs(LayerRecord* destination, LayerRecord* source, const BlitGeometry* geometry);
void PostRuleAlphaBlendJobs(LayerRecord* destination, LayerRecord* source, LayerRecord* mask,
                            const BlitGeometry* geometry);
// Fills g_RuleWeightTable for the record's threshold, softness and opacity.
void BuildRuleWeights(const LayerRecord* record);
// The changed rectangle takes in the dirty rectangle (or the whole record
// when it is flagged whole-dirty, which clears the flag).
void UnionChangedRect(LayerRecord* record);

// Tone 0xRRGGBB (0x808080 neutral) and saturation 0..256 (128 neutral) over
// an inclusive rectangle of two blocks of width x height; alpha is copied.
// Source and destination may be the same block.
void ApplyToneRect(uint8_t* destination, const uint8_t* source, const int64_t rect[4], int32_t width,
                   int32_t height, int32_t tone);
void ApplySaturationRect(uint8_t* destination, const uint8_t* source, const int64_t rect[4], int32_t width,
                         int32_t height, int32_t saturation);
