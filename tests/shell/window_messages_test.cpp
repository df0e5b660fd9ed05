#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/file_list.h"
#include "core/input_state.h"
#include "core/object_tree.h"
#include "core/settings.h"
#include "layer/layer_record.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/window.h"
#include "script/engine_config.h"
#include "shell/display.h"
#include "shell/engine_reset.h"
#include "shell/window_objects.h"
#include "support/dialog_recorder.h"
#include "support/temp_folder.h"
#include "support/test_window.h"

namespace {

class WindowMessagesTest : public testing::Test {
 protected:
  void SetUp() override {
    main = CreateTestMainWindow("orvane-messages-test");
    ASSERT_NE(main, nullptr);
    DispatchPending();
  }
  void TearDown() override { ResetEngineState(); }

  int64_t Send(uint32_t message, uint64_t wParam = 0, int64_t lParam = 0) {
    return SendWindowMessage(main->mWindow, message, wParam, lParam);
  }
  void DispatchPending() {
    WindowMessage message;
    while (PeekWindowMessage()) {
      if (!GetWindowMessage(&message)) break;
      DispatchWindowMessage(message);
    }
  }
  // Hands an SDL event to the queue as the system would.
  void Push(SDL_Event event) {
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    DispatchPending();
  }
  uint32_t SdlId() { return SDL_GetWindowID(GetSdlWindow(main->mWindow)); }

  WindowObject* main = nullptr;
  DialogRecorder dialogs;
};

TEST_F(WindowMessagesTest, MessagesSetTheScriptVisibleEventBytes) {
  Send(kMsgKeyDown, 0x41);
  EXPECT_EQ(g_LastKeyDown, 0x41u);
  Send(kMsgRightButtonDown);
  EXPECT_EQ(g_LastMouseButton, 2u);
  EXPECT_EQ(g_InputRaw[2], 0x80);
  Send(kMsgMiddleButtonDown);
  EXPECT_EQ(g_LastMouseButton, 4u);
  EXPECT_EQ(g_InputRaw[4], 0x80);
  Send(kMsgLeftButtonDown, 0, MakePointParam(3, 4));
  EXPECT_EQ(g_LastMouseButton, 1u);
  EXPECT_EQ(g_InputRaw[1], 0x80);
  Send(kMsgMouseWheel, static_cast<uint64_t>(static_cast<uint16_t>(-240)) << 16);
  EXPECT_EQ(g_WheelDelta, -240);
  Send(kMsgMouseMove, 0, MakePointParam(10, 10));
  EXPECT_EQ(g_MouseMoved, 0x80);
  Send(kMsgCommand, 0x12345);
  EXPECT_EQ(g_LastMenuCommand, 0x2345);
  Send(kMsgSysCommand, kSysCommandMinimize);
  EXPECT_EQ(g_MinimizeRequest, 1);
  Send(kMsgSysCommand, kSizeResetCommand);
  EXPECT_EQ(g_LastMenuCommand, 30001);
}

TEST_F(WindowMessagesTest, CaptionDoubleClickReachesScriptsOnlyWhenSwitchedOnAndNotMaximised) {
  Send(kMsgNcLeftButtonDoubleClick, kHitCaption);
  EXPECT_EQ(g_CaptionDoubleClick, 0) << "switch off";
  g_CaptionDoubleClickToScript = 1;
  g_Maximized = 1;
  Send(kMsgNcLeftButtonDoubleClick, kHitCaption);
  EXPECT_EQ(g_CaptionDoubleClick, 0) << "maximised";
  g_Maximized = 0;
  Send(kMsgNcLeftButtonDoubleClick, kHitCaption);
  EXPECT_EQ(g_CaptionDoubleClick, 1);
}

TEST_F(WindowMessagesTest, MaximiseRequestIsRecordedEvenWhenRefused) {
  main->mMaximiseAllowed = 0;
  Send(kMsgSysCommand, kSysCommandMaximize);
  EXPECT_EQ(g_MaximizeRequest, 1);
  EXPECT_EQ(g_Maximized, 0);
}

TEST_F(WindowMessagesTest, ScreenSaverIsRefusedWhileBlocked) {
  EXPECT_FALSE(OnSysCommand(main, kSysCommandScreenSave));
  g_BlockScreenSaver = 0;
  EXPECT_TRUE(OnSysCommand(main, kSysCommandScreenSave));
}

TEST_F(WindowMessagesTest, SystemEventsBecomeWindowMessages) {
  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  key.key.windowID = SdlId();
  key.key.keysym.scancode = SDL_SCANCODE_A;
  Push(key);
  EXPECT_EQ(g_LastKeyDown, 0x41u);
  key.key.keysym.scancode = SDL_SCANCODE_RSHIFT;
  Push(key);
  EXPECT_EQ(g_LastKeyDown, 0x10u) << "a key message names Shift without its side";
  key.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
  Push(key);
  EXPECT_EQ(g_LastKeyDown, 0x1Bu);
  g_LastKeyDown = 0;
  key.key.keysym.scancode = SDL_SCANCODE_F10;
  Push(key);
  EXPECT_EQ(g_LastKeyDown, 0u) << "F10 is a system key";

  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.windowID = SdlId();
  wheel.wheel.y = 1;
  Push(wheel);
  EXPECT_EQ(g_WheelDelta, 120);

  struct ButtonCase {
    uint8_t mButton;
    uint32_t mExpected;
    int mSlot;
  };
  for (const ButtonCase& c : {ButtonCase{SDL_BUTTON_LEFT, 1, 1}, ButtonCase{SDL_BUTTON_RIGHT, 2, 2},
                              ButtonCase{SDL_BUTTON_MIDDLE, 4, 4}}) {
    g_InputRaw[c.mSlot] = 0;
    SDL_Event button{};
    button.type = SDL_MOUSEBUTTONDOWN;
    button.button.windowID = SdlId();
    button.button.button = c.mButton;
    Push(button);
    EXPECT_EQ(g_LastMouseButton, c.mExpected);
    EXPECT_EQ(g_InputRaw[c.mSlot], 0x80);
  }

  g_MouseMoved = 0;
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.windowID = SdlId();
  motion.motion.x = 5;
  Push(motion);
  EXPECT_EQ(g_MouseMoved, 0x80);
}

TEST_F(WindowMessagesTest, DragHitTestUsesTheLayersPlaceInTheWindow) {
  // A 10x10 drag layer at (20, 10) inside a group at (100, 40): it covers
  // (120, 50)-(129, 59) of the window.
  std::vector<uint8_t> pixels(10 * 4 * 11 + 4, 0);
  auto setPixel = [&](int x, int y, uint8_t b, uint8_t g, uint8_t r) {
    uint8_t* p = pixels.data() + (y * 10 + x) * 4;
    p[0] = b;
    p[1] = g;
    p[2] = r;
    p[3] = 0;  // alpha is not looked at
  };
  setPixel(5, 5, 0, 0, 1);
  setPixel(9, 9, 0, 1, 0);
  LayerRecord group;
  group.mX = 100;
  group.mY = 40;
  LayerRecord layer;
  layer.mX = 20;
  layer.mY = 10;
  layer.mWidth = 10;
  layer.mHeight = 10;
  layer.mPixels = pixels.data();
  ObjectTreeNode root{};
  ObjectTreeNode groupNode{};
  groupNode.mParent = &root;
  groupNode.mPayload = &group;
  ObjectTreeNode layerNode{};
  layerNode.mParent = &groupNode;
  layerNode.mPayload = &layer;
  g_DragLayerOn = 1;
  g_DragLayerNode = &layerNode;
  g_DragLayerRecord = &layer;

  struct Case {
    int mX, mY;
    uint8_t mExpected;
  };
  const Case cases[] = {
      {125, 55, 1},  // the red pixel
      {129, 59, 1},  // the green pixel in the last row and column
      {120, 50, 0},  // black
      {130, 55, 0},  // right of the layer
      {5, 5, 0},     // the pixel's offset, but not over the layer
      {-1, 55, 0},
  };
  for (const Case& c : cases) {
    g_DragRequestWindow = 0;
    main->mCursorX = c.mX;
    main->mCursorY = c.mY;
    Send(kMsgLeftButtonDown, 0, MakePointParam(c.mX, c.mY));
    EXPECT_EQ(g_DragRequestWindow, c.mExpected) << c.mX << "," << c.mY;
    if (c.mExpected != 0) {
      EXPECT_EQ(g_DragRequestPosition, MakePointParam(c.mX, c.mY));
    }
  }
  layer.mPixels = nullptr;
}

std::vector<uint8_t> Image(int width, int height, const std::vector<uint32_t>& colours) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  std::memcpy(pixels.data(), colours.data(), pixels.size());
  return pixels;
}

TEST(WindowRegionTest, RowsOfTheRegionAreRowsOfTheImage) {
  constexpr uint32_t kBlack = 0xFF000000;
  constexpr uint32_t kWhite = 0xFFFFFFFF;
  // Top row: black, white, black; bottom row opaque everywhere.
  std::vector<uint8_t> pixels = Image(3, 2, {kBlack, kWhite, kBlack, kWhite, kWhite, 0xFF000001});
  std::vector<PlatformRect> rects;
  ASSERT_TRUE(BuildRegionFromBitmap(pixels.data(), 3, 2, &rects));
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_EQ(rects[0].mLeft, 1);
  EXPECT_EQ(rects[0].mTop, 0);
  EXPECT_EQ(rects[0].mRight, 2);
  EXPECT_EQ(rects[0].mBottom, 1);
  EXPECT_EQ(rects[1].mLeft, 0);
  EXPECT_EQ(rects[1].mTop, 1);
  EXPECT_EQ(rects[1].mRight, 3);
  EXPECT_EQ(rects[1].mBottom, 2);
}

TEST(WindowRegionTest, TwoThousandRectanglesGiveNoRegion) {
  constexpr uint32_t kBlack = 0xFF000000;
  constexpr uint32_t kWhite = 0xFFFFFFFF;
  auto alternating = [&](int runs) {
    std::vector<uint32_t> colours;
    for (int run = 0; run < runs; ++run) {
      colours.push_back(kWhite);
      colours.push_back(kBlack);
    }
    return Image(runs * 2, 1, colours);
  };
  std::vector<PlatformRect> rects;
  std::vector<uint8_t> below = alternating(1999);
  EXPECT_TRUE(BuildRegionFromBitmap(below.data(), 1999 * 2, 1, &rects));
  EXPECT_EQ(rects.size(), 1999u);
  std::vector<uint8_t> at = alternating(2000);
  EXPECT_FALSE(BuildRegionFromBitmap(at.data(), 2000 * 2, 1, &rects));
  EXPECT_TRUE(rects.empty());
}

TEST_F(WindowMessagesTest, RegionFromLayerIgnoresAlpha) {
  // Black with alpha 0 is black once alpha is made opaque: only the white
  // pixel stays.
  std::vector<uint8_t> pixels = Image(2, 1, {0x00000000, 0x00FFFFFF});
  LayerRecord layer;
  layer.mWidth = 2;
  layer.mHeight = 1;
  layer.mPixels = pixels.data();
  EXPECT_EQ(SetWindowRegionFromLayer(main->mWindow, &layer), 0);
  layer.mPixels = nullptr;
  EXPECT_EQ(SetWindowRegionFromLayer(main->mWindow, &layer), -1);
}

TEST_F(WindowMessagesTest, DroppedFilesBecomeShiftJisEntries) {
  TempFolder folder(false);
  folder.WriteFile("a.txt", "x");
  folder.WriteFile("sub/b.txt", "x");
  const std::string base = folder.Path() + "/";
  // UTF-8 bytes of a name with two kanji (the program's own literals are
  // Shift-JIS).
  const std::string japanese = base + "\xE6\x97\xA5\xE6\x9C\xAC.txt";
  std::string longName = base + std::string(600, 'n');
  std::string exactly520 = base + std::string(520 - base.size(), 'm');
  std::string exactly521 = exactly520 + "m";
  std::vector<std::string> paths = {base + "a.txt", base + "sub", japanese, base + "\xF0\x9F\x98\x80.txt",
                                    longName,       exactly520,   exactly521};
  Send(kMsgDropFiles, reinterpret_cast<uint64_t>(CreatePlatformDrop(paths)));
  std::vector<std::string> expected = {base + "a.txt", base + "sub\\", base + "日本.txt", exactly520};
  ASSERT_EQ(g_FileListCount, expected.size());
  for (uint32_t index = 0; index < expected.size(); ++index) {
    std::string entry;
    ASSERT_TRUE(GetFileListEntry(index, &entry));
    EXPECT_EQ(entry, expected[index]) << index;
  }
}

TEST_F(WindowMessagesTest, DropEventsOfTheSystemReachTheFileList) {
  TempFolder folder(false);
  folder.WriteFile("c.txt", "x");
  SDL_Event event{};
  event.type = SDL_DROPBEGIN;
  event.drop.windowID = SdlId();
  Push(event);
  event.type = SDL_DROPFILE;
  event.drop.file = SDL_strdup((folder.Path() + "/c.txt").c_str());
  ASSERT_EQ(SDL_PushEvent(&event), 1);
  event.type = SDL_DROPCOMPLETE;
  event.drop.file = nullptr;
  Push(event);
  ASSERT_EQ(g_FileListCount, 1u);
  std::string entry;
  ASSERT_TRUE(GetFileListEntry(0, &entry));
  EXPECT_EQ(entry, folder.Path() + "/c.txt");
}

TEST_F(WindowMessagesTest, CanvasChecksBothSides) {
  ASSERT_NE(main->mCanvas, nullptr);
  EXPECT_EQ(main->mCanvas->mWidth, 320);
  EXPECT_EQ(main->mCanvas->mHeight, 240);
  EXPECT_EQ(main->mCanvas->mTone, 0x808080);
  EXPECT_EQ(AllocWindowCanvas(0, 100, 9000), 1);
  EXPECT_EQ(main->mCanvas, nullptr);
  ASSERT_FALSE(dialogs.mBoxes.empty());
  EXPECT_EQ(dialogs.mBoxes[0].mText, "ＣＧサイズが大きすぎます。X=100, Y=9000");
}

}  // namespace
