#include "image/webp_codec.h"

#include "platform/webp_library.h"

WebpApi g_WebpApi;
bool g_WebpLoaded = false;

int LoadWebpCodec() {
  // The codec is linked into the program, so it is always there.
  g_WebpApi.mGetInfo = WebpLibraryGetInfo;
  g_WebpApi.mDecode = WebpLibraryDecodeBgra;
  g_WebpApi.mEncode = WebpLibraryEncodeBgra;
  g_WebpLoaded = true;
  return 0;
}

void ReleaseWebpCodec() {
  g_WebpLoaded = false;
  g_WebpApi = WebpApi();
}
