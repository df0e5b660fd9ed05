// Stand-ins until the WebP codec binding is built.
#include "image/webp_codec.h"
#include "image/pixel_buffers.h"

void LoadWebpCodec() {}
void ReleaseWebpCodec() {}

// Stand-ins until the qcg container, PSD, E-mote and WebP kinds are built:
// each refuses the file as a kind the engine cannot load.
#include "image/image_decoders.h"
#include "shell/errors.h"

namespace {
int RefuseImageKind(const char* fileName) {
  ReportUnloadableImageKind(fileName);
  return -1;
}
}  // namespace

int RejectPsdImage(ResourceLocation*, LayerRecord*, const char* fileName) { return RefuseImageKind(fileName); }
int DecodeQcgImage(ResourceLocation*, LayerRecord*, const char* fileName) { return RefuseImageKind(fileName); }
int LoadEmoteImage(ResourceLocation*, LayerRecord*, const char* fileName) { return RefuseImageKind(fileName); }
int DecodeWebpImage(ResourceLocation*, LayerRecord*, const char* fileName) { return RefuseImageKind(fileName); }
