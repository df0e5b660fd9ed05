#pragma once
// The image decoders. Each takes the filled ResourceLocation, reads the
// whole file through the reader of its source kind, installs a new pixel
// block in the record (sizes set only once the block exists) and frees the
// file data. On failure each reports its own message where it has one.
#include <cstddef>
#include <cstdint>

struct LayerRecord;
struct ResourceLocation;

// One frame of a decoded GIF, kept on the record (mGifFrames); the frame's
// width*height palette indices follow the record in the same heap block.
struct GifFrame {
  int32_t mLeft;
  int32_t mTop;
  int32_t mWidth;
  int32_t mHeight;
  int32_t mDisposal;          // 0..7
  int32_t mTransparentFlag;   // 0/1
  int32_t mDelay;             // hundredths of a second
  int32_t mTransparentIndex;
  int32_t mLoopCount;
  uint8_t mPalette[256 * 3];  // R, G, B
  uint8_t* Indices() { return reinterpret_cast<uint8_t*>(this + 1); }
  const uint8_t* Indices() const { return reinterpret_cast<const uint8_t*>(this + 1); }
};

// 0 / -1.
int DecodeBmpImage(ResourceLocation* location, LayerRecord* record, const char* fileName);
// 0, or non-zero (the caller then raises 100215).
int DecodeGifImage(ResourceLocation* location, LayerRecord* record, const char* fileName);
// Draws frame n of the record's GIF frames into its pixels. 0.
int RenderGifFrame(LayerRecord* record, int frame);
// 0 decoded, 1 failure.
int DecodePngImage(ResourceLocation* location, LayerRecord* record, const char* fileName);
// 0 decoded, -1 read failure, -2 library failure or unsupported colour
// space, -3 too large or no memory (the caller then raises 100210).
int DecodeJpegImage(ResourceLocation* location, LayerRecord* record, const char* fileName);

// The qcg container, PSD, E-mote and WebP kinds.
int RejectPsdImage(ResourceLocation* location, LayerRecord* record, const char* fileName);
int DecodeQcgImage(ResourceLocation* location, LayerRecord* record, const char* fileName);
int LoadEmoteImage(ResourceLocation* location, LayerRecord* record, const char* fileName);
// Starts the record's E-mote player; nothing without one.
void StartEmotePlayer(LayerRecord* record);
int DecodeWebpImage(ResourceLocation* location, LayerRecord* record, const char* fileName);
