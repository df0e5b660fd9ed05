// Stand-ins until the image writers are built: no file is created.
#include "core/stand_in.h"
#include "image/image_writers.h"

int SaveBMP(LayerRecord*, const char*) {
  STAND_IN();
  return -1;
}
int SavePNG(LayerRecord*, const char*, int32_t) {
  STAND_IN();
  return -1;
}
int SaveJPEG(LayerRecord*, const char*, int32_t) {
  STAND_IN();
  return -1;
}
int SaveWEBP(LayerRecord*, const char*, int32_t) {
  STAND_IN();
  return -1;
}
