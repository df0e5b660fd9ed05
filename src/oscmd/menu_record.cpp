#include "oscmd/menu_record.h"

#include <cstdlib>

#include "core/alloc.h"
#include "core/errors.h"
#include "core/object_tree.h"
#include "core/sjis.h"
#include "image/pixel_primitives.h"

MenuItemRecord* CreateMenuItemRecord(ObjectTreeNode* node, const char* text) {
  if (node == nullptr) return nullptr;
  auto* record = static_cast<MenuItemRecord*>(AllocZeroed(sizeof(MenuItemRecord)));
  auto* buffer = static_cast<char*>(AllocZeroed(kMenuTextBytes));
  if (record == nullptr || buffer == nullptr) {
    std::free(record);
    std::free(buffer);
    ReportError(100010, 1);
    return nullptr;
  }
  CopySjisBounded(buffer, kMenuTextBytes, text != nullptr ? text : "");
  record->mText = buffer;
  record->mVisible = 1;
  record->mEnabled = 256;
  node->mPayload = record;
  return record;
}

void FreeMenuItemRecord(MenuItemRecord* record) {
  if (record == nullptr) return;
  std::free(record->mText);
  std::free(record);
}
