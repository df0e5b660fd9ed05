// GIF files with their own variable-width LZW decompressor. Every image of
// the file is kept as a frame record on the layer; frame 0 is drawn.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/byte_order.h"
#include "core/errors.h"
#include "datasrc/resource_lookup.h"
#include "image/image_decoders.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"

namespace {

// Frame records of one file may hold at most this many index bytes, so a
// small file cannot claim gigabytes through many large empty frames.
constexpr size_t kGifFrameBytesLimit = size_t{512} << 20;
constexpr int kLzwTableSize = 4096;
constexpr int kNoCode = 4098;

// The file as read: bytes past the end read as 0.
struct GifReader {
  const uint8_t* mData;
  size_t mSize;
  size_t mPosition;

  uint8_t Byte() { return mPosition < mSize ? mData[mPosition++] : 0; }
  uint16_t U16() {
    uint16_t low = Byte();
    uint16_t high = Byte();
    return static_cast<uint16_t>(low | (high << 8));
  }
  void Skip(size_t count) { mPosition = count > mSize - mPosition ? mSize : mPosition + count; }
  // Skips data sub-blocks up to and including the zero-length one.
  void SkipSubBlocks() {
    for (;;) {
      uint8_t length = Byte();
      if (length == 0) return;
      Skip(length);
    }
  }
};

struct GifLzwState {
  GifReader* mReader;
  int mMinCodeSize;
  int mClearCode;
  int mEndCode;
  int mNextCode;
  int mCodeWidth;
  int mWidthLimit;
  int mPrevious;
  uint32_t mBitBuffer;
  int mBitCount;
  uint16_t mPrefix[kLzwTableSize];
  uint8_t mSuffix[kLzwTableSize];
  uint8_t mStack[kLzwTableSize + 1];
  int mDepth;
  uint8_t mBlock[255];
  int mBlockPosition;
  int mBlockSize;
  bool mEndOfData;
  bool mFailed;
};

void ResetLzwTable(GifLzwState* state) {
  for (uint16_t& prefix : state->mPrefix) prefix = kNoCode;
  state->mNextCode = state->mClearCode + 2;
  state->mCodeWidth = state->mMinCodeSize + 1;
  state->mWidthLimit = 1 << state->mCodeWidth;
  state->mPrevious = kNoCode;
}

bool InitLzwState(GifLzwState* state, GifReader* reader, int minCodeSize) {
  std::memset(state, 0, sizeof(*state));
  state->mReader = reader;
  // Codes are at most 12 bits wide, so the literals need at most 11.
  if (minCodeSize < 1 || minCodeSize > 11) {
    state->mFailed = true;
    return false;
  }
  state->mMinCodeSize = minCodeSize;
  state->mClearCode = 1 << minCodeSize;
  state->mEndCode = state->mClearCode + 1;
  ResetLzwTable(state);
  return true;
}

// The next code, or -1 when the data sub-blocks have ended.
int ReadLzwCode(GifLzwState* state) {
  while (state->mBitCount < state->mCodeWidth) {
    if (state->mBlockPosition == state->mBlockSize) {
      if (state->mEndOfData) return -1;
      uint8_t length = state->mReader->Byte();
      if (length == 0) {
        state->mEndOfData = true;
        return -1;
      }
      for (int i = 0; i < length; ++i) state->mBlock[i] = state->mReader->Byte();
      state->mBlockSize = length;
      state->mBlockPosition = 0;
    }
    state->mBitBuffer |= static_cast<uint32_t>(state->mBlock[state->mBlockPosition++]) << state->mBitCount;
    state->mBitCount += 8;
  }
  int code = static_cast<int>(state->mBitBuffer & ((1u << state->mCodeWidth) - 1));
  state->mBitBuffer >>= state->mCodeWidth;
  state->mBitCount -= state->mCodeWidth;
  return code;
}

// The first code of a chain: prefix links are followed while the code is
// above the clear code, at most 4095 times.
int FollowLzwPrefix(const uint16_t* prefix, int code, int clearCode) {
  for (int steps = 0; code > clearCode && steps < kLzwTableSize - 1; ++steps) {
    int next = prefix[code];
    if (next >= kLzwTableSize) break;
    code = next;
  }
  return code;
}

// Pushes the chain of a code onto the stack (last byte first). False for a
// chain that does not end in a literal or does not fit the stack.
bool PushLzwChain(GifLzwState* state, int code) {
  int steps = 0;
  while (code > state->mClearCode) {
    if (steps++ >= kLzwTableSize - 1 || state->mDepth >= kLzwTableSize) return false;
    state->mStack[state->mDepth++] = state->mSuffix[code];
    code = state->mPrefix[code];
    if (code >= kLzwTableSize) return false;
  }
  if (code >= state->mClearCode || state->mDepth >= kLzwTableSize + 1) return false;
  state->mStack[state->mDepth++] = static_cast<uint8_t>(code);
  return true;
}

// Decodes exactly `count` indices into `row`, keeping its state between
// calls. Returns 0, or the offending code (or -1 when the data ended early);
// after a failure the rest of the frame keeps the indices it has.
int DecodeGifLzwLine(GifLzwState* state, uint8_t* row, int count) {
  int i = 0;
  while (state->mDepth > 0 && i < count) row[i++] = state->mStack[--state->mDepth];
  while (i < count) {
    if (state->mFailed) return -1;
    int code = ReadLzwCode(state);
    if (code < 0) {
      state->mFailed = true;
      return -1;
    }
    if (code == state->mClearCode) {
      ResetLzwTable(state);
      continue;
    }
    if (code == state->mEndCode) {
      // The end code may only follow the frame's last index.
      state->mFailed = true;
      return code;
    }
    int previous = state->mPrevious;
    uint8_t first = 0;
    if (previous == kNoCode) {
      if (code > state->mClearCode) {
        state->mFailed = true;
        return code;
      }
      state->mStack[state->mDepth++] = static_cast<uint8_t>(code);
      first = static_cast<uint8_t>(code);
    } else if (code < state->mClearCode || (code < state->mNextCode && state->mPrefix[code] != kNoCode)) {
      if (!PushLzwChain(state, code)) {
        state->mFailed = true;
        return code;
      }
      first = state->mStack[state->mDepth - 1];
    } else if (code == state->mNextCode && state->mNextCode < kLzwTableSize) {
      // The code the table defines next: the previous chain plus its own first byte.
      first = static_cast<uint8_t>(FollowLzwPrefix(state->mPrefix, previous, state->mClearCode));
      state->mStack[state->mDepth++] = first;
      if (!PushLzwChain(state, previous)) {
        state->mFailed = true;
        return code;
      }
    } else {
      state->mFailed = true;
      return code;
    }
    if (previous != kNoCode && state->mNextCode < kLzwTableSize) {
      state->mPrefix[state->mNextCode] = static_cast<uint16_t>(previous);
      state->mSuffix[state->mNextCode] = first;
      ++state->mNextCode;
      if (state->mNextCode >= state->mWidthLimit && state->mCodeWidth < 12) {
        ++state->mCodeWidth;
        state->mWidthLimit <<= 1;
      }
    }
    state->mPrevious = code;
    while (state->mDepth > 0 && i < count) row[i++] = state->mStack[--state->mDepth];
  }
  return 0;
}

void ReadColourTable(GifReader* reader, uint8_t flags, uint8_t* palette) {
  size_t entries = size_t{1} << ((flags & 7) + 1);
  std::memset(palette, 0, 256 * 3);
  for (size_t i = 0; i < entries * 3; ++i) palette[i] = reader->Byte();
}

struct GraphicControl {
  int32_t mDisposal = 0;
  int32_t mTransparentFlag = 0;
  int32_t mDelay = 0;
  int32_t mTransparentIndex = 0;
  int32_t mLoopCount = 1;
};

// Decodes the rows of one image into `indices` (or into nothing when null).
void DecodeGifRows(GifReader* reader, GifLzwState* lzw, uint8_t* indices, int width, int height, bool interlaced) {
  int minCodeSize = reader->Byte();
  if (indices == nullptr || !InitLzwState(lzw, reader, minCodeSize)) {
    reader->SkipSubBlocks();
    return;
  }
  static constexpr int kPassStart[4] = {0, 4, 2, 1};
  static constexpr int kPassStep[4] = {8, 8, 4, 2};
  auto decodeRow = [&](int y) { DecodeGifLzwLine(lzw, indices + static_cast<size_t>(y) * width, width); };
  if (interlaced) {
    for (int pass = 0; pass < 4; ++pass) {
      for (int y = kPassStart[pass]; y < height; y += kPassStep[pass]) decodeRow(y);
    }
  } else {
    for (int y = 0; y < height; ++y) decodeRow(y);
  }
  if (!lzw->mEndOfData) reader->SkipSubBlocks();
}

}  // namespace

int RenderGifFrame(LayerRecord* record, int frameNumber) {
  if (record->mGifFrames == nullptr || frameNumber < 0 || frameNumber >= kGifFrameTableSize) return 0;
  const GifFrame* frame = record->mGifFrames[frameNumber];
  if (frame == nullptr || record->mPixels == nullptr) return 0;
  // The pixel of every palette index, alpha 0 for the transparent one.
  uint32_t colours[256];
  for (int index = 0; index < 256; ++index) {
    const uint8_t* rgb = frame->mPalette + index * 3;
    bool transparent = frame->mTransparentFlag != 0 && index == frame->mTransparentIndex;
    colours[index] = (transparent ? 0u : 0xFF000000u) | (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
  }
  // Only the part of the frame that lies on the image is drawn (the frame's
  // position is never negative).
  int64_t rows = std::min<int64_t>(frame->mHeight, int64_t{record->mHeight} - frame->mTop);
  int64_t columns = std::min<int64_t>(frame->mWidth, int64_t{record->mWidth} - frame->mLeft);
  for (int64_t i = 0; i < rows; ++i) {
    const uint8_t* indices = frame->Indices() + static_cast<size_t>(i) * frame->mWidth;
    uint8_t* out = record->mPixels + (static_cast<size_t>(frame->mTop + i) * record->mWidth + frame->mLeft) * 4;
    for (int64_t j = 0; j < columns; ++j) StoreLe32(out + j * 4, colours[indices[j]]);
  }
  return 0;
}

int DecodeGifImage(ResourceLocation* location, LayerRecord* record, const char* fileName) {
  if (ReadImageResource(location, fileName, 1, 0) != 0) return 1;
  GifReader reader{location->mData, location->mSize, 0};
  auto fail = [&](int32_t message) {
    if (message != 0) ReportErrorAtScriptFmt(message, 1, fileName);
    ReleaseResourceData(location);
    return 1;
  };

  reader.Skip(6);
  int32_t screenWidth = reader.U16();
  int32_t screenHeight = reader.U16();
  uint8_t flags = reader.Byte();
  reader.Byte();  // background index
  reader.Byte();  // aspect ratio
  uint8_t globalPalette[256 * 3] = {};
  uint8_t localPalette[256 * 3];
  if ((flags & 0x80) != 0) ReadColourTable(&reader, flags, globalPalette);
  if (screenWidth > kMaxImageSide || screenHeight > kMaxImageSide || screenWidth < 1 || screenHeight < 1) {
    return fail(100091);
  }
  if (record->mGifFrames == nullptr) {
    record->mGifFrames = static_cast<GifFrame**>(std::calloc(kGifFrameTableSize, sizeof(GifFrame*)));
    if (record->mGifFrames == nullptr) return fail(0);
  }

  auto* lzw = static_cast<GifLzwState*>(std::malloc(sizeof(GifLzwState)));
  if (lzw == nullptr) return fail(0);
  GraphicControl control;
  int frameCount = 0;
  // Set when the graphic control of any image has the transparent flag, so
  // that no frame shows its transparent pixels as opaque colour.
  bool anyTransparent = false;
  size_t frameBytes = 0;
  int result = 0;
  bool done = false;
  while (!done && result == 0) {
    uint8_t introducer = reader.Byte();
    if (introducer == 0x3B) {
      done = true;
    } else if (introducer == 0x2C) {
      int32_t left = reader.U16();
      int32_t top = reader.U16();
      int32_t width = reader.U16();
      int32_t height = reader.U16();
      uint8_t imageFlags = reader.Byte();
      const uint8_t* palette = globalPalette;
      if ((imageFlags & 0x80) != 0) {
        ReadColourTable(&reader, imageFlags, localPalette);
        palette = localPalette;
      }
      if (width > kMaxImageSide || height > kMaxImageSide) {
        ReportErrorAtScriptFmt(100091, 1, fileName);
        result = 1;
        break;
      }
      size_t indexBytes = static_cast<size_t>(width) * static_cast<size_t>(height);
      GifFrame* frame = nullptr;
      if (frameCount < kGifFrameTableSize) {
        frameBytes += indexBytes;
        if (frameBytes > kGifFrameBytesLimit) {
          result = 1;
          break;
        }
        auto* resized = static_cast<GifFrame*>(std::realloc(record->mGifFrames[frameCount], sizeof(GifFrame) + indexBytes));
        if (resized == nullptr) {
          result = 1;
          break;
        }
        frame = resized;
        record->mGifFrames[frameCount] = frame;
        std::memset(frame, 0, sizeof(GifFrame) + indexBytes);
        frame->mLeft = left;
        frame->mTop = top;
        frame->mWidth = width;
        frame->mHeight = height;
        frame->mDisposal = control.mDisposal;
        frame->mTransparentFlag = control.mTransparentFlag;
        frame->mDelay = control.mDelay;
        frame->mTransparentIndex = control.mTransparentIndex;
        frame->mLoopCount = control.mLoopCount;
        std::memcpy(frame->mPalette, palette, sizeof(frame->mPalette));
      }
      if (control.mTransparentFlag != 0) anyTransparent = true;
      // Images past the frame table are read over and not kept.
      DecodeGifRows(&reader, lzw, frame != nullptr ? frame->Indices() : nullptr, width, height,
                    (imageFlags & 0x40) != 0);
      ++frameCount;
    } else if (introducer == 0x21) {
      uint8_t label = reader.Byte();
      if (label == 0xF9) {
        reader.Byte();  // block size
        uint8_t controlFlags = reader.Byte();
        control.mDisposal = (controlFlags >> 2) & 7;
        control.mTransparentFlag = controlFlags & 1;
        control.mDelay = reader.U16();
        control.mTransparentIndex = reader.Byte();
        reader.Byte();  // terminator
      } else if (label == 0xFE || label == 0x01) {
        reader.SkipSubBlocks();
      } else if (label == 0xFF) {
        uint8_t identifierBytes = reader.Byte();
        reader.Skip(identifierBytes);
        uint8_t length = reader.Byte();
        if (length != 0) {
          if (length >= 3) {
            reader.Byte();
            control.mLoopCount = reader.U16();
            reader.Skip(length - 3u);
          } else {
            reader.Skip(length);
          }
          reader.SkipSubBlocks();
        }
      } else {
        result = 1;
      }
    } else {
      result = 1;
    }
  }
  std::free(lzw);

  // Entries left from an earlier load of the record are not frames of this file.
  for (int i = std::min(frameCount, kGifFrameTableSize); i < kGifFrameTableSize; ++i) {
    std::free(record->mGifFrames[i]);
    record->mGifFrames[i] = nullptr;
  }
  if (result != 0) return fail(0);
  if (frameCount == 0) return fail(0);
  if (InstallNewPixelBlock(record, screenWidth, screenHeight, fileName) != 0) return fail(0);
  record->mHasAlpha = anyTransparent ? 1 : 0;
  RenderGifFrame(record, 0);
  ReleaseResourceData(location);
  return 0;
}
