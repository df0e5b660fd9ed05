#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/errors.h"
#include "core/message_ids.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/window_table.h"
#include "layer/layer_commands.h"
#include "layer/layer_record.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/script_data.h"
#include "script/variables.h"

namespace {

constexpr int kLayerQuerySlot = 4;
constexpr int kOutId = 33;
// The query ids in the order the first present one wins.
constexpr int kQueryOrder[] = {2, 3, 4, 9, 10, 11, 5, 6, 7, 12, 13, 14, 15, 16, 17, 18, 19, 20, 28,
                               26, 27, 29, 30, 31, 21, 22, 23, 24, 25};


uint32_t ReadPixel(const LayerRecord* record, int64_t x, int64_t y) {
  uint32_t value = 0;
  std::memcpy(&value, record->mPixels + (static_cast<size_t>(y) * record->mWidth + static_cast<size_t>(x)) * 4, 4);
  return value;
}

int64_t PixelOfKind(uint32_t pixel, int kind) {
  if (kind == 1) return pixel & 0xFFFFFF;
  if (kind == 2) return pixel >> 24;
  return pixel;
}

// The n-th child from the top (1 = topmost, last in the list).
ObjectTreeNode* NthFromTop(ObjectTreeNode* group, int64_t n) {
  if (n < 1) return nullptr;
  ObjectTreeNode* child = group->mLastChild;
  for (int64_t i = 1; child != nullptr && i < n; ++i) child = child->mPrevSibling;
  return child;
}

int64_t FindTaggedChild(ObjectTreeNode* group) {
  if (!HasArg(26)) return 0;
  int64_t start = std::max<int64_t>(ArgInt(32), 1);
  int64_t position = 1;
  for (ObjectTreeNode* child = group->mLastChild; child != nullptr; child = child->mPrevSibling, ++position) {
    const auto* record = static_cast<const LayerRecord*>(child->mPayload);
    if (position < start || record == nullptr) continue;
    if (record->mTag1 != ArgInt(26)) continue;
    if (HasArg(27) && record->mTag2 != ArgInt(27)) continue;
    return position;
  }
  return -1;
}

int64_t OpaqueEdge(const LayerRecord* record, int64_t selector, int64_t threshold) {
  if (record->mPixels == nullptr) return -1;
  int64_t top = -1, bottom = -1, left = -1, right = -1;
  for (int64_t y = 0; y < record->mHeight; ++y) {
    for (int64_t x = 0; x < record->mWidth; ++x) {
      if (static_cast<int64_t>(ReadPixel(record, x, y) >> 24) <= threshold) continue;
      if (top < 0) top = y;
      bottom = y;
      if (left < 0 || x < left) left = x;
      right = std::max(right, x);
    }
  }
  if (top < 0) return -1;
  switch (selector) {
    case 1: return top;
    case 2: return bottom;
    case 3: return left;
    case 4: return right;
    default: return 0;
  }
}

void WriteNumber(uint32_t n, int64_t e, int64_t value) {
  const VariableRecord* variable = FindVariableRecord(n);
  if (variable != nullptr && variable->mVarType == kVarString) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRId64, value);
    SetStringElement(n, e, text);
  } else if (variable != nullptr && variable->mVarType == kVarReal) {
    SetRealElement(n, e, static_cast<double>(value));
  } else {
    SetNumberElement(n, e, value);
  }
}

void WriteText(uint32_t n, int64_t e, const char* text) {
  const VariableRecord* variable = FindVariableRecord(n);
  if (variable != nullptr && variable->mVarType != kVarString) {
    WriteNumber(n, e, std::strtoll(text, nullptr, 10));
  } else {
    SetStringElement(n, e, text);
  }
}

}  // namespace

int64_t ReadLayerPixelAtPoint(ObjectTreeNode* node, int64_t x, int64_t y, int kind) {
  const auto* record = node != nullptr ? static_cast<const LayerRecord*>(node->mPayload) : nullptr;
  if (record == nullptr || record->mPixels == nullptr) return -1;
  int32_t screenX = 0;
  int32_t screenY = 0;
  for (const ObjectTreeNode* at = node; at != nullptr && at != g_LayerRoot; at = at->mParent) {
    const auto* r = static_cast<const LayerRecord*>(at->mPayload);
    if (r == nullptr) break;
    screenX = static_cast<int32_t>(static_cast<uint32_t>(screenX) + static_cast<uint32_t>(r->mX));
    screenY = static_cast<int32_t>(static_cast<uint32_t>(screenY) + static_cast<uint32_t>(r->mY));
  }
  if (x < screenX || y < screenY || x > screenX + static_cast<int64_t>(record->mWidth) - 1 ||
      y > screenY + static_cast<int64_t>(record->mHeight) - 1) {
    return -1;
  }
  return PixelOfKind(ReadPixel(record, x - screenX, y - screenY), kind);
}

int32_t CmdLayerQuery() {
  if (FetchCommandArguments(kLayerQuerySlot) != 0) return -1;
  char path[kObjectPathBytes];
  int kind = NormalizeLayerPathArguments(path);
  if (kind < 0) return -1;
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, path, kind == kPathGroup ? kPathGroup : kPathLeaf);
  int outSlot = ArgSlot(kOutId);
  if (outSlot == 0) return 0;
  auto n = static_cast<uint32_t>(g_ArgVarId[outSlot]);
  int64_t e = g_ArgVarElement[outSlot];
  auto* record = LayerRecordOf(node);
  if (record == nullptr) {
    WriteEmptyElement(n, e);
    return 0;
  }
  bool group = node->mIsGroup != 0;
  for (int id : kQueryOrder) {
    if (!HasArg(id)) continue;
    int64_t value = 0;
    switch (id) {
      case 2: value = 1; break;
      case 3: value = static_cast<int8_t>(record->mVisible); break;
      case 4: value = record->mOpacity; break;
      case 9: value = record->mRuleThreshold; break;
      case 10: WriteText(n, e, record->mRuleLayerPath != nullptr ? record->mRuleLayerPath : ""); return 0;
      case 11: value = record->mRuleSoftness; break;
      case 5: value = record->mX; break;
      case 6: value = record->mY; break;
      case 7: value = node->mOrderKey; break;
      case 12: value = static_cast<int8_t>(record->mBlendMode); break;
      case 13: value = record->mWidth; break;
      case 14: value = record->mHeight; break;
      case 15: value = record->mScaleX; break;
      case 16: value = record->mScaleY; break;
      case 17: value = record->mModelX; break;
      case 18: value = record->mModelY; break;
      case 19: value = record->mExtraParam; break;
      case 20: value = record->mGpuState; break;
      case 26: value = record->mTag1; break;
      case 27: value = record->mTag2; break;
      case 28:
        if (!group) continue;
        value = FindTaggedChild(node);
        break;
      case 29:
        if (!group) continue;
        value = node->mChildCount;
        break;
      case 30:
      case 31: {
        ObjectTreeNode* child = group ? NthFromTop(node, ArgInt(32)) : nullptr;
        if (child == nullptr) continue;
        if (id == 30) {
          WriteText(n, e, child->mName != nullptr ? child->mName : "");
          return 0;
        }
        value = child->mIsGroup != 0 ? 1 : 0;
        break;
      }
      case 21:
      case 22:
      case 23: {
        int window = static_cast<int>(std::clamp<int64_t>(ArgInt(id), 0, kWindowCount - 1));
        const WindowObject* object = g_WindowTable[window];
        int64_t x = HasArg(34) ? ArgInt(34) : (object != nullptr ? object->mCursorX : 0);
        int64_t y = HasArg(35) ? ArgInt(35) : (object != nullptr ? object->mCursorY : 0);
        if (object == nullptr || x < 0 || y < 0 || x >= object->mWidth || y >= object->mHeight) {
          value = -1;
        } else {
          value = ReadLayerPixelAtPoint(node, x, y, id - 20);
        }
        break;
      }
      case 24: {
        if (!HasArg(34) || !HasArg(35)) {
          const char* command = g_CommandNames[kLayerQuerySlot] != nullptr ? g_CommandNames[kLayerQuerySlot] : "";
          const char* argument = g_ArgNames[kLayerQuerySlot] != nullptr && g_ArgNames[kLayerQuerySlot][24] != nullptr
                                     ? g_ArgNames[kLayerQuerySlot][24]
                                     : "";
          ReportErrorAtScriptFmt(kMsgLayerPointMissing, command, argument);
          return -1;
        }
        int64_t x = ArgInt(34);
        int64_t y = ArgInt(35);
        bool inside = record->mPixels != nullptr && x >= 0 && y >= 0 && x < record->mWidth && y < record->mHeight;
        value = inside ? static_cast<int64_t>(ReadPixel(record, x, y) & 0xFFFFFF) : -1;
        break;
      }
      case 25:
        // Absent selector and threshold: the top row of any pixel not
        // wholly transparent.
        value = OpaqueEdge(record, HasArg(34) ? ArgInt(34) : 1, HasArg(35) ? ArgInt(35) : 0);
        break;
      default: continue;
    }
    WriteNumber(n, e, value);
    return 0;
  }
  WriteNumber(n, e, 0);
  return 0;
}
