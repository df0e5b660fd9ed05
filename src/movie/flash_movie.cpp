#include "movie/flash_movie.h"

#include <cstdio>

#include "core/display_state.h"
#include "core/errors.h"
#include "core/file_names.h"
#include "core/message_ids.h"
#include "core/window_table.h"
#include "datasrc/compiler_link.h"
#include "movie/movie_window.h"
#include "platform/game_files.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/variables.h"

FlashState g_FlashState;
FlashControlState g_FlashControl;

namespace {

constexpr int kFlashPlaySlot = 22;
constexpr int kFlashStopSlot = 23;
constexpr int kFlashQuerySlot = 24;
constexpr int kFlashQueryOutId = 9;

const char kLibraryMissingBox[] = "ATL.DLLが見つかりませんでした。";
const char kWindowFailedBox[] = "ウィンドウを生成できませんでした。";
// The caption a box without one gets.
const char kDefaultCaption[] = "Error";

// The one child window; it exists between a start and the stop.
FlashHostWindow g_hostWindow;


int32_t LogicalWidth() { return g_WindowTable[0] != nullptr ? g_WindowTable[0]->mWidth : 0; }
int32_t LogicalHeight() { return g_WindowTable[0] != nullptr ? g_WindowTable[0]->mHeight : 0; }

FlashHostWindow* CreateHostWindow(int32_t x, int32_t y, int32_t width, int32_t height) {
  g_hostWindow = FlashHostWindow{x, y, width, height};
  return &g_hostWindow;
}

}  // namespace

int32_t CreateFlashPlayer(FlashHostWindow*, const std::string& moviePath) {
  g_FlashControl.mLastMoviePath = moviePath;
  if (g_FlashControl.mTried == 0) {
    g_FlashControl.mTried = 1;
    // No Flash control or host library exists here.
    g_FlashControl.mLibraryFound = 0;
    ShowMessageBox(kDefaultCaption, kLibraryMissingBox);
    return 0;
  }
  return 0;
}

void ReleaseFlashPlayer() {
  // Each player is released once; none can be created here.
  while (g_FlashControl.mPlayerCount > 0) g_FlashControl.mPlayerCount -= 1;
}

int32_t GetFlashCurrentFrame() { return 0; }

int32_t IsFlashPlaying() { return 0; }

int64_t GetFlashVariable(const char*) { return 0; }

void RepositionFlashWindow(double scaleX, double scaleY) {
  FlashState& flash = g_FlashState;
  if (flash.mWindow == nullptr) return;
  flash.mWindow->mX = TruncToInt32(flash.mX * scaleX + (g_ConfiguredWidth - g_PresentWidth) / 2);
  flash.mWindow->mY = TruncToInt32(flash.mY * scaleY + (g_ConfiguredHeight - g_PresentHeight) / 2);
  flash.mWindow->mWidth = ScaleMovieSide(flash.mWidth, g_PresentWidth, LogicalWidth());
  flash.mWindow->mHeight = ScaleMovieSide(flash.mHeight, g_PresentHeight, LogicalHeight());
}

void DestroyFlashWindow() {
  ReleaseFlashPlayer();
  g_FlashState.mWindow = nullptr;
}

void ResetFlashState() {
  DestroyFlashWindow();
  g_FlashState = FlashState();
  g_FlashControl = FlashControlState();
}

int32_t CmdFlashPlay() {
  if (FetchCommandArguments(kFlashPlaySlot) != 0) return -1;
  FlashState& flash = g_FlashState;
  int32_t* fields[] = {&flash.mX, &flash.mY, &flash.mWidth, &flash.mHeight};
  for (int id = 2; id <= 5; ++id) {
    if (!HasArg(id)) continue;
    int slot = ArgSlot(id);
    *fields[id - 2] = static_cast<int32_t>(ApplyValueOp(g_ArgOperator[slot], *fields[id - 2], g_ArgInt[slot]));
  }
  auto userValue = static_cast<int32_t>(ArgInt(6));
  if (HasArg(0)) {
    const char* given = g_ArgString[ArgSlot(0)] != nullptr ? g_ArgString[ArgSlot(0)] : "";
    std::string name = given;
    LowerCaseName(name);
    ReplaceSlashesWithBackslashes(name);
    if (!HasArg(2)) flash.mX = 0;
    if (!HasArg(3)) flash.mY = 0;
    if (!HasArg(4)) flash.mWidth = LogicalWidth();
    if (!HasArg(5)) flash.mHeight = LogicalHeight();
    if (!GameFileExists(name)) {
      ReportErrorAtScriptFmt(kMsgFileNotFound, name.c_str());
      return -1;
    }
    std::snprintf(flash.mPath, sizeof flash.mPath, "%s", name.c_str());
    flash.mPlaying = 0;
  }
  if (!HasArg(1) || ArgInt(1) != 1) return 0;
  // A movie already shown goes first: its control is released once, here,
  // and its window makes way for the new one.
  if (flash.mWindow != nullptr) DestroyFlashWindow();
  auto x = static_cast<int32_t>(static_cast<int64_t>(g_PaintOffset.mX) + flash.mX);
  auto y = static_cast<int32_t>(static_cast<int64_t>(g_PaintOffset.mY) + flash.mY);
  int32_t width = ScaleMovieSide(flash.mWidth, g_PresentWidth, LogicalWidth());
  int32_t height = ScaleMovieSide(flash.mHeight, g_PresentHeight, LogicalHeight());
  flash.mWindow = CreateHostWindow(x, y, width, height);
  if (flash.mWindow == nullptr) {
    ShowMessageBox("", kWindowFailedBox);
    return 0;
  }
  std::string moviePath = std::string(g_GameFolder) + flash.mPath;
  flash.mTotalFrames = CreateFlashPlayer(flash.mWindow, moviePath);
  flash.mUserValue = userValue;
  flash.mPlaying = 1;
  return 0;
}

int32_t CmdFlashStop() {
  if (FetchCommandArguments(kFlashStopSlot) != 0) return -1;
  DestroyFlashWindow();
  FlashState& flash = g_FlashState;
  flash.mPath[0] = '\0';
  flash.mPlaying = 0;
  flash.mUserValue = 0;
  flash.mTotalFrames = 0;
  flash.mWindow = nullptr;
  return 0;
}

int32_t CmdFlashQuery() {
  if (FetchCommandArguments(kFlashQuerySlot) != 0) return -1;
  const FlashState& flash = g_FlashState;
  int64_t value = 0;
  if (HasArg(0)) {
    value = IsFlashPlaying();
  } else if (HasArg(1)) {
    value = GetFlashVariable("orvaan");
  } else if (HasArg(2)) {
    value = flash.mX;
  } else if (HasArg(3)) {
    value = flash.mY;
  } else if (HasArg(4)) {
    value = flash.mWidth;
  } else if (HasArg(5)) {
    value = flash.mHeight;
  } else if (HasArg(6)) {
    value = flash.mPlaying != 0 ? GetFlashCurrentFrame() : 0;
  } else if (HasArg(7)) {
    value = flash.mPlaying != 0 ? flash.mUserValue : 0;
  } else if (HasArg(8)) {
    value = flash.mPlaying != 0 ? flash.mTotalFrames : 0;
  } else {
    return 0;
  }
  if (!HasArg(kFlashQueryOutId)) return 0;
  int slot = ArgSlot(kFlashQueryOutId);
  SetNumberElement(static_cast<uint32_t>(g_ArgVarId[slot]), g_ArgVarElement[slot], value);
  return 0;
}
