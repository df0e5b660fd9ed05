// Stand-ins until the qcg container, PSD, E-mote and WebP kinds are built:
// each refuses the file as a kind the engine cannot load.
#include "core/errors.h"
#include "core/stand_in.h"
#include "image/image_decoders.h"
#include "image/pixel_buffers.h"

namespace {
int RefuseImageKind(const char* fileName) {
  ReportUnloadableImageKind(fileName);
  return -1;
}
}  // namespace

int RejectPsdImage(ResourceLocation*, LayerRecord*, const char* fileName) {
  STAND_IN();
  return RefuseImageKind(fileName);
}
int DecodeQcgImage(ResourceLocation*, LayerRecord*, const char* fileName) {
  STAND_IN();
  return RefuseImageKind(fileName);
}
int LoadEmoteImage(ResourceLocation*, LayerRecord*, const char* fileName) {
  STAND_IN();
  return RefuseImageKind(fileName);
}
int DecodeWebpImage(ResourceLocation*, LayerRecord*, const char* fileName) {
  STAND_IN();
  return RefuseImageKind(fileName);
}
