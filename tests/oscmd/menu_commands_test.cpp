// The script's menu commands: define, popup, delete and query.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "oscmd/menu_record.h"
#include "oscmd/menu_sets.h"
#include "support/script_assembler.h"
#include "support/script_runner.h"

namespace {

// One frame of a script written by `write`.
void RunScript(ScriptRunner& game, const std::function<void(ScriptAssembler&)>& write) {
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  write(code);
  code.Op("wait", {{"frames", Num(1)}});
  game.Add(code);
  ASSERT_TRUE(game.Load());
  game.Frame();
}

ObjectTreeNode* FindMenu(const char* path, int mode) {
  char normalised[kObjectPathBytes];
  if (NormalizeObjectPath(normalised, path, "M0", 0) < 0) return nullptr;
  return FindObjectByPath(g_MenuRoot, normalised, mode);
}

MenuItemRecord* RecordAt(const char* path, int mode = kPathLeaf) {
  ObjectTreeNode* node = FindMenu(path, mode);
  return node != nullptr ? static_cast<MenuItemRecord*>(node->mPayload) : nullptr;
}

struct OrderCase {
  const char* mName;
  bool mExisting;
  uint8_t mOperator;
  int64_t mValue;
  int64_t mExpected;
};

class MenuOrderKeyTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(MenuOrderKeyTest, TheOperatorGivesTheKeyAndKeepsItAtLeastOne) {
  const OrderCase& c = GetParam();
  ScriptRunner game;
  RunScript(game, [&](ScriptAssembler& code) {
    if (c.mExisting) code.Op("menu", {{"path", Str("item")}, {"text", Str("Item")}, {"order", Num(10)}});
    code.Op("menu", {{"path", Str("item")}, {"text", Str("Item")}, {"order", Num(c.mValue), c.mOperator}});
  });
  EXPECT_EQ(g_LastErrorText, "");
  ObjectTreeNode* node = FindMenu("item", kPathLeaf);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->mOrderKey, c.mExpected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MenuOrderKeyTest,
    ::testing::Values(OrderCase{"NewSet", false, 0, 7, 7}, OrderCase{"NewMinusBelowOne", false, 2, 5, 1},
                      OrderCase{"ExistingAdd", true, 1, 5, 15}, OrderCase{"ExistingSubtract", true, 2, 4, 6},
                      OrderCase{"ExistingTimes", true, 3, 3, 30}, OrderCase{"ExistingDivide", true, 4, 3, 3},
                      OrderCase{"DivideByZeroKeeps", true, 4, 0, 10},
                      OrderCase{"TimesZeroBecomesOne", true, 3, 0, 1},
                      OrderCase{"SetLow32BitsSignExtended", false, 0, 0x1FFFFFFFF, -1},
                      OrderCase{"AddWrapsIn32Bits", true, 1, 0x7FFFFFFF, -2147483639}),
    [](const ::testing::TestParamInfo<OrderCase>& info) { return std::string(info.param.mName); });

TEST(MenuCommandsTest, ANewItemIsVisibleEnabledAndTakesItsFields) {
  ScriptRunner game;
  RunScript(game, [](ScriptAssembler& code) {
    code.Op("menu", {{"path", Str("file/")}, {"text", Str("File")}, {"order", Num(1)}});
    code.Op("menu", {{"path", Str("file/open")}, {"text", Str("Open")}, {"order", Num(2)}, {"command", Num(0x500000007)}});
    code.Op("menu", {{"path", Str("file/quit")}, {"text", Str("Quit")}, {"order", Num(3)}, {"enabled", Num(65536)},
                     {"checked", Num(0x101)}, {"visible", Num(0x100)}});
    code.Op("menu", {{"path", Str("file/open")}, {"text", Str("Open...")}});
  });
  EXPECT_EQ(g_LastErrorText, "");
  ASSERT_NE(FindMenu("file", kPathGroup), nullptr);
  MenuItemRecord* open = RecordAt("file/open");
  ASSERT_NE(open, nullptr);
  EXPECT_STREQ(open->mText, "Open...");
  EXPECT_EQ(open->mVisible, 1);
  EXPECT_EQ(open->mEnabled, 256);
  EXPECT_EQ(open->mCommandId, 0x500000007);
  MenuItemRecord* quit = RecordAt("file/quit");
  ASSERT_NE(quit, nullptr);
  EXPECT_EQ(quit->mEnabled, 0) << "only the low 16 bits are kept";
  EXPECT_EQ(quit->mChecked, 1) << "only the low byte is kept";
  EXPECT_EQ(quit->mVisible, 0);
}

TEST(MenuCommandsTest, ANewItemNeedsATextFirstAndThenAnOrderKey) {
  {
    ScriptRunner game;
    RunScript(game, [](ScriptAssembler& code) { code.Op("menu", {{"path", Str("x")}}); });
    EXPECT_TRUE(LastReportIs(kMsgMenuItemWithoutText)) << LastReportTag();
  }
  {
    ScriptRunner game;
    RunScript(game, [](ScriptAssembler& code) { code.Op("menu", {{"path", Str("x")}, {"text", Str("X")}}); });
    EXPECT_TRUE(LastReportIs(kMsgLayerWithoutOrderKey)) << LastReportTag();
    EXPECT_EQ(FindMenu("x", kPathLeaf), nullptr);
  }
}

TEST(MenuCommandsTest, ALongTextIsCutOnACharacterBoundary) {
  std::string text(259, 'a');
  text += "\x82\xa0\x82\xa0";
  ScriptRunner game;
  RunScript(game, [&](ScriptAssembler& code) {
    code.Op("menu", {{"path", Str("long")}, {"text", Str("short")}, {"order", Num(1)}});
    code.Op("menu", {{"path", Str("long")}, {"text", Str(text)}});
  });
  MenuItemRecord* record = RecordAt("long");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(std::string(record->mText), std::string(259, 'a'));
}

TEST(MenuCommandsTest, QueriesAnswerTheFirstPresentIdInTheirOrder) {
  ScriptRunner game;
  RunScript(game, [](ScriptAssembler& code) {
    code.Op("menu", {{"path", Str("a")}, {"text", Str("Alpha")}, {"order", Num(4)}, {"command", Num(77)},
                     {"checked", Num(1)}, {"enabled", Num(0)}});
    auto query = [&](int element, std::vector<Arg> args) {
      args.push_back({"out", Elem(kRunIntArray, {Num(element / 4), Num(element % 4)})});
      args.push_back({"path", Str("a")});
      code.Op("menu_query", args);
    };
    query(0, {{"exists", Num(1)}, {"command", Num(1)}});
    query(1, {{"visible", Num(1)}, {"order", Num(1)}});
    query(2, {{"enabled", Num(1)}, {"order", Num(1)}});
    query(3, {{"order", Num(1)}, {"checked", Num(1)}});
    query(4, {{"checked", Num(1)}, {"command", Num(1)}});
    query(5, {{"command", Num(1)}});
    code.Op("menu_query", {{"out", Var(kRunText)}, {"path", Str("a")}, {"text", Num(1)}});
    code.Op("menu_query", {{"out", Var(kRunReal)}, {"path", Str("a")}, {"exists", Num(1)}});
    code.Op("menu_query", {{"out", Elem(kRunIntArray, {Num(1), Num(2)})}, {"path", Str("a")}});
  });
  EXPECT_EQ(g_LastErrorText, "");
  const int64_t expected[] = {1, 1, 0, 4, 1, 77};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(IntVar(kRunIntArray, i), expected[i]) << "query " << i;
  EXPECT_EQ(TextVar(kRunText), "Alpha");
  EXPECT_DOUBLE_EQ(RealVar(kRunReal), 1.0);
  EXPECT_EQ(IntVar(kRunIntArray, 6), 0) << "no id writes nothing";
}

TEST(MenuCommandsTest, ExistsIntoAStringIsATypeMismatch) {
  ScriptRunner game;
  RunScript(game, [](ScriptAssembler& code) {
    code.Op("menu", {{"path", Str("a")}, {"text", Str("A")}, {"order", Num(1)}});
    code.Op("menu_query", {{"out", Var(kRunText)}, {"path", Str("a")}, {"exists", Num(1)}});
  });
  EXPECT_TRUE(LastReportIs(kMsgElementTypeMismatch)) << LastReportTag();
}

TEST(MenuCommandsTest, DeletingAGroupFreesItsTreeAndADeletedItemQueriesAsZero) {
  ScriptRunner game;
  RunScript(game, [](ScriptAssembler& code) {
    code.Op("menu", {{"path", Str("g/")}, {"text", Str("G")}, {"order", Num(1)}});
    code.Op("menu", {{"path", Str("g/sub/")}, {"text", Str("Sub")}, {"order", Num(1)}});
    code.Op("menu", {{"path", Str("g/sub/leaf")}, {"text", Str("Leaf")}, {"order", Num(1)}});
    code.Op("menu", {{"path", Str("keep")}, {"text", Str("Keep")}, {"order", Num(2)}});
    code.Op("assign", {{"target", Var(kRunInt)}, {"value", Num(5)}});
    code.Op("assign", {{"target", Var(kRunText)}, {"value", Str("old")}});
    code.Op("menu_delete", {{"path", Str("g/")}});
    code.Op("menu_delete", {{"path", Str("missing")}});
    code.Op("menu_query", {{"out", Var(kRunInt)}, {"path", Str("g/sub/leaf")}, {"exists", Num(1)}});
    code.Op("menu_query", {{"out", Var(kRunText)}, {"path", Str("g/")}, {"text", Num(1)}});
  });
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(FindMenu("g", kPathGroup), nullptr);
  EXPECT_NE(FindMenu("keep", kPathLeaf), nullptr);
  EXPECT_EQ(IntVar(kRunInt), 0);
  EXPECT_EQ(TextVar(kRunText), "");
}

TEST(MenuCommandsTest, APopupNeedsShowOneAndShowsTheNodesChildren) {
  ScriptRunner game;
  RunScript(game, [](ScriptAssembler& code) {
    code.Op("menu", {{"path", Str("pop/")}, {"text", Str("Pop")}, {"order", Num(1)}});
    code.Op("menu", {{"path", Str("pop/a")}, {"text", Str("A")}, {"order", Num(1)}, {"command", Num(5)}});
    code.Op("menu_popup", {{"path", Str("pop/")}, {"show", Num(0)}});
    code.Op("menu_popup", {{"path", Str("missing/")}, {"show", Num(1)}});
  });
  EXPECT_EQ(g_PendingPopup, 0);
  EXPECT_EQ(GetPopupMenu(kScriptPopupSet), nullptr);

  ScriptRunner shown;
  RunScript(shown, [](ScriptAssembler& code) {
    code.Op("menu", {{"path", Str("pop/")}, {"text", Str("Pop")}, {"order", Num(1)}});
    code.Op("menu", {{"path", Str("pop/a")}, {"text", Str("A")}, {"order", Num(1)}, {"command", Num(5)}});
    code.Op("menu", {{"path", Str("leaf")}, {"text", Str("Leaf")}, {"order", Num(2)}});
    code.Op("menu_popup", {{"path", Str("pop/")}, {"show", Num(1)}});
  });
  EXPECT_EQ(g_PendingPopup, kScriptPopupSet);
  MenuHandle* popup = GetPopupMenu(kScriptPopupSet);
  ASSERT_NE(popup, nullptr);
  ASSERT_EQ(popup->mItems.size(), 1u);
  EXPECT_EQ(popup->mItems[0].mId, 5u);
}

TEST(MenuCommandsTest, APopupOfALeafIsEmpty) {
  ScriptRunner game;
  RunScript(game, [](ScriptAssembler& code) {
    code.Op("menu", {{"path", Str("leaf")}, {"text", Str("Leaf")}, {"order", Num(2)}});
    code.Op("menu_popup", {{"path", Str("leaf")}, {"show", Num(1)}});
  });
  EXPECT_EQ(g_PendingPopup, kScriptPopupSet);
  MenuHandle* popup = GetPopupMenu(kScriptPopupSet);
  ASSERT_NE(popup, nullptr);
  EXPECT_TRUE(popup->mItems.empty());
}

}  // namespace
