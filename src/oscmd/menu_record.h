#pragma once
// The payload record of a menu-tree node: a group node is a sub-menu, a leaf
// an item; siblings appear in the order of their order keys.
#include <cstdint>

struct ObjectTreeNode;

// The item text buffer, terminator included.
constexpr int kMenuTextBytes = 261;

struct MenuItemRecord {
  char* mText;         // kMenuTextBytes; empty: a separator
  int8_t mVisible;     // 0: left out of the built menu
  int16_t mEnabled;    // 0: greyed and disabled
  int8_t mChecked;     // 1: shows a tick
  int64_t mCommandId;  // low 32 bits: the item id sent with the command
};

// A record with the text (cut to 260 bytes on a character boundary; null is
// empty), visible 1 and enabled 256, made the node's payload. Null for a
// null node, or after reporting 100010 (fatal) when there is no memory.
MenuItemRecord* CreateMenuItemRecord(ObjectTreeNode* node, const char* text);
// Frees the record and its text.
void FreeMenuItemRecord(MenuItemRecord* record);
