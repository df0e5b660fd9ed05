// The tray icon command, with a desktop tray and without one.
#include "oscmd/tray_icon.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/object_tree.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"
#include "oscmd/menu_sets.h"
#include "platform/tray.h"
#include "support/script_assembler.h"
#include "support/script_runner.h"

namespace {

// A tray that records what it was asked.
struct RecordedTray {
  struct Call {
    bool mShow;
    bool mModify;
    bool mLayerIcon;
    uint8_t mFirstBlue;
    std::string mTip;
    size_t mMenuEntries = 0;
  };
  std::vector<Call> mCalls;
  TrayHooks mHooks;

  RecordedTray() {
    mHooks.mContext = this;
    mHooks.mShow = [](void* context, const TrayIconRequest& request) {
      auto* tray = static_cast<RecordedTray*>(context);
      tray->mCalls.push_back({true, request.mModify, request.mPixels != nullptr,
                              request.mPixels != nullptr ? request.mPixels[0] : uint8_t{0}, request.mTip,
                              request.mMenu.size()});
      return true;
    };
    mHooks.mRemove = [](void* context) { static_cast<RecordedTray*>(context)->mCalls.push_back({false, false, false, 0, ""}); };
    SetTrayHooks(&mHooks);
  }
  ~RecordedTray() { SetTrayHooks(nullptr); }
};

void AddLayer(const char* path, int32_t side, uint8_t blue) {
  ObjectTreeNode* node = CreateTreeNode(g_LayerRoot, path, 1, 0);
  ASSERT_NE(node, nullptr);
  LayerRecord* record = GetLayerRecord(node);
  ASSERT_NE(record, nullptr);
  uint8_t* block = AllocPixelBuffer(nullptr, side, side, nullptr);
  ASSERT_NE(block, nullptr);
  SetPixelBuffer(record, block, side, side);
  for (int32_t i = 0; i < side * side; ++i) record->mPixels[i * 4] = blue;
}

// Frames of tray commands, the layers made after loading.
void RunFrames(ScriptRunner& game, const std::vector<std::function<void(ScriptAssembler&)>>& frames,
               const std::function<void()>& build = [] {}) {
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  for (const auto& frame : frames) {
    frame(code);
    code.Op("wait", {{"frames", Num(1)}});
  }
  game.Add(code);
  ASSERT_TRUE(game.Load());
  build();
  for (size_t i = 0; i < frames.size(); ++i) game.Frame();
}

TEST(TrayIconTest, ShowingTwiceModifiesTheIconAndRemovingDeletesIt) {
  RecordedTray tray;
  ScriptRunner game;
  RunFrames(game,
      {[](ScriptAssembler& code) { code.Op("tray", {{"show", Num(1)}, {"tip", Str("Game")}, {"icon", Str("icon16")}}); },
       [](ScriptAssembler& code) { code.Op("tray", {{"show", Num(1)}, {"tip", Str("Again")}}); },
       [](ScriptAssembler& code) { code.Op("tray", {{"show", Num(0)}}); },
       [](ScriptAssembler& code) { code.Op("tray", {{"show", Num(2)}}); }},
      [] { AddLayer("W0/icon16", 16, 0x5A); });
  EXPECT_EQ(g_LastErrorText, "");
  ASSERT_EQ(tray.mCalls.size(), 3u) << "removing an icon that is not shown does nothing";
  EXPECT_TRUE(tray.mCalls[0].mShow);
  EXPECT_FALSE(tray.mCalls[0].mModify);
  EXPECT_TRUE(tray.mCalls[0].mLayerIcon);
  EXPECT_EQ(tray.mCalls[0].mFirstBlue, 0x5A);
  EXPECT_EQ(tray.mCalls[0].mTip, "Game");
  EXPECT_TRUE(tray.mCalls[1].mModify);
  EXPECT_FALSE(tray.mCalls[1].mLayerIcon) << "without a layer the program icon is used";
  EXPECT_EQ(tray.mCalls[1].mTip, "Again");
  EXPECT_FALSE(tray.mCalls[2].mShow);
  EXPECT_EQ(g_TrayIconShown, 0);
}

TEST(TrayIconTest, ALayerOfAnotherSizeShowsTheBoxAndTheProgramIcon) {
  RecordedTray tray;
  ScriptRunner game;
  RunFrames(game, {[](ScriptAssembler& code) { code.Op("tray", {{"show", Num(1)}, {"icon", Str("big")}}); }},
      [] { AddLayer("W0/big", 32, 1); });
  ASSERT_EQ(game.mEnv.mDialogs.mBoxes.size(), 1u);
  EXPECT_EQ(game.mEnv.mDialogs.mBoxes[0].mText, "ICON ERR.\r\nレイヤサイズが 16x16 ではありません。");
  ASSERT_EQ(tray.mCalls.size(), 1u);
  EXPECT_FALSE(tray.mCalls[0].mLayerIcon);
  EXPECT_EQ(g_TrayIconShown, 1);
}

TEST(TrayIconTest, AMissingIconLayerChangesNothingNotEvenTheTip) {
  RecordedTray tray;
  ScriptRunner game;
  RunFrames(game, {[](ScriptAssembler& code) { code.Op("tray", {{"tip", Str("First")}}); },
             [](ScriptAssembler& code) {
               code.Op("tray", {{"show", Num(1)}, {"tip", Str("Second")}, {"icon", Str("missing")}});
             }});
  EXPECT_TRUE(tray.mCalls.empty());
  EXPECT_STREQ(g_TrayTip, "First");
  EXPECT_EQ(g_TrayIconShown, 0);
}

TEST(TrayIconTest, TheTipIsCutAtItsFieldOnACharacterBoundary) {
  std::string tip(62, 't');
  tip += "\x82\xa0";  // would need bytes 62 and 63: the terminator's place
  ScriptRunner game;
  RunFrames(game, {[&](ScriptAssembler& code) { code.Op("tray", {{"tip", Str(tip)}}); }});
  EXPECT_EQ(std::string(g_TrayTip), std::string(62, 't'));
}

TEST(TrayIconTest, AShownIconOffersTheTrayMenuItWasGiven) {
  RecordedTray tray;
  ScriptRunner game;
  RunFrames(game, {[](ScriptAssembler& code) {
    code.Op("menu", {{"path", Str("tray/")}, {"text", Str("Tray")}, {"order", Num(1)}});
    code.Op("menu", {{"path", Str("tray/open")}, {"text", Str("Open")}, {"order", Num(1)}, {"command", Num(8)}});
    code.Op("menu", {{"path", Str("tray/quit")}, {"text", Str("Quit")}, {"order", Num(2)}, {"command", Num(9)}});
    code.Op("tray", {{"show", Num(1)}, {"menu", Str("tray/")}});
  }});
  ASSERT_EQ(tray.mCalls.size(), 2u);
  EXPECT_EQ(tray.mCalls[0].mMenuEntries, 0u) << "the menu is built after the icon is shown";
  EXPECT_TRUE(tray.mCalls[1].mModify);
  EXPECT_EQ(tray.mCalls[1].mMenuEntries, 2u);
}

TEST(TrayIconTest, WithoutADesktopTrayTheCommandStillKeepsItsState) {
  ScriptRunner game;
  RunFrames(game, {[](ScriptAssembler& code) {
    code.Op("menu", {{"path", Str("tray/")}, {"text", Str("Tray")}, {"order", Num(1)}});
    code.Op("menu", {{"path", Str("tray/quit")}, {"text", Str("Quit")}, {"order", Num(1)}, {"command", Num(9)}});
    code.Op("tray", {{"show", Num(1)}, {"tip", Str("No tray")}, {"menu", Str("tray/")}});
  }});
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(g_TrayIconShown, 1);
  MenuHandle* popup = GetPopupMenu(kTrayPopupSet);
  ASSERT_NE(popup, nullptr);
  ASSERT_EQ(popup->mItems.size(), 1u);
  EXPECT_EQ(popup->mItems[0].mId, 9u);
  EXPECT_EQ(GetPopupMenu(kScriptPopupSet), nullptr);
}

}  // namespace
