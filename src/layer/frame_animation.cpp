// Frame animations: loading (checked, then unscrambled once in place) and
// showing one frame by decoding its JPEGs into the layer's own pixels.
#include "layer/frame_animation.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/byte_order.h"
#include "core/errors.h"
#include "core/object_tree.h"
#include "datasrc/resource_lookup.h"
#include "image/jpeg_memory.h"
#include "image/pixel_buffers.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"

namespace {

struct FrameStreams {
  const uint8_t* mColour;
  size_t mColourBytes;
  const uint8_t* mAlpha;
  size_t mAlphaBytes;
};

uint32_t TableEntry(const uint8_t* table, int32_t index) { return LoadLe32(table + static_cast<size_t>(index) * 4); }

FrameStreams StreamsOf(const FrameAnimation* animation, int32_t frame) {
  size_t offset = TableEntry(animation->mOffsets, frame);
  size_t colour = TableEntry(animation->mColourSizes, frame);
  size_t alpha = TableEntry(animation->mAlphaSizes, frame);
  const uint8_t* start = animation->mFileImage + offset;
  return FrameStreams{start, colour, start + colour, alpha};
}

// One decoded JPEG: 4 bytes per pixel for colour, 1 for a one-component image.
struct DecodedFrame {
  int32_t mWidth = 0;
  int32_t mHeight = 0;
  int mComponents = 0;
  std::vector<uint8_t> mSamples;  // the library's rows, width*components bytes each
};

// No object with a destructor lives in this frame: libjpeg leaves it by
// longjmp on an error. The vector is sized before the longjmp can come from
// the rows, and it belongs to the caller.
bool ReadJpegSamples(const uint8_t* data, size_t size, std::vector<uint8_t>* out, int32_t* width, int32_t* height,
                     int* components) {
  jpeg_decompress_struct info;
  JpegErrorManager errors;
  info.err = InitJpegErrorManager(&errors);
  if (setjmp(errors.mJump) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  // A frame larger than an image may be is not decoded; its sides go back
  // so that the caller reports them.
  if (!ReadJpegHeaderWithinLimits(&info, data, size)) {
    *width = static_cast<int32_t>(info.image_width);
    *height = static_cast<int32_t>(info.image_height);
    *components = 0;
    jpeg_destroy_decompress(&info);
    return false;
  }
  // Three-component frames come out as R, G, B; any other keeps its
  // components as stored.
  if (info.num_components == 3) info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  size_t rowBytes = static_cast<size_t>(info.output_width) * static_cast<size_t>(info.output_components);
  out->resize(rowBytes * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out->data() + static_cast<size_t>(info.output_scanline) * rowBytes;
    if (jpeg_read_scanlines(&info, &row, 1) != 1) break;
  }
  *width = static_cast<int32_t>(info.output_width);
  *height = static_cast<int32_t>(info.output_height);
  *components = info.output_components;
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

bool DecodeFrameJpeg(const uint8_t* data, size_t size, DecodedFrame* frame) {
  return ReadJpegSamples(data, size, &frame->mSamples, &frame->mWidth, &frame->mHeight, &frame->mComponents) &&
         frame->mWidth > 0 && frame->mHeight > 0;
}

void WriteColourRows(const DecodedFrame& frame, uint8_t* pixels) {
  size_t width = static_cast<size_t>(frame.mWidth);
  size_t rowBytes = width * static_cast<size_t>(frame.mComponents);
  for (int32_t y = 0; y < frame.mHeight; ++y) {
    const uint8_t* in = frame.mSamples.data() + static_cast<size_t>(y) * rowBytes;
    uint8_t* out = pixels + static_cast<size_t>(y) * width * 4;
    if (frame.mComponents == 3) {
      for (size_t x = 0; x < width; ++x, in += 3, out += 4) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        out[3] = 255;
      }
    } else {
      // Read as grey: one byte per pixel from the start of the row.
      for (size_t x = 0; x < width; ++x, out += 4) {
        out[0] = out[1] = out[2] = in[x];
        out[3] = 255;
      }
    }
  }
}

}  // namespace

void ScrambleFrameStream(uint8_t* stream, size_t length) {
  for (size_t i = 0; i < length; ++i) stream[i] ^= kFrameAnimationScramble[i & 15];
}

bool ParseFrameAnimation(uint8_t* image, size_t size, FrameAnimation* animation) {
  if (image == nullptr || size < kFrameAnimationTableOffset) return false;
  auto count = static_cast<int32_t>(LoadLe32(image + kFrameAnimationCountOffset));
  if (count < 1) return false;
  uint64_t tableEnd = kFrameAnimationTableOffset + static_cast<uint64_t>(count) * 12;
  if (tableEnd > size) return false;
  const uint8_t* offsets = image + kFrameAnimationTableOffset;
  const uint8_t* colourSizes = offsets + static_cast<size_t>(count) * 4;
  const uint8_t* alphaSizes = colourSizes + static_cast<size_t>(count) * 4;
  // Every frame's streams lie behind the tables, inside the file; the
  // values are signed in the file, so a negative one is refused too.
  for (int32_t i = 0; i < count; ++i) {
    auto offset = static_cast<int32_t>(TableEntry(offsets, i));
    auto colour = static_cast<int32_t>(TableEntry(colourSizes, i));
    auto alpha = static_cast<int32_t>(TableEntry(alphaSizes, i));
    if (offset < 0 || colour < 0 || alpha < 0) return false;
    if (static_cast<uint64_t>(offset) < tableEnd) return false;
    if (static_cast<uint64_t>(offset) + static_cast<uint64_t>(colour) + static_cast<uint64_t>(alpha) > size) {
      return false;
    }
  }
  animation->mFrameCount = count;
  animation->mAlphaFlag = static_cast<int32_t>(LoadLe32(image + kFrameAnimationAlphaFlagOffset));
  for (int i = 0; i < 3; ++i) {
    animation->mHeaderValues[i] = static_cast<int32_t>(LoadLe32(image + kFrameAnimationValuesOffset + i * 4));
  }
  animation->mFileImage = image;
  animation->mOffsets = offsets;
  animation->mColourSizes = colourSizes;
  animation->mAlphaSizes = alphaSizes;
  animation->mFileBytes = size;
  return true;
}

void UnscrambleFrameAnimation(FrameAnimation* animation) {
  for (int32_t i = 0; i < animation->mFrameCount; ++i) {
    FrameStreams streams = StreamsOf(animation, i);
    ScrambleFrameStream(const_cast<uint8_t*>(streams.mColour), streams.mColourBytes);
    ScrambleFrameStream(const_cast<uint8_t*>(streams.mAlpha), streams.mAlphaBytes);
  }
}

int LoadFrameAnimation(ObjectTreeNode* layer, const char* name) {
  auto* record = LayerRecordOf(layer);
  ResourceLocation location;
  if (LoadResourceWhole(&location, name) != 0) {
    ReportErrorAtScriptFmt(kMsgCannotReadFile, name);
    return -1;
  }
  FrameAnimation parsed{};
  if (!ParseFrameAnimation(location.mData, location.mSize, &parsed)) {
    ReleaseResourceData(&location);
    ReportErrorAtScriptFmt(kMsgCannotReadFile, name);
    return -1;
  }
  if (record == nullptr) {
    ReleaseResourceData(&location);
    return 0;
  }
  ReleaseFrameAnimation(record);
  auto* animation = static_cast<FrameAnimation*>(std::malloc(sizeof(FrameAnimation)));
  if (animation == nullptr) {
    ReleaseResourceData(&location);
    ReportError(kMsgOutOfMemory);
    return 0;
  }
  *animation = parsed;
  // The record owns the file image from now on.
  location.mData = nullptr;
  location.mSize = 0;
  UnscrambleFrameAnimation(animation);
  record->mFrameAnimation = animation;
  return 0;
}

void ShowAnimationFrame(ObjectTreeNode* layer, int64_t frame) {
  auto* record = LayerRecordOf(layer);
  if (record == nullptr || record->mFrameAnimation == nullptr || record->mFrameAnimation->mFileImage == nullptr) {
    return;
  }
  const FrameAnimation* animation = record->mFrameAnimation;
  auto n = static_cast<int32_t>(std::clamp<int64_t>(frame, 0, animation->mFrameCount - 1));
  record->mHasAlpha = animation->mAlphaFlag == 1 ? 1 : 0;
  FrameStreams streams = StreamsOf(animation, n);
  DecodedFrame colour;
  if (!DecodeFrameJpeg(streams.mColour, streams.mColourBytes, &colour)) {
    // Too large: the block allocation refuses the sides with its reports.
    if (colour.mWidth > kMaxImageSide || colour.mHeight > kMaxImageSide) {
      std::free(AllocPixelBuffer(nullptr, colour.mWidth, colour.mHeight, nullptr));
    }
    return;
  }
  // The block must be exactly the frame's size before rows go into it.
  if (colour.mWidth != record->mWidth || colour.mHeight != record->mHeight || record->mPixelAlloc == nullptr ||
      record->mBufferWidth != colour.mWidth || record->mBufferHeight != colour.mHeight) {
    InvalidateLayerToRoot(layer);
    uint8_t* block = AllocPixelBuffer(nullptr, colour.mWidth, colour.mHeight, nullptr);
    // Without a block (reported) the frame is not drawn.
    if (block == nullptr) return;
    SetPixelBuffer(record, block, colour.mWidth, colour.mHeight);
    InvalidateLayerToRoot(layer);
  }
  uint8_t* pixels = record->mPixelAlloc;
  WriteColourRows(colour, pixels);
  if (animation->mAlphaFlag == 1) {
    DecodedFrame alpha;
    // A grey alpha frame of the colour frame's size only: another size does
    // not belong to this frame's pixels.
    if (DecodeFrameJpeg(streams.mAlpha, streams.mAlphaBytes, &alpha) && alpha.mComponents == 1 &&
        alpha.mWidth == colour.mWidth && alpha.mHeight == colour.mHeight) {
      size_t count = static_cast<size_t>(alpha.mWidth) * static_cast<size_t>(alpha.mHeight);
      for (size_t i = 0; i < count; ++i) pixels[i * 4 + 3] = alpha.mSamples[i];
    }
  }
  record->mDerivedStamp = 0;
  InvalidateLayerToRoot(layer);
}
