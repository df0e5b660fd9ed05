// Stand-ins until the image operations are built: each leaves the images as
// they are and reports success.
#include "core/stand_in.h"
#include "image/image_operations.h"

int ApplyLayerEffect(int32_t, ObjectTreeNode*, ObjectTreeNode*, int64_t, int64_t, int64_t, int64_t, int64_t, int64_t,
                     int64_t, int64_t) {
  STAND_IN();
  return 0;
}
int ResizeImage(ObjectTreeNode*, ObjectTreeNode*, int64_t, int64_t, int64_t, int64_t, int64_t, int64_t, int64_t,
                int32_t) {
  STAND_IN();
  return 0;
}
int RotateImage(ObjectTreeNode*, ObjectTreeNode*, int64_t, int32_t, int64_t) {
  STAND_IN();
  return 0;
}
int RotateImageSmooth(ObjectTreeNode*, ObjectTreeNode*, int64_t, int64_t) {
  STAND_IN();
  return 0;
}
int CopyImageRect(ObjectTreeNode*, ObjectTreeNode*, int64_t, int64_t) {
  STAND_IN();
  return 0;
}
int BlendImageRect(ObjectTreeNode*, ObjectTreeNode*, int64_t, int64_t) {
  STAND_IN();
  return 0;
}
int CrossFadeImageRect(ObjectTreeNode*, ObjectTreeNode*, ObjectTreeNode*, int64_t, int64_t, int64_t) {
  STAND_IN();
  return 0;
}
int KeepDifferingPixels(ObjectTreeNode*, ObjectTreeNode*, int64_t, int64_t) {
  STAND_IN();
  return 0;
}
int KeepEqualPixels(ObjectTreeNode*, ObjectTreeNode*, int64_t, int64_t) {
  STAND_IN();
  return 0;
}
int AutoCropImage(ObjectTreeNode*, ObjectTreeNode*, int64_t, int64_t, int64_t) {
  STAND_IN();
  return 0;
}
int AddImageMargins(ObjectTreeNode*, ObjectTreeNode*, int64_t, int64_t, int64_t, int64_t, int64_t) {
  STAND_IN();
  return 0;
}
