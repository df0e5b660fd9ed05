#pragma once
// The WebP codec binding: the entry points every WebP caller (the WebP and
// qcg decoders, the WebP writer) goes through, bound once at start-up.
#include <cstddef>
#include <cstdint>

struct WebpApi {
  // Width and height of a stream; false when the data is not WebP.
  bool (*mGetInfo)(const uint8_t* data, size_t size, int32_t* width, int32_t* height) = nullptr;
  // Decodes into B, G, R, A rows `stride` bytes apart inside outBytes.
  bool (*mDecode)(const uint8_t* data, size_t size, uint8_t* out, size_t outBytes, int32_t stride) = nullptr;
  // Encodes B, G, R, A top-down pixels (method 0..6; quality 0..100, or -1
  // for lossless) into destination; the size, 0 on failure or no room.
  size_t (*mEncode)(const uint8_t* pixels, int32_t width, int32_t height, int32_t method, int32_t quality,
                    uint8_t* destination, size_t room) = nullptr;
};

extern WebpApi g_WebpApi;
extern bool g_WebpLoaded;

// Binds the codec (linked in: every entry point is present); 0.
int LoadWebpCodec();
// Unbinds it: WebP is unavailable until the next load.
void ReleaseWebpCodec();
