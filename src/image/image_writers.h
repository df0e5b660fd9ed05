#pragma once
// Writers that save a layer's image as a file: BMP, PNG (compression level
// 0..9), JPEG (quality 1..100) and WebP (quality 0..100, 101 lossless).
#include <cstddef>
#include <cstdint>

struct LayerRecord;

// 0 written, -1 the file was not created.
int SaveBMP(LayerRecord* record, const char* path);
// 0 written, -1 the file was not created, 1 the quit flag was set while writing.
int SavePNG(LayerRecord* record, const char* path, int32_t level);
// 0 written, -1 the file was not created, -2 the library failed.
int SaveJPEG(LayerRecord* record, const char* path, int32_t quality);
// 0 written, -1 the file was not created (or nothing could be encoded).
int SaveWEBP(LayerRecord* record, const char* path, int32_t quality);
// Bytes the WebP writer sets aside for the encoded file: 1.2 times the
// pixel bytes (truncated), at least 1 MiB.
size_t WebpEncodeRoom(int32_t width, int32_t height);
