#pragma once
// Pixel blocks of layer records and the loading of image files into them.
//
// A block holds width*4*(height+1)+4 bytes: top-down rows of B, G, R, A
// pixels with a pitch of width*4, then one spare row and 4 spare bytes, so
// code may read one row past the image. Sides are 1..kMaxImageSide.
#include <cstddef>
#include <cstdint>

#include "datasrc/resource_lookup.h"

struct LayerRecord;
struct ObjectTreeNode;

constexpr int32_t kMaxImageSide = 8192;
// Every pixel whose alpha is 0 after a load becomes this (B = G = R = 0x80).
constexpr uint32_t TRANSPARENT_COLOUR = 0x00808080;
constexpr size_t kResolvedNameBytes = kNameBufferBytes;

// Bytes of a block of the given sides (computed in size_t).
size_t PixelBlockBytes(int32_t width, int32_t height);

// A zeroed block for width x height, or null after a report: sides outside
// 1..8192 show the size box and raise 100010; no memory raises 100010 when a
// file name is given, else 104030 (all fatal). On success the old block (may
// be null) is freed; on failure it is left to the caller untouched.
uint8_t* AllocPixelBuffer(uint8_t* oldBlock, int32_t width, int32_t height, const char* fileName);

// A new group node at path (absolute, under the layer root) with the order
// key, and its record with a zeroed canvas of width x height: both dirty
// flags set, the dirty rectangle the whole canvas, invalidated up to the
// root. A side of 0 makes a sizeless group. Null after a report: a side
// below 0 or above 8192 shows the size box and raises 100010, no memory
// raises 104030 (both fatal); the node is then taken out again.
LayerRecord* CreateBlankImageLayer(const char* path, int64_t width, int64_t height, int64_t orderKey);

// The decoders' way to take a new block: allocates it with AllocPixelBuffer
// from the record's own block and, only when that succeeds, installs it as
// mPixelAlloc and mPixels and sets mWidth and mHeight. 0 or -1.
int InstallNewPixelBlock(LayerRecord* record, int32_t width, int32_t height, const char* fileName);

// Loads a file into the record: an empty name or a name no data source holds
// gives the 1x1 transparent image without a message. 0 or -1 (reported).
int LoadImageFile(LayerRecord* record, const char* name);
int DecodeImageFile(LayerRecord* record, const char* name);
// The decoder dispatch by the location's type code, and the common ending
// of a successful load.
int DecodeLocatedImage(LayerRecord* record, ResourceLocation* location, const char* resolvedName);
int MakeEmptyImage(LayerRecord* record, const char* name);
void ReplaceTransparentPixels(LayerRecord* record);
// Installs a block the caller allocated (the layout above); the record owns
// it from now on and frees its old block and any derived copy. Returns 0.
int SetPixelBuffer(LayerRecord* record, uint8_t* block, int32_t width, int32_t height);
// A complete 32-bit bottom-up BMP file of the colour, allocated with
// std::malloc, or null. *totalBytes receives its size.
uint8_t* BuildMemoryBmp(int32_t width, int32_t height, uint32_t colour, size_t* totalBytes);

// Message 100030 (fatal) for a file of a kind no decoder loads: its
// arguments are the layer command's name, from the loaded command table,
// and the file name.
void ReportUnloadableImageKind(const char* fileName);

// Reads the located file whole (mData, mSize) by its source kind (1..4); -2
// for another kind, else the reader's result. With the lookup flag set the
// name is located first.
int ReadImageResource(ResourceLocation* location, const char* name, int report, int lookup);

// Frees what the image side of a record holds: the pixel blocks and the GIF
// frames. The record keeps its other fields.
void ReleaseLayerImage(LayerRecord* record);
void ReleaseGifFrames(LayerRecord* record);
