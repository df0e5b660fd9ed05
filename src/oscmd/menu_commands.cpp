// The script's menu commands: define or change an item, show a sub-tree as a
// popup at the cursor, delete, and query.
#include <cstdint>

#include "core/display_state.h"
#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/sjis.h"
#include "oscmd/menu_record.h"
#include "oscmd/menu_sets.h"
#include "platform/input_devices.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/variables.h"

namespace {

constexpr int kMenuDefineSlot = 62;
constexpr int kMenuPopupSlot = 63;
constexpr int kMenuDeleteSlot = 64;
constexpr int kMenuQuerySlot = 65;


// The normalised path of an argument with its kind (leaf or group); -1 when
// the path is missing or cannot be normalised (reported).
int NormalizeMenuPath(int id, char* output) {
  if (!HasArg(id)) return -1;
  return NormalizeObjectPath(output, ArgText(id), g_MenuPathBase, 0);
}

// Order keys of menu items stay 32-bit and, after a subtraction, product or
// quotient, at least 1.
int64_t NewOrderKey(int64_t current, int op, int64_t value) {
  auto c = static_cast<int32_t>(current);
  auto v = static_cast<int32_t>(value);
  int32_t result = c;
  switch (op) {
    case 0: return static_cast<int32_t>(value);
    case 1: return static_cast<int32_t>(static_cast<uint32_t>(c) + static_cast<uint32_t>(v));
    case 2: result = static_cast<int32_t>(static_cast<uint32_t>(c) - static_cast<uint32_t>(v)); break;
    case 3: result = static_cast<int32_t>(static_cast<uint32_t>(c) * static_cast<uint32_t>(v)); break;
    case 4:
      // INT32_MIN / -1 does not fit: it wraps as the product would.
      if (v != 0) result = (v == -1) ? static_cast<int32_t>(0u - static_cast<uint32_t>(c)) : c / v;
      break;
    default: return c;
  }
  return result < 1 ? 1 : result;
}

MenuItemRecord* RecordOf(ObjectTreeNode* node) {
  return node != nullptr ? static_cast<MenuItemRecord*>(node->mPayload) : nullptr;
}

void FreeMenuNode(ObjectTreeNode* node) {
  FreeMenuItemRecord(static_cast<MenuItemRecord*>(node->mPayload));
  node->mPayload = nullptr;
  FreeTreeNode(node);
}

// Frees the node's descendants, children of groups first, then the node.
void FreeMenuSubtree(ObjectTreeNode* node) {
  ReleaseDescendants(node, FreeMenuNode);
  node->mFirstChild = nullptr;
  node->mLastChild = nullptr;
  node->mChildCount = 0;
  DetachTreeNode(node);
  FreeMenuNode(node);
}

// A number into an integer or real element; a string element is a type
// mismatch (reported by the setter).
void WriteValue(uint32_t n, int64_t e, int64_t value) {
  const VariableRecord* variable = FindVariableRecord(n);
  if (variable != nullptr && variable->mVarType == kVarReal) {
    SetRealElement(n, e, static_cast<double>(value));
  } else {
    SetNumberElement(n, e, value);
  }
}

}  // namespace

int32_t CmdMenuDefine() {
  if (FetchCommandArguments(kMenuDefineSlot) != 0) return -1;
  char path[kObjectPathBytes];
  int kind = NormalizeMenuPath(0, path);
  if (kind < 0) return -1;
  ObjectTreeNode* node = FindObjectByPath(g_MenuRoot, path, kind);
  int64_t key = -1;
  if (HasArg(2)) {
    int64_t current = node != nullptr ? static_cast<int32_t>(node->mOrderKey) : 1;
    key = NewOrderKey(current, g_ArgOperator[ArgSlot(2)], ArgInt(2));
    if (node != nullptr) SetNodeOrderKey(node, key);
  }
  MenuItemRecord* record = RecordOf(node);
  if (node == nullptr) {
    if (!HasArg(1)) {
      ReportErrorAtScriptFmt(kMsgMenuItemWithoutText, CommandName(kMenuDefineSlot), path);
      return -1;
    }
    if (!HasArg(2)) {
      ReportErrorAtScriptFmt(kMsgLayerWithoutOrderKey, CommandName(kMenuDefineSlot));
      return -1;
    }
    node = CreateTreeNode(g_MenuRoot, path, key, kind == kPathGroup ? 1 : 0);
    if (node == nullptr) return -1;
    record = CreateMenuItemRecord(node, ArgText(1));
    if (record == nullptr) return -1;
  } else if (HasArg(1)) {
    if (record == nullptr) return 0;
    CopySjisBounded(record->mText, kMenuTextBytes, ArgText(1));
  }
  if (record == nullptr) return 0;
  if (HasArg(3)) record->mVisible = static_cast<int8_t>(ArgInt(3));
  if (HasArg(4)) record->mEnabled = static_cast<int16_t>(ArgInt(4));
  if (HasArg(5)) record->mChecked = static_cast<int8_t>(ArgInt(5));
  if (HasArg(6)) record->mCommandId = ArgInt(6);
  return 0;
}

int32_t CmdMenuPopup() {
  if (FetchCommandArguments(kMenuPopupSlot) != 0) return -1;
  char path[kObjectPathBytes];
  if (NormalizeMenuPath(0, path) < 0) return -1;
  ObjectTreeNode* node = FindObjectByPath(g_MenuRoot, path, kPathAny);
  if (node == nullptr || !HasArg(1) || ArgInt(1) != 1) return 0;
  if (BuildPopupSet(kScriptPopupSet, node) != 0) return 0;
  int x = 0;
  int y = 0;
  GetCursorDesktopPosition(&x, &y);
  g_PendingPopup = kScriptPopupSet;
  g_PendingPopupX = x - g_PaintOffset.mX;
  g_PendingPopupY = y - g_PaintOffset.mY;
  return 0;
}

int32_t CmdMenuDelete() {
  if (FetchCommandArguments(kMenuDeleteSlot) != 0) return -1;
  char path[kObjectPathBytes];
  int kind = NormalizeMenuPath(0, path);
  if (kind < 0) return -1;
  ObjectTreeNode* node = FindObjectByPath(g_MenuRoot, path, kind);
  if (node == nullptr || node == g_MenuRoot) return 0;
  FreeMenuSubtree(node);
  return 0;
}

int32_t CmdMenuQuery() {
  if (FetchCommandArguments(kMenuQuerySlot) != 0) return -1;
  int outSlot = ArgSlot(0);
  char path[kObjectPathBytes];
  int kind = NormalizeMenuPath(1, path);
  if (kind < 0) return -1;
  if (outSlot == 0) return 0;
  auto n = static_cast<uint32_t>(g_ArgVarId[outSlot]);
  int64_t e = g_ArgVarElement[outSlot];
  ObjectTreeNode* node = FindObjectByPath(g_MenuRoot, path, kind);
  MenuItemRecord* record = RecordOf(node);
  if (record == nullptr) {
    WriteEmptyElement(n, e);
    return 0;
  }
  static constexpr int kQueryOrder[] = {3, 5, 6, 4, 7, 8, 2};
  for (int id : kQueryOrder) {
    if (!HasArg(id)) continue;
    switch (id) {
      case 3: WriteValue(n, e, 1); break;
      case 5: WriteValue(n, e, record->mVisible); break;
      case 6: WriteValue(n, e, record->mEnabled); break;
      case 4: WriteValue(n, e, node->mOrderKey); break;
      case 7: WriteValue(n, e, record->mChecked); break;
      case 8: WriteValue(n, e, record->mCommandId); break;
      case 2: {
        const VariableRecord* variable = FindVariableRecord(n);
        if (variable != nullptr && variable->mVarType == kVarString) SetStringElement(n, e, record->mText);
        break;
      }
      default: break;
    }
    return 0;
  }
  return 0;
}

int32_t CmdValidateOnly66() { return FetchCommandArguments(66) != 0 ? -1 : 0; }
int32_t CmdValidateOnly67() { return FetchCommandArguments(67) != 0 ? -1 : 0; }
int32_t CmdValidateOnly68() { return FetchCommandArguments(68) != 0 ? -1 : 0; }
