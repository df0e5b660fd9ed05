#pragma once
// A frame animation attached to a layer: a file of JPEG frames, each with an
// optional grey JPEG carrying its alpha, kept whole in memory while attached.
//
// File layout (little-endian i32; n frames): 8 bytes not read; n at 8; the
// alpha flag at 12; three values at 16, 20, 24 kept for the query command;
// 4 bytes not read; then n frame offsets, n colour JPEG sizes and n alpha
// JPEG sizes from 32. Frame i is its colour JPEG at its offset, immediately
// followed by its alpha JPEG. Both streams of every frame are stored
// scrambled: each byte XOR kFrameAnimationScramble[position % 16], the
// position counted from 0 at the start of each stream.
#include <cstddef>
#include <cstdint>

struct ObjectTreeNode;

// The scrambling values of the tool that writes the files.
inline constexpr uint8_t kFrameAnimationScramble[16] = {0x5A, 0xC3, 0x17, 0x8E, 0x62, 0xF1, 0x2D, 0xB4,
                                                         0x09, 0x7C, 0xE5, 0x38, 0x9B, 0x46, 0xD0, 0x6F};
constexpr size_t kFrameAnimationCountOffset = 8;
constexpr size_t kFrameAnimationAlphaFlagOffset = 12;
constexpr size_t kFrameAnimationValuesOffset = 16;
constexpr size_t kFrameAnimationTableOffset = 32;

struct FrameAnimation {
  int32_t mFrameCount;
  int32_t mAlphaFlag;  // 1: every frame has an alpha JPEG
  int32_t mHeaderValues[3];
  uint8_t* mFileImage;  // owned, std::malloc
  // Tables inside mFileImage.
  const uint8_t* mOffsets;
  const uint8_t* mColourSizes;
  const uint8_t* mAlphaSizes;
  size_t mFileBytes;
};

// XORs a stream with the scrambling values from its position 0 (the same
// call scrambles and unscrambles).
void ScrambleFrameStream(uint8_t* stream, size_t length);

// Checks a file image against the layout (at least one frame, the tables
// and every frame's two streams inside the file, sizes counted in 64 bits)
// and fills the record with its tables pointing into the image (not owned
// yet). False when the image is damaged.
bool ParseFrameAnimation(uint8_t* image, size_t size, FrameAnimation* animation);
// Unscrambles both streams of every frame in place, once.
void UnscrambleFrameAnimation(FrameAnimation* animation);

// Reads the named file, releases the layer's previous animation and attaches
// the new one unscrambled. 0, or -1 after a fatal report (104010 for a file
// that cannot be read or is damaged).
int LoadFrameAnimation(ObjectTreeNode* layer, const char* name);
// Decodes frame n (clamped to the frames there are) into the layer's pixels,
// resizing the layer to the frame, and applies its alpha frame.
void ShowAnimationFrame(ObjectTreeNode* layer, int64_t frame);
