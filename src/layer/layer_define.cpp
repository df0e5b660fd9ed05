// The layer command: creates layers and groups, loads images, shares records,
// copies masks and sets every display attribute, invalidating what changes.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

#include "core/errors.h"
#include "core/message_ids.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "image/pixel_buffers.h"
#include "layer/composition.h"
#include "layer/dirty_rects.h"
#include "layer/layer_commands.h"
#include "layer/layer_record.h"
#include "render/gpu_frame.h"
#include "render/layer_textures.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/eval.h"
#include "script/task_step.h"

namespace {

constexpr int kLayerDefineSlot = 1;
constexpr int kMaxBlendMode = 18;
constexpr int kTileLimitX = 512;
constexpr int kTileLimitY = 256;

int Op(int id) { return g_ArgOperator[ArgSlot(id)]; }
const char* Command() { return CommandName(kLayerDefineSlot); }

// The operator applied with its bounds, and the bounds held for a plain set
// as well: a stored value outside them would index the kernels' tables.
int64_t Clamped(int id, int64_t current, int64_t minimum, int64_t maximum) {
  return std::clamp(ApplyValueOpClamped(Op(id), current, ArgInt(id), minimum, maximum), minimum, maximum);
}

void Invalidate(ObjectTreeNode* node) {
  if (node->mIsGroup != 0) {
    InvalidateGroupToRoot(node);
  } else {
    InvalidateLayerToRoot(node);
  }
}

// Finds a layer named by a text argument (normalised as a leaf path); null
// when it is missing or has no record.
ObjectTreeNode* FindLayerByText(const char* text) {
  char path[kObjectPathBytes];
  if (NormalizeObjectPath(path, text, g_LayerPathBase, 0) < 0) return nullptr;
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, path, kPathLeaf);
  return node != nullptr && node->mPayload != nullptr ? node : nullptr;
}

// A path text of the record (kLayerPathTextBytes), cut on a character
// boundary.
void StorePathText(char* destination, const std::string& text) {
  if (destination != nullptr) CopySjisBounded(destination, kLayerPathTextBytes, text);
}

// Sizes given with ids 9 and 10 are at least 1.
bool SideAccepted(int id) {
  if (!HasArg(id) || ArgInt(id) >= 1) return true;
  ReportErrorAtScriptFmt(kMsgArgumentNegative, Command(), ArgumentName(kLayerDefineSlot, id), ArgInt(id),
                         static_cast<int64_t>(1));
  return false;
}

// The alpha of every pixel from the mask's blue channel. 0, or -1 after the
// size box.
int CopyMaskAlpha(LayerRecord* record) {
  ObjectTreeNode* maskNode = FindLayerByText(ArgText(48));
  if (maskNode == nullptr) return 0;
  auto* mask = LayerRecordOf(maskNode);
  if (mask->mWidth != record->mWidth || mask->mHeight != record->mHeight) {
    ShowMessageBox("", "レイヤ画像とマスクレイヤ画像のサイズが異なります。");
    g_QuitFlag.store(1);
    return -1;
  }
  // Without pixels on either side there is nothing to copy.
  if (mask->mPixels == nullptr || record->mPixelAlloc == nullptr) return 0;
  size_t count = static_cast<size_t>(record->mWidth) * static_cast<size_t>(record->mHeight);
  auto copy = [&](uint8_t* pixels) {
    for (size_t i = 0; i < count; ++i) pixels[i * 4 + 3] = mask->mPixels[i * 4];
  };
  copy(record->mPixelAlloc);
  // A toned copy in use shows the new alpha at once as well.
  if (record->mPixels != nullptr && record->mPixels != record->mPixelAlloc) copy(record->mPixels);
  record->mHasAlpha = 1;
  return 0;
}

// New sides for an existing group's canvas (ids 9 and 10). 0 or -1.
int ResizeGroupCanvas(ObjectTreeNode* node, LayerRecord* record) {
  for (int id : {9, 10}) {
    if (!HasArg(id)) continue;
    InvalidateGroupToRoot(node);
    auto side = static_cast<int32_t>(std::min<int64_t>(ArgInt(id), INT32_MAX));
    if (id == 9) {
      record->mWidth = record->mBufferWidth = side;
    } else {
      record->mHeight = record->mBufferHeight = side;
    }
    if (record->mWidth <= 0 || record->mHeight <= 0) continue;
    record->mDirtyWhole = 1;
    record->mDirtyValid = 1;
    record->mDirtyRect[0] = 0;
    record->mDirtyRect[1] = 0;
    record->mDirtyRect[2] = record->mWidth - 1;
    record->mDirtyRect[3] = record->mHeight - 1;
    uint8_t* block = AllocPixelBuffer(nullptr, record->mWidth, record->mHeight, nullptr);
    if (block == nullptr) return -1;
    SetPixelBuffer(record, block, record->mWidth, record->mHeight);
    InvalidateGroupToRoot(node);
    if (RedrawLayerGroup(node) != 0) return -1;
  }
  return 0;
}

// The loaded image put on a canvas of the new sides: opaque black, with the
// image's top-left part kept. 0 or -1.
int ResizeLoadedImage(ObjectTreeNode* node, LayerRecord* record) {
  if (!HasArg(9) || !HasArg(10)) {
    ReportErrorAtScriptFmt(kMsgResizeNeedsBothSides, Command());
    return -1;
  }
  InvalidateLayerToRoot(node);
  auto width = static_cast<int32_t>(std::min<int64_t>(ArgInt(9), INT32_MAX));
  auto height = static_cast<int32_t>(std::min<int64_t>(ArgInt(10), INT32_MAX));
  uint8_t* block = AllocPixelBuffer(nullptr, width, height, nullptr);
  if (block == nullptr) return -1;
  const uint32_t black = 0xFF000000u;
  for (size_t i = 0; i < static_cast<size_t>(width) * static_cast<size_t>(height); ++i) {
    std::memcpy(block + i * 4, &black, 4);
  }
  if (record->mPixelAlloc != nullptr) {
    int32_t keepWidth = std::min(width, record->mWidth);
    int32_t keepHeight = std::min(height, record->mHeight);
    for (int32_t y = 0; y < keepHeight; ++y) {
      std::memcpy(block + static_cast<size_t>(y) * width * 4,
                  record->mPixelAlloc + static_cast<size_t>(y) * record->mWidth * 4, static_cast<size_t>(keepWidth) * 4);
    }
  }
  SetPixelBuffer(record, block, width, height);
  InvalidateLayerToRoot(node);
  return 0;
}

// Ids 4, 28, 5, 29: a position in pixels or in hundredths, the other kept in
// step. True when it moved.
bool MovePosition(ObjectTreeNode* node, int id, bool hundredths, int64_t* pixels,
                  int64_t* hundredthsValue) {
  if (!HasArg(id)) return false;
  int64_t current = hundredths ? *hundredthsValue : *pixels;
  int64_t next = ApplyValueOp(Op(id), current, ArgInt(id));
  if (next == current) return false;
  if (g_GpuCompose == 0 && g_GpuPresent == 0) Invalidate(node);
  if (hundredths) {
    *hundredthsValue = next;
    *pixels = next / 100;
  } else {
    *pixels = next;
    *hundredthsValue = static_cast<int64_t>(static_cast<uint64_t>(next) * 100u);
  }
  return true;
}

// The attributes only the GPU drawing uses (ids 30-45). True when any changed.
bool SetGpuAttributes(LayerRecord* record) {
  bool changed = false;
  auto number = [&](int id, auto* field) {
    if (!HasArg(id)) return;
    auto next = static_cast<std::remove_reference_t<decltype(*field)>>(ApplyValueOp(Op(id), *field, ArgInt(id)));
    changed |= next != *field;
    *field = next;
  };
  auto clamped = [&](int id, auto* field, int64_t minimum, int64_t maximum) {
    if (!HasArg(id)) return;
    auto next = static_cast<std::remove_reference_t<decltype(*field)>>(Clamped(id, *field, minimum, maximum));
    changed |= next != *field;
    *field = next;
  };
  number(30, &record->mScaleX);
  number(31, &record->mScaleY);
  for (auto [id, field] : {std::pair{32, &record->mRotation1}, {33, &record->mRotation2}, {34, &record->mRotation3}}) {
    if (!HasArg(id)) continue;
    auto next = static_cast<float>(ApplyValueOp(Op(id), TruncateRealToInt(*field), ArgInt(id)));
    changed |= next != *field;
    *field = next;
  }
  number(35, &record->mCentreX);
  number(36, &record->mCentreY);
  number(37, &record->mModelX);
  number(38, &record->mModelY);
  number(39, &record->mExtraParam);
  clamped(40, &record->mSaturation2, 0, 256);
  clamped(41, &record->mTone2, 0, 0x1000000);
  if (HasArg(42)) {
    auto flag = static_cast<uint8_t>(ArgInt(42));
    changed |= flag != record->mFlag2;
    record->mFlag2 = flag;
  }
  if (HasArg(43)) {
    StorePathText(record->mSecondLayerPath, ArgText(43));
    changed = true;
  }
  clamped(44, &record->mFade, 0, 256);
  clamped(45, &record->mShrinkInPlace, 0, 1);
  return changed;
}

// Creates the missing node the arguments describe. The node, or null with
// *result the command's answer (0 when nothing was to be made).
ObjectTreeNode* CreateMissingNode(const char* path, bool group, int64_t creationKey, int32_t* result) {
  *result = -1;
  bool image = HasArg(46);
  bool share = HasArg(47);
  if (group) {
    if (image || share) {
      ReportErrorAtScriptFmt(kMsgImageIntoGroup, Command());
      return nullptr;
    }
    if (!HasArg(9) && !HasArg(10) && creationKey < 0) {
      *result = 0;
      return nullptr;
    }
    // A side not given makes a sizeless group.
    if (CreateBlankImageLayer(path, HasArg(9) ? ArgInt(9) : 0, HasArg(10) ? ArgInt(10) : 0, creationKey) == nullptr) {
      return nullptr;
    }
    return FindObjectByPath(g_LayerRoot, path, kPathGroup);
  }
  if (!image && !share) {
    if (g_CommandSwitches[1] == 0) {
      *result = 0;
      return nullptr;
    }
    ReportErrorAtScriptFmt(kMsgLayerMissing, Command(), path);
    return nullptr;
  }
  if (creationKey < 0) {
    ReportErrorAtScriptFmt(kMsgLayerWithoutOrderKey, Command());
    return nullptr;
  }
  ObjectTreeNode* source = nullptr;
  if (!image) {
    // A share with an empty source text makes nothing: a node without a
    // record would be a layer that is not there.
    if (ArgText(47)[0] == '\0') return nullptr;
    source = FindLayerByText(ArgText(47));
    if (source == nullptr) {
      ReportErrorAtScriptFmt(kMsgShareSourceMissing, Command(), ArgText(47));
      return nullptr;
    }
  }
  ObjectTreeNode* node = CreateTreeNode(g_LayerRoot, path, creationKey, 0);
  if (node == nullptr) return nullptr;
  LayerRecord* record = image ? GetLayerRecord(node)
                              : AttachLayerRecord(node, LayerRecordOf(source));
  if (record == nullptr) {
    ReleaseLayerNode(node);
    return nullptr;
  }
  return node;
}

}  // namespace

int32_t CmdLayerDefine() {
  if (FetchCommandArguments(kLayerDefineSlot) != 0) return -1;
  char path[kObjectPathBytes];
  int kind = NormalizeLayerPathArguments(path);
  if (kind < 0) return -1;
  bool group = kind == kPathGroup;
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, path, group ? kPathGroup : kPathLeaf);
  // A node without a record is no layer: it goes, and the path is free again.
  if (node != nullptr && node->mPayload == nullptr && node->mFirstChild == nullptr) {
    ReleaseLayerNode(node);
    node = nullptr;
  }
  if (node != nullptr && node->mPayload == nullptr) return 0;
  if (!SideAccepted(9) || !SideAccepted(10)) return -1;

  bool redraw = false;
  int64_t creationKey = HasArg(1) ? ArgInt(1) : -1;
  if (HasArg(6)) {
    int64_t key = ApplyValueOpMin(Op(6), node != nullptr ? node->mOrderKey : 1, ArgInt(6), 1);
    if (node != nullptr) {
      redraw |= SetNodeOrderKey(node, key) != 0;
    } else {
      creationKey = key;
    }
  }

  bool createdGroup = false;
  if (node == nullptr) {
    int32_t result = 0;
    node = CreateMissingNode(path, group, creationKey, &result);
    if (node == nullptr) return result;
    createdGroup = group;
  }
  auto* record = LayerRecordOf(node);

  if (HasArg(46)) {
    if (group) {
      ReportErrorAtScriptFmt(kMsgImageIntoGroup, Command());
      return -1;
    }
    InvalidateLayerToRoot(node);
    if (LoadImageFile(record, ArgText(46)) != 0) {
      g_QuitFlag.store(1);
      return -1;
    }
    redraw = true;
  }
  if (HasArg(48) && ArgText(48)[0] != '\0' && CopyMaskAlpha(record) != 0) return -1;
  if (HasArg(51)) {
    std::string rulePath = ArgText(51);
    if (HasArg(52)) {
      char number[32];
      std::snprintf(number, sizeof number, ".%" PRId64, ArgInt(52));
      rulePath += number;
    }
    StorePathText(record->mRuleLayerPath, rulePath);
  }
  if (HasArg(2) && ArgInt(2) != record->mVisible) {
    Invalidate(node);
    record->mVisible = static_cast<uint8_t>(ArgInt(2));
    redraw = true;
  }
  if (HasArg(3)) {
    auto opacity = static_cast<int16_t>(Clamped(3, record->mOpacity, 0, 256));
    if (opacity != record->mOpacity) {
      record->mOpacity = opacity;
      Invalidate(node);
      redraw = true;
    }
  }
  redraw |= MovePosition(node, 4, false, &record->mX, &record->mPosX100);
  redraw |= MovePosition(node, 28, true, &record->mX, &record->mPosX100);
  redraw |= MovePosition(node, 5, false, &record->mY, &record->mPosY100);
  redraw |= MovePosition(node, 29, true, &record->mY, &record->mPosY100);
  if (HasArg(8)) {
    auto tone = static_cast<int32_t>(Clamped(8, record->mTone, 0, 0x1000000));
    redraw |= tone != record->mTone;
    record->mTone = tone;
  }
  if (HasArg(7)) {
    auto saturation = static_cast<int32_t>(Clamped(7, record->mSaturation, 0, 256));
    redraw |= saturation != record->mSaturation;
    record->mSaturation = saturation;
  }
  if (HasArg(9) || HasArg(10)) {
    if (group) {
      if (!createdGroup && ResizeGroupCanvas(node, record) != 0) return -1;
    } else if (HasArg(46)) {
      if (ResizeLoadedImage(node, record) != 0) return -1;
    }
    redraw = true;
  }
  if (HasArg(50)) {
    auto threshold = static_cast<int16_t>(Clamped(50, record->mRuleThreshold, 0, 256));
    redraw |= threshold != record->mRuleThreshold;
    record->mRuleThreshold = threshold;
  }
  if (HasArg(53)) {
    auto softness = static_cast<int16_t>(static_cast<uint16_t>(ArgInt(53)));
    redraw |= softness != record->mRuleSoftness;
    record->mRuleSoftness = softness;
  }
  if (HasArg(54)) {
    // The mode indexes the kernel table: only the modes that exist.
    if (ArgInt(54) < 0 || ArgInt(54) > kMaxBlendMode) {
      ReportErrorAtScriptFmt(kMsgArgumentOutOfRange, Command(), ArgumentName(kLayerDefineSlot, 54), ArgInt(54),
                             static_cast<int64_t>(0), static_cast<int64_t>(kMaxBlendMode));
      return -1;
    }
    auto mode = static_cast<uint8_t>(ArgInt(54));
    redraw |= mode != record->mBlendMode;
    record->mBlendMode = mode;
  }
  if (HasArg(25) && ArgInt(25) == 1 && g_GpuDrawing != 0) {
    if (record->mGpuState == 0) record->mGpuState = 1;
    int flag = HasArg(24) ? static_cast<int>(ArgInt(24) - 1) : 0;
    if (UploadLayerTexture(record, flag, kTileLimitX, kTileLimitY) != 0) return -1;
    redraw = true;
  }
  if (HasArg(26)) {
    if (ArgInt(26) == 1) g_FrameCaptureLayer = node;
    if (ArgInt(26) == 0) g_FrameCaptureLayer = nullptr;
  }
  redraw |= SetGpuAttributes(record);
  if (HasArg(27) && g_GpuDrawing != 0) {
    if (RenderFrameGpu() != 0) return -1;
    redraw = true;
  }
  if (HasArg(56)) record->mTag1 = ApplyValueOp(Op(56), record->mTag1, ArgInt(56));
  if (HasArg(57)) record->mTag2 = ApplyValueOp(Op(57), record->mTag2, ArgInt(57));
  if (redraw) {
    g_GpuRedrawRequest = 1;
    if (!createdGroup) Invalidate(node);
  }
  return 0;
}
