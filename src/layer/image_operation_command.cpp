// The image operation command: one operation on a source layer (or a group,
// composed first) into a destination layer or in place. The command owns the
// argument protocol: the layer paths, the region, the parameter checks and
// the choice of operation; the operations themselves are the image routines,
// the text drawing, the layer swap and the GPU side.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/errors.h"
#include "core/message_ids.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "image/image_operations.h"
#include "image/pixel_buffers.h"
#include "layer/composition.h"
#include "layer/dirty_rects.h"
#include "layer/image_operation.h"
#include "layer/layer_record.h"
#include "layer/text_draw.h"
#include "layer/text_styles.h"
#include "platform/sjis_chars.h"
#include "render/gpu_frame.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/eval_cache.h"
#include "script/script_data.h"

namespace {

constexpr int kImageOperationSlot = 2;
constexpr int64_t kMaxTargetSide = 8192;
constexpr int64_t kMaxAutoCropSides = 15;

// Argument ids.
enum : int {
  kIdSource = 0,
  kIdDestination = 1,
  kIdSecond = 2,
  kIdThird = 3,
  kIdNumberOffset = 4,  // ids 4-7: the numbers of ids 0-3
  kIdP1 = 9,
  kIdP2 = 10,
  kIdText = 11,
  kIdX0 = 12,
  kIdTargetWidth = 16,
  kIdX0Hundredths = 18,
  kIdTargetWidth100 = 22,
  kIdTextStyle = 63,
  kIdDrawText = 64,
};

const char* Command() { return CommandName(kImageOperationSlot); }
const char* Argument(int id) { return ArgumentName(kImageOperationSlot, id); }

bool RegionGiven() { return HasArg(12) || HasArg(13) || HasArg(14) || HasArg(15); }

// P1 and P2 are declared as expressions the command evaluates itself, when
// it runs; a declaration as a number has been evaluated by the fetch.
int64_t EvaluateParameter(int id) {
  int slot = ArgSlot(id);
  if (slot == 0) return 0;
  bool raw = g_ArgValueKinds[kImageOperationSlot] != nullptr && id < g_ArgDeclCounts[kImageOperationSlot] &&
             g_ArgValueKinds[kImageOperationSlot][id] == kArgRaw;
  if (!raw) return g_ArgInt[slot];
  const uint8_t* data = CurrentExpressionData();
  uint64_t offset = static_cast<uint32_t>(g_ArgExprOffset[slot]);
  uint64_t length = static_cast<uint32_t>(g_ArgExprLength[slot]);
  if (data == nullptr || offset + length > CurrentExpressionSize()) return 0;
  return EvalScriptByIntEntry(static_cast<uint32_t>(g_ArgExprType[slot]), data + offset,
                              static_cast<uint32_t>(length));
}

// Normalises the path of a text id with its number id (path + "." + number,
// then always a leaf). 0 leaf, 1 group, -1 after a report.
int NormalizePathIds(int textId, char* output) {
  const char* text = HasArg(textId) ? g_ArgString[ArgSlot(textId)] : nullptr;
  std::string path = text != nullptr ? text : "";
  int numberId = textId + kIdNumberOffset;
  if (HasArg(numberId)) {
    char number[32];
    std::snprintf(number, sizeof number, ".%" PRId64, ArgInt(numberId));
    path += number;
  }
  int kind = NormalizeObjectPath(output, path.c_str(), g_LayerPathBase, 0);
  if (kind < 0) return -1;
  return HasArg(numberId) ? kPathLeaf : kind;
}

// The destination, second or third layer: found, or made under the layer
// root with order key 1 and a fresh record; then invalidated. Null after a
// report.
ObjectTreeNode* FindOrCreateTarget(int textId) {
  char path[kObjectPathBytes];
  int kind = NormalizePathIds(textId, path);
  if (kind < 0) return nullptr;
  if (kind == kPathGroup) {
    ReportErrorAtScriptFmt(kMsgLayerPathIsGroup, Command(), path);
    return nullptr;
  }
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, path, kPathLeaf);
  if (node == nullptr) {
    node = CreateTreeNode(g_LayerRoot, path, 1, 0);
    if (node == nullptr) return nullptr;
  }
  if (node->mPayload == nullptr) {
    if (CreateLayerRecord(node) != 0) return nullptr;
    // A fresh record has a size but no pixels, and the routines that write
    // into a destination read its block: give it its one pixel, transparent.
    auto* record = LayerRecordOf(node);
    uint8_t* block = AllocPixelBuffer(nullptr, record->mWidth, record->mHeight, nullptr);
    if (block == nullptr) return nullptr;
    SetPixelBuffer(record, block, record->mWidth, record->mHeight);
    record->mHasAlpha = 1;
  }
  InvalidateLayerToRoot(node);
  return node;
}

// The group as one picture: its whole canvas composed again.
void RecomposeGroup(ObjectTreeNode* group) {
  auto* record = LayerRecordOf(group);
  record->mDirty = 1;
  record->mDirtyWhole = 1;
  record->mDirtyValid = 1;
  record->mDirtyRect[0] = 0;
  record->mDirtyRect[1] = 0;
  record->mDirtyRect[2] = static_cast<int64_t>(record->mWidth) - 1;
  record->mDirtyRect[3] = static_cast<int64_t>(record->mHeight) - 1;
  RedrawLayerGroup(group);
}

int64_t ClampToSide(int64_t value, int64_t last) {
  if (value > last) value = last;
  return value < 0 ? 0 : value;
}

struct Region {
  int64_t mPixels[4];      // x0, y0, x1, y1
  int64_t mHundredths[4];  // the same in 1/100 pixel
  int64_t mTarget100[2];   // target width and height in 1/100 pixel
};

Region ReadRegion(const LayerRecord* source) {
  Region region{};
  const int64_t defaults[4] = {0, 0, static_cast<int64_t>(source->mBufferWidth) - 1,
                               static_cast<int64_t>(source->mBufferHeight) - 1};
  for (int k = 0; k < 4; ++k) {
    region.mPixels[k] = HasArg(kIdX0 + k) ? ArgInt(kIdX0 + k) : defaults[k];
    region.mHundredths[k] = HasArg(kIdX0Hundredths + k) ? ArgInt(kIdX0Hundredths + k)
                                                     : static_cast<int64_t>(static_cast<uint64_t>(region.mPixels[k]) * 100u);
  }
  bool unclamped = HasArg(24) || HasArg(25) || HasArg(26) || HasArg(27) || HasArg(28) || HasArg(41);
  for (int id = 34; id <= 39; ++id) unclamped |= HasArg(id);
  if (!unclamped) {
    for (int k = 0; k < 4; ++k) {
      int64_t last = k % 2 == 0 ? defaults[2] : defaults[3];
      region.mPixels[k] = ClampToSide(region.mPixels[k], last);
      region.mHundredths[k] = ClampToSide(region.mHundredths[k], last * 100);
    }
  }
  for (int k = 0; k < 2; ++k) {
    region.mTarget100[k] = HasArg(kIdTargetWidth100 + k)
                               ? ArgInt(kIdTargetWidth100 + k)
                               : static_cast<int64_t>(static_cast<uint64_t>(ArgInt(kIdTargetWidth + k)) * 100u);
  }
  return region;
}

// The pixel effects: command id, effect number, P1 bounds (checked when
// kChecked), fill type.
struct EffectEntry {
  int mId;
  int32_t mEffect;
  bool mChecked;
  int64_t mMaximum;
  int64_t mFillType;
};
constexpr EffectEntry kEffects[] = {
    {31, 30, true, 256, 0},      {32, 12, true, 0xFFFFFF, 0}, {33, 39, true, 0xFFFFFF, 0},
    {42, 1, true, 256, 0},       {43, 19, true, 256, 0},      {44, 38, true, 1, 0},
    {45, 11, true, 1, 0},        {46, 20, true, 256, 0},      {47, 2, true, 256, 0},
    {48, 3, true, 256, 0},       {49, 4, true, 256, 0},       {50, 5, true, 256, 0},
    {51, 6, true, 256, 0},       {52, 7, true, 256, 0},       {53, 10, true, 256, 0},
    {54, 21, false, 0, 0},       {55, 22, false, 0, 0},       {56, 23, false, 0, 0},
    {62, 40, false, 0, 0},       {57, 28, true, 1, 0},        {58, 24, false, 0, 1},
    {59, 24, false, 0, 2},       {60, 24, false, 0, 3},       {61, 27, false, 0, 0},
};

// The operations before the text: resize, rotation, the effects (in the
// table's order, which puts the swirl before the negative).
constexpr int kLeadingOrder[] = {24, 25, 26, 27, 28, 29, 30};
// The operations after the text.
constexpr int kTrailingOrder[] = {34, 35, 36, 37, 38, 39, 40, 41, 65, 66, 67, 68, 69, 70};

struct Operation {
  ObjectTreeNode* mSource;
  ObjectTreeNode* mTargets[3];  // destination, second, third (null when not given)
  int64_t mCount;               // layer paths given after the source
  Region mRegion;
  int64_t mP1;
  int64_t mP2;
};

// The has-destination value the routines take: the path count, 0 without a
// destination node.
int64_t IntoDestination(const Operation& op) { return op.mTargets[0] != nullptr ? op.mCount : 0; }

int32_t Resize(const Operation& op, int id) {
  for (int k = 0; k < 2; ++k) {
    int64_t side = op.mRegion.mTarget100[k] / 100;
    if (side < 1 || side > kMaxTargetSide) {
      ReportErrorAtScriptFmt(kMsgArgumentOutOfRange, Command(), Argument(kIdTargetWidth + k), side,
                             static_cast<int64_t>(1), kMaxTargetSide);
      return -1;
    }
  }
  static constexpr int32_t kModeBase[] = {0, 20, 30, 40, 50};
  int32_t mode = id == 24 ? 10 : static_cast<int32_t>(ArgInt(id) + kModeBase[id - 24]);
  const int64_t* r = op.mRegion.mHundredths;
  return ResizeImage(op.mSource, op.mTargets[0], r[0], r[1], r[2], r[3], op.mRegion.mTarget100[0],
                     op.mRegion.mTarget100[1], IntoDestination(op), mode) != 0
             ? -1
             : 0;
}

int32_t Rotate(const Operation& op, int id) {
  if (RegionGiven()) {
    ReportErrorAtScriptFmt(kMsgRotateWithRegion, Command(), Argument(id));
    return -1;
  }
  int result = id == 29 ? RotateImage(op.mSource, op.mTargets[0], IntoDestination(op),
                                      static_cast<int32_t>(ArgInt(29) + 10), op.mP1)
                        : RotateImageSmooth(op.mSource, op.mTargets[0], IntoDestination(op), op.mP1);
  return result != 0 ? -1 : 0;
}

// A region whose ends cross cannot be worked on: the start is named, with
// the end as its bound.
bool RegionOrdered(const Region& region) {
  const int64_t* r = region.mPixels;
  for (int k = 0; k < 2; ++k) {
    if (r[k] <= r[k + 2]) continue;
    ReportErrorAtScriptFmt(kMsgArgumentOutOfRange, Command(), Argument(kIdX0 + k), r[k], static_cast<int64_t>(0),
                           r[k + 2]);
    return false;
  }
  return true;
}

int32_t Effect(const Operation& op, const EffectEntry& entry) {
  // Compared unsigned: negative values are out of range.
  if (entry.mChecked && static_cast<uint64_t>(op.mP1) > static_cast<uint64_t>(entry.mMaximum)) {
    ReportErrorAtScriptFmt(kMsgArgumentOutOfRange, Command(), Argument(kIdP1), op.mP1, static_cast<int64_t>(0),
                           entry.mMaximum);
    return -1;
  }
  if ((entry.mId == 46 || entry.mId == 53) && RegionGiven()) {
    ReportErrorAtScriptFmt(entry.mId == 46 ? kMsgMosaicWithRegion : kMsgScatterWithRegion, Command(),
                           Argument(entry.mId));
    return -1;
  }
  if (!RegionOrdered(op.mRegion)) return -1;
  if (entry.mFillType != 0 || entry.mId == 61) {
    if (ArgInt(entry.mId) >= 2) {
      ObjectTreeNode* target = op.mTargets[0] != nullptr ? op.mTargets[0] : op.mSource;
      LayerRecordOf(target)->mHasAlpha = 1;
    }
  }
  const int64_t* r = op.mRegion.mPixels;
  return ApplyLayerEffect(entry.mEffect, op.mSource, op.mTargets[0], r[0], r[1], r[2], r[3], op.mP1, op.mP2,
                          IntoDestination(op), entry.mFillType) != 0
             ? -1
             : 0;
}

// Each character of id 11 into the source at the pen, the pen moving by
// each advance. A lead byte just before the terminator ends the text: it has
// no second byte to pair with.
void DrawText(const Operation& op) {
  const char* text = g_ArgString[ArgSlot(kIdText)];
  if (text == nullptr) return;
  int style = g_CurrentTextStyle;
  const TextStyleTable& s = g_TextStyles;
  int64_t penX = op.mRegion.mPixels[0];
  int64_t penY = op.mRegion.mPixels[1];
  for (size_t i = 0; text[i] != '\0';) {
    char character[3] = {text[i], '\0', '\0'};
    size_t length = 1;
    if (IsSjisLeadByte(static_cast<uint8_t>(text[i]))) {
      if (text[i + 1] == '\0') break;
      character[1] = text[i + 1];
      length = 2;
    }
    penX += DrawTextIntoLayer(character, s.mColour[style], s.mSecondColour[style], s.mGradient[style],
                              s.mDirection[style], s.mWidth[style], s.mHeight[style], s.mBold[style],
                              s.mAntiAlias[style], static_cast<int32_t>(op.mP1), penX, penY, s.mWriteMode[style],
                              op.mSource);
    i += length;
  }
}

int32_t NeedsDestination(const Operation& op, MessageId message, int id) {
  if (op.mTargets[0] != nullptr) return 0;
  ReportErrorAtScriptFmt(message, Command(), Argument(id));
  return -1;
}

int32_t Trailing(const Operation& op, int id) {
  ObjectTreeNode* source = op.mSource;
  ObjectTreeNode* destination = op.mTargets[0];
  // The paste family places the source at the region's unclamped start.
  int64_t x = ArgInt(kIdX0);
  int64_t y = op.mRegion.mPixels[1];
  if (id >= 34 && id <= 39 && NeedsDestination(op, kMsgPasteNeedsDestination, id) != 0) return -1;
  switch (id) {
    case 34: CopyImageRect(source, destination, x, y); return 0;
    case 35: BlendImageRect(source, destination, x, y); return 0;
    case 36:
      // Without a second layer there is nothing to fade to.
      if (op.mTargets[1] != nullptr) CrossFadeImageRect(source, op.mTargets[1], destination, x, y, op.mP1);
      return 0;
    case 37: return 0;
    case 38: KeepDifferingPixels(source, destination, x, y); return 0;
    case 39: KeepEqualPixels(source, destination, x, y); return 0;
    case 40:
      if (static_cast<uint64_t>(op.mP1) > static_cast<uint64_t>(kMaxAutoCropSides)) {
        ReportErrorAtScriptFmt(kMsgArgumentOutOfRange, Command(), Argument(kIdP1), op.mP1, static_cast<int64_t>(0),
                               kMaxAutoCropSides);
        return -1;
      }
      return AutoCropImage(source, destination, IntoDestination(op), op.mP1, op.mP2) != 0 ? -1 : 0;
    case 41: {
      const int64_t* r = op.mRegion.mPixels;
      return AddImageMargins(source, destination, IntoDestination(op), r[0], r[2], r[1], r[3]) != 0 ? -1 : 0;
    }
    case 65:
    case 66: {
      if (NeedsDestination(op, kMsgCopyNeedsDestination, id) != 0 || !RegionOrdered(op.mRegion)) return -1;
      const int64_t* r = op.mRegion.mPixels;
      return ApplyLayerEffect(id == 65 ? 8 : 9, source, destination, r[0], r[1], r[2], r[3], op.mP1, op.mP2,
                              IntoDestination(op), 0) != 0
                 ? -1
                 : 0;
    }
    case 67:
    case 68:
      if (RegionGiven()) {
        ReportErrorAtScriptFmt(kMsgSwapWithRegion, Command(), Argument(id));
        return -1;
      }
      if (NeedsDestination(op, kMsgSwapNeedsDestination, id) != 0) return -1;
      return SwapLayers(source, destination, id == 67 ? 1 : 2);
    case 69:
      // The paste reads the target's size of source pixels into the
      // target's tiles: both must be there.
      if (destination != nullptr && SpritePasteFits(source, destination)) PasteSpriteGpu(source, destination);
      g_GpuRedrawRequest = 1;
      return 0;
    case 70:
      if (destination != nullptr) CaptureLayerGpu(source, destination);
      return 0;
    default: return 0;
  }
}

int32_t RunOperation(const Operation& op) {
  for (int id : kLeadingOrder) {
    if (!HasArg(id)) continue;
    return id <= 28 ? Resize(op, id) : Rotate(op, id);
  }
  for (const EffectEntry& entry : kEffects) {
    if (HasArg(entry.mId)) return Effect(op, entry);
  }
  if (HasArg(kIdTextStyle)) SelectTextStyle(ArgInt(kIdTextStyle));
  if (HasArg(kIdDrawText)) {
    if (!HasArg(kIdText)) return -1;
    DrawText(op);
  }
  for (int id : kTrailingOrder) {
    if (HasArg(id)) return Trailing(op, id);
  }
  SelectTextStyle(0);
  return 0;
}

}  // namespace

bool SpritePasteFits(const ObjectTreeNode* source, const ObjectTreeNode* target) {
  const auto* from = source != nullptr ? static_cast<const LayerRecord*>(source->mPayload) : nullptr;
  const auto* to = target != nullptr ? static_cast<const LayerRecord*>(target->mPayload) : nullptr;
  if (from == nullptr || to == nullptr || from->mPixels == nullptr) return false;
  if (to->mTileCountX == 0 || to->mTileCountY == 0) return false;
  return to->mWidth > 0 && to->mHeight > 0 && from->mWidth >= to->mWidth && from->mHeight >= to->mHeight;
}

int32_t CmdImageOperation() {
  if (FetchCommandArguments(kImageOperationSlot) != 0) return -1;
  char path[kObjectPathBytes];
  int kind = NormalizePathIds(kIdSource, path);
  if (!HasArg(kIdSource) || kind < 0) return -1;
  Operation op{};
  op.mSource = FindObjectByPath(g_LayerRoot, path, kind);
  if (op.mSource == nullptr || op.mSource->mPayload == nullptr) return 0;
  if (kind == kPathGroup) RecomposeGroup(op.mSource);
  op.mCount = HasArg(kIdThird) ? 3 : HasArg(kIdSecond) ? 2 : HasArg(kIdDestination) ? 1 : 0;
  for (int k = 0; k < op.mCount; ++k) {
    // A path not given (a later one is) names no layer.
    if (!HasArg(kIdDestination + k)) continue;
    op.mTargets[k] = FindOrCreateTarget(kIdDestination + k);
    if (op.mTargets[k] == nullptr) return -1;
  }
  op.mRegion = ReadRegion(static_cast<const LayerRecord*>(op.mSource->mPayload));
  op.mP1 = EvaluateParameter(kIdP1);
  op.mP2 = EvaluateParameter(kIdP2);
  return RunOperation(op);
}
