#pragma once
// The WebP codec (libwebp): size query, decoding into B, G, R, A rows and
// encoding B, G, R, A rows.
#include <cstddef>
#include <cstdint>

// Width and height of a WebP stream. False when the data is not one.
bool WebpLibraryGetInfo(const uint8_t* data, size_t size, int32_t* width, int32_t* height);
// Decodes into `out` (outBytes long) with rows `stride` bytes apart; the
// picture must fit. False when the data is damaged or does not fit.
bool WebpLibraryDecodeBgra(const uint8_t* data, size_t size, uint8_t* out, size_t outBytes, int32_t stride);
// Encodes width x height top-down B, G, R, A pixels (rows width*4 apart) with
// the effort `method` (0..6, clamped) at `quality` 0..100, or losslessly
// (keeping the colour under transparent pixels) for a quality below 0. The
// file image goes into `destination` when it fits in `room`. Its size, or 0
// when the encoder failed or the file would not fit.
size_t WebpLibraryEncodeBgra(const uint8_t* pixels, int32_t width, int32_t height, int32_t method, int32_t quality,
                             uint8_t* destination, size_t room);
