// Glyph canvases and faces per text style, the ink and coverage tables, and
// the measuring of a drawn character.
#include "layer/glyph_raster.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/debug_log.h"
#include "core/errors.h"
#include "core/message_ids.h"
#include "layer/fonts.h"
#include "layer/text_setup.h"
#include "layer/text_styles.h"
#include "platform/font_faces.h"
#include "platform/sjis_chars.h"
#include "platform/text_codec.h"

int32_t InkCountTable[256];
uint8_t CoverageAlphaTable[32];
int32_t GlyphCanvasSideTable[257];
GlyphRasteriser g_GlyphRasteriser;

namespace {

bool g_noFontNoted = false;

int ZeroBits(unsigned nibble) {
  int count = 0;
  for (int bit = 0; bit < 4; ++bit) count += (nibble >> bit & 1u) == 0 ? 1 : 0;
  return count;
}

void DropObjects(GlyphSlot& slot) {
  CloseFontFace(slot.mFace);
  slot.mFace = nullptr;
  slot.mBits.clear();
  slot.mBits.shrink_to_fit();
  slot.mSide = 0;
}

}  // namespace

void BuildGlyphTables() {
  for (unsigned byte = 0; byte < 256; ++byte) {
    InkCountTable[byte] = 256 * ZeroBits(byte >> 4) + ZeroBits(byte & 15u);
  }
  for (int n = 0; n < 32; ++n) CoverageAlphaTable[n] = static_cast<uint8_t>(std::min(18 * n, 255));
  for (int w = 0; w <= 256; ++w) GlyphCanvasSideTable[w] = 64 + 32 * (w / 8);
}

GlyphSlot& CurrentGlyphSlot() { return g_GlyphRasteriser.mSlots[std::clamp(g_CurrentTextStyle, 0, kTextStyles - 1)]; }

int PrepareGlyphRasteriser(int32_t width, int32_t height, int32_t bold, int32_t fontHeight, int32_t side) {
  GlyphSlot& slot = CurrentGlyphSlot();
  int32_t fontIndex = GetStyleFontIndex();
  auto boldFlag = static_cast<uint8_t>(bold);
  bool ready = !slot.mBits.empty() && slot.mFace != nullptr;
  if (ready && slot.mKeyWidth == width && slot.mKeyHeight == height && slot.mKeyFontHeight == fontHeight &&
      slot.mKeyBold == boldFlag && slot.mKeyFontIndex == fontIndex) {
    return 0;
  }
  slot.mKeyWidth = width;
  slot.mKeyHeight = height;
  slot.mKeyFontHeight = fontHeight;
  slot.mKeyBold = boldFlag;
  slot.mKeyFontIndex = fontIndex;
  DropObjects(slot);
  if (side <= 0 || side % 8 != 0) {
    ReportError(kMsgOutOfMemory);
    return -1;
  }
  const std::string& family = GetStyleFontFamily();
  if (family.empty()) {
    // No font is installed: every character measures 0 x 0 and draws
    // nothing.
    if (!g_noFontNoted) {
      g_noFontNoted = true;
      WriteDebugLog("debuglog.txt", false, 1, "fonts: no font for text style %d; text draws nothing",
                    g_CurrentTextStyle);
    }
    return -1;
  }
  // A height of 0 asks for the face's default size, as a font request of
  // height 0 does.
  slot.mFace = OpenFontFace(family, std::max(fontHeight, 1), bold != 0);
  if (slot.mFace == nullptr) {
    ReportError(kMsgFontCreateFailed);
    return -1;
  }
  slot.mBits.assign(static_cast<size_t>(side) * static_cast<size_t>(side) / 8, 0xFF);
  slot.mSide = side;
  return 1;
}

uint8_t* UseGlyphCanvas(int32_t side) {
  GlyphSlot& slot = CurrentGlyphSlot();
  DropObjects(slot);
  slot.mKeyWidth = slot.mKeyHeight = slot.mKeyFontHeight = slot.mKeyFontIndex = -1;
  slot.mKeyBold = 255;
  slot.mSide = side;
  slot.mBits.assign(static_cast<size_t>(side) * static_cast<size_t>(side) / 8, 0xFF);
  return slot.mBits.data();
}

int RasteriseGlyph(const char* text, int32_t width, int32_t height, int32_t bold, int32_t antiAlias,
                   int32_t* advance, int32_t* heightOut) {
  *advance = 0;
  *heightOut = 0;
  width = std::clamp(width, 0, kMaxGlyphSize);
  int32_t side = GlyphCanvasSideTable[width];
  int32_t fontHeight = antiAlias == 1 ? 4 * width : width;
  if (PrepareGlyphRasteriser(width, height, bold, fontHeight, side) < 0) return 0;
  GlyphSlot& slot = CurrentGlyphSlot();
  std::memset(slot.mBits.data(), 0xFF, slot.mBits.size());
  size_t length = 0;
  if (text != nullptr && text[0] != '\0') {
    length = IsSjisLeadByte(static_cast<uint8_t>(text[0])) && text[1] != '\0' ? 2 : 1;
    uint32_t codepoint = FirstCodepoint(ConvertCp932ToUtf8(std::string_view(text, length)));
    DrawGlyphMono(slot.mFace, codepoint, slot.mBits.data(), side);
  }
  switch (GetStylePitchClass()) {
    case kPitchProportional: {
      int32_t right = 0;
      int32_t firstRow = -1;
      const size_t rowBytes = static_cast<size_t>(side) / 8;
      for (int32_t row = 0; row < side; ++row) {
        const uint8_t* bytes = slot.mBits.data() + row * rowBytes;
        for (size_t b = rowBytes; b-- > 0;) {
          if (bytes[b] == 0xFF) continue;
          if (firstRow < 0) firstRow = row;
          int bit = 7;
          while (((bytes[b] >> (7 - bit)) & 1u) != 0) --bit;  // the rightmost 0 bit
          right = std::max(right, static_cast<int32_t>(b * 8) + bit);
          break;
        }
      }
      int32_t top = firstRow < 0 ? 0 : side - firstRow;
      int32_t scale = antiAlias == 1 ? 4 : 1;
      *advance = std::min(width, right / scale + 4);
      *heightOut = std::min(height, top / scale + 4);
      break;
    }
    case kPitchFixed:
      *advance = length == 2 ? width : width / 2;
      *heightOut = height;
      break;
    default:
      *advance = std::min(width, 4);
      *heightOut = std::min(height, 4);
      break;
  }
  return 0;
}

void DeleteGlyphObjects() {
  for (GlyphSlot& slot : g_GlyphRasteriser.mSlots) {
    DropObjects(slot);
    slot = GlyphSlot{};
  }
  g_noFontNoted = false;
}
