// Menu trees built into menu sets, and the menu bar attached from them.
#include "oscmd/menu_sets.h"

#include <gtest/gtest.h>

#include <string>

#include "core/errors.h"
#include "core/object_tree.h"
#include "oscmd/menu_record.h"
#include "support/script_runner.h"
#include "support/script_test_env.h"

namespace {

class MenuSetsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallTaggedMessages(RunnerMessageIds());
    ASSERT_EQ(CreateObjectTrees(), 0);
  }
  void TearDown() override { SetMenuBarChangedRoutine(nullptr); }

  // A node under "M0" with its record.
  MenuItemRecord* Add(const std::string& path, bool group, const char* text, int64_t id, int64_t key = 1) {
    ObjectTreeNode* node = CreateTreeNode(g_MenuRoot, ("M0/" + path).c_str(), key, group ? 1 : 0);
    EXPECT_NE(node, nullptr);
    MenuItemRecord* record = CreateMenuItemRecord(node, text);
    record->mCommandId = id;
    return record;
  }
  ObjectTreeNode* Group(const std::string& path) {
    for (ObjectTreeNode* node = g_MenuRoot->mFirstChild; node != nullptr; node = node->mNextSibling) {
      if (path == node->mName) return node;
    }
    return nullptr;
  }

  ScriptTestEnvironment mEnv;
};

int CountSlots(int set) {
  int count = 0;
  for (MenuHandle* menu : g_MenuSets[set]) count += menu != nullptr ? 1 : 0;
  return count;
}

TEST_F(MenuSetsTest, ATreeBecomesItemsSubMenusSeparatorsAndStates) {
  Add("file", true, "&File", 10, 1);
  Add("file/open", false, "Open", 11, 1);
  Add("file/line", false, "", 99, 2);
  Add("file/recent", true, "Recent", 12, 3);  // a group without children
  Add("file/quit", false, "Quit", 13, 4)->mEnabled = 0;
  Add("view", true, "View", 20, 2);
  Add("view/grid", false, "Grid", 21, 1)->mChecked = 1;
  Add("view/hidden", false, "Hidden", 22, 2)->mVisible = 0;
  Add("view/size", false, "Size", 0x100000017, 3);
  Add("view/more", true, "More", 24, 4);
  Add("view/more/deep", false, "Deep", 25, 1);
  Add("view/more/wide", false, "Wide", 26, 2)->mEnabled = static_cast<int16_t>(65536);

  ASSERT_EQ(SetMenuBarFromTree("M0", nullptr), 0);
  MenuHandle* bar = g_MenuSets[kMenuBarSet][0];
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(g_AttachedMenuBar, bar);
  ASSERT_EQ(bar->mItems.size(), 2u);
  EXPECT_EQ(bar->mItems[0].mText, "&File");
  // Sub-menus take slots in the order they are made, depth first.
  EXPECT_EQ(bar->mItems[0].mSubMenu, g_MenuSets[kMenuBarSet][1]);
  EXPECT_EQ(bar->mItems[1].mSubMenu, g_MenuSets[kMenuBarSet][2]);
  EXPECT_EQ(CountSlots(kMenuBarSet), 4);

  const MenuHandle* file = bar->mItems[0].mSubMenu;
  ASSERT_EQ(file->mItems.size(), 4u);
  EXPECT_EQ(file->mItems[0].mId, 11u);
  EXPECT_TRUE(file->mItems[1].mSeparator);
  EXPECT_FALSE(file->mItems[1].mEnabled);
  EXPECT_EQ(file->mItems[2].mSubMenu, nullptr) << "a group without children is a plain item";
  EXPECT_EQ(file->mItems[2].mText, "Recent");
  EXPECT_FALSE(file->mItems[3].mEnabled);

  const MenuHandle* view = bar->mItems[1].mSubMenu;
  ASSERT_EQ(view->mItems.size(), 3u) << "the invisible item is left out and the rest move up";
  EXPECT_TRUE(view->mItems[0].mChecked);
  EXPECT_EQ(view->mItems[1].mText, "Size");
  EXPECT_EQ(view->mItems[1].mId, 0x17u) << "the id is the command id's low 32 bits";
  ASSERT_NE(view->mItems[2].mSubMenu, nullptr);
  EXPECT_EQ(view->mItems[2].mSubMenu, g_MenuSets[kMenuBarSet][3]);
  EXPECT_FALSE(view->mItems[2].mSubMenu->mItems[1].mEnabled) << "65536 keeps 0 in its low 16 bits";
}

TEST_F(MenuSetsTest, ARebuildReplacesTheSetAndAnEmptyPathRemovesTheBar) {
  int changes = 0;
  static int* counter = nullptr;
  counter = &changes;
  SetMenuBarChangedRoutine([] { ++*counter; });
  Add("a", true, "A", 1);
  Add("a/x", false, "X", 2);
  ASSERT_EQ(SetMenuBarFromTree("M0", nullptr), 0);
  Add("b", true, "B", 3, 2);
  Add("b/y", false, "Y", 4);
  ASSERT_EQ(SetMenuBarFromTree("M0", nullptr), 0);
  ASSERT_NE(g_AttachedMenuBar, nullptr);
  EXPECT_EQ(g_AttachedMenuBar->mItems.size(), 2u);
  EXPECT_EQ(CountSlots(kMenuBarSet), 3);
  ASSERT_EQ(SetMenuBarFromTree("", nullptr), 0);
  EXPECT_EQ(g_AttachedMenuBar, nullptr);
  EXPECT_EQ(CountSlots(kMenuBarSet), 0);
  EXPECT_GE(changes, 3);
}

TEST_F(MenuSetsTest, ATreeNeedingMoreThan128MenusLeavesTheWindowWithoutAMenuBar) {
  Add("small", true, "Small", 1);
  Add("small/x", false, "X", 2);
  ASSERT_EQ(SetMenuBarFromTree("M0", nullptr), 0);
  ASSERT_NE(g_AttachedMenuBar, nullptr);
  // A chain of 130 nested sub-menus.
  std::string path = "deep";
  for (int depth = 0; depth < 130; ++depth) {
    Add(path, true, "Level", depth + 10);
    path += "/n";
  }
  Add(path, false, "Leaf", 5);
  EXPECT_EQ(SetMenuBarFromTree("M0", nullptr), -1);
  EXPECT_EQ(g_AttachedMenuBar, nullptr) << "the window keeps no destroyed or half-built menu";
  EXPECT_EQ(CountSlots(kMenuBarSet), 0);
  // The smaller tree still builds afterwards.
  ASSERT_EQ(SetMenuBarFromTree("M0/small", nullptr), 0);
  ASSERT_NE(g_AttachedMenuBar, nullptr);
  EXPECT_EQ(g_AttachedMenuBar->mItems[0].mText, "X");
}

TEST_F(MenuSetsTest, AMissingPathReportsAndKeepsTheOldBar) {
  Add("a", true, "A", 1);
  Add("a/x", false, "X", 2);
  ASSERT_EQ(SetMenuBarFromTree("M0", nullptr), 0);
  MenuHandle* bar = g_AttachedMenuBar;
  EXPECT_EQ(SetMenuBarFromTree("M0/missing", nullptr), -1);
  EXPECT_TRUE(LastReportIs(kMsgShareSourceMissing)) << LastReportTag();
  EXPECT_EQ(g_AttachedMenuBar, bar);
}

TEST_F(MenuSetsTest, APopupSetHasOneTopItemWhoseSubMenuHoldsTheChildren) {
  Add("pop", true, "Pop", 1);
  Add("pop/one", false, "One", 7);
  Add("pop/two", false, "Two", 8, 2);
  ASSERT_EQ(BuildPopupSet(kScriptPopupSet, Group("M0")), 0);
  MenuHandle* top = g_MenuSets[kScriptPopupSet][0];
  ASSERT_NE(top, nullptr);
  ASSERT_EQ(top->mItems.size(), 1u);
  EXPECT_EQ(top->mItems[0].mText, "MENUSET");
  EXPECT_EQ(top->mItems[0].mId, kPopupTopItemId);
  MenuHandle* popup = GetPopupMenu(kScriptPopupSet);
  ASSERT_NE(popup, nullptr);
  ASSERT_EQ(popup->mItems.size(), 1u);
  ASSERT_NE(popup->mItems[0].mSubMenu, nullptr);
  EXPECT_EQ(popup->mItems[0].mSubMenu->mItems.size(), 2u);
  // The tray set is separate from the script popup.
  EXPECT_EQ(GetPopupMenu(kTrayPopupSet), nullptr);
  DestroyMenuSet(kScriptPopupSet);
  EXPECT_EQ(CountSlots(kScriptPopupSet), 0);
}

}  // namespace
