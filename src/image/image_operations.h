#pragma once
// Whole-image operations on layer nodes that the image operation command
// dispatches: the numbered pixel effects, resizing, rotation, the rectangle
// combinations, auto-crop and margins. Each works on the records' own pixel
// blocks and installs a new block where the size changes. Results: 0 done,
// -1 when a pixel block could not be made (already reported).
#include <cstdint>

struct ObjectTreeNode;

// Applies effect number `effect` to the region (x0, y0)-(x1, y1), inclusive
// and already clipped to the source, either in the source or, when
// `hasDestination` is non-zero, into `destination`. `extra` is the fill type
// of the fill effects and 0 otherwise.
int ApplyLayerEffect(int32_t effect, ObjectTreeNode* source, ObjectTreeNode* destination, int64_t x0, int64_t y0,
                     int64_t x1, int64_t y1, int64_t p1, int64_t p2, int64_t hasDestination, int64_t extra);

// Scales the region X0..X1, Y0..Y1 (hundredths of a pixel, inclusive) to
// targetWidth x targetHeight (hundredths) with resampling mode `mode`.
int ResizeImage(ObjectTreeNode* source, ObjectTreeNode* destination, int64_t x0, int64_t y0, int64_t x1, int64_t y1,
                int64_t targetWidth, int64_t targetHeight, int64_t intoDestination, int32_t mode);

// Rotation inside the image's own canvas, by `angle` degrees; `type` 11 or 12
// picks the nearest-neighbour variant.
int RotateImage(ObjectTreeNode* source, ObjectTreeNode* destination, int64_t intoDestination, int32_t type,
                int64_t angle);
int RotateImageSmooth(ObjectTreeNode* source, ObjectTreeNode* destination, int64_t intoDestination, int64_t angle);

// Rectangle combinations of the source placed at (x, y) in the target.
int CopyImageRect(ObjectTreeNode* source, ObjectTreeNode* target, int64_t x, int64_t y);
int BlendImageRect(ObjectTreeNode* source, ObjectTreeNode* target, int64_t x, int64_t y);
int CrossFadeImageRect(ObjectTreeNode* first, ObjectTreeNode* second, ObjectTreeNode* output, int64_t x, int64_t y,
                       int64_t weight);
int KeepDifferingPixels(ObjectTreeNode* source, ObjectTreeNode* target, int64_t x, int64_t y);
int KeepEqualPixels(ObjectTreeNode* source, ObjectTreeNode* target, int64_t x, int64_t y);

// Crops to the pixels whose alpha passes `threshold` on the sides chosen by
// `sides` (8 top, 4 bottom, 2 left, 1 right).
int AutoCropImage(ObjectTreeNode* source, ObjectTreeNode* destination, int64_t intoDestination, int64_t sides,
                  int64_t threshold);

// Adds (or, when negative, removes) margins around the image.
int AddImageMargins(ObjectTreeNode* source, ObjectTreeNode* destination, int64_t intoDestination, int64_t left,
                    int64_t right, int64_t top, int64_t bottom);
