// Stand-ins until the WebP codec binding is built: there is no codec to load.
#include "core/stand_in.h"
#include "image/webp_codec.h"

void LoadWebpCodec() { STAND_IN(); }
void ReleaseWebpCodec() { STAND_IN(); }
