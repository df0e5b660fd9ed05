#pragma once
// The four window objects: the records of the game windows that composition,
// presentation, movies and the window commands read. The shell creates them
// and runs their window procedure.
#include <cstdint>

struct PlatformWindow;
struct ObjectTreeNode;
struct LayerRecord;

constexpr int kWindowCount = 4;
constexpr int kWindowTitleBytes = 263;

struct WindowObject {
  int32_t mIndex = 0;
  int32_t mX = 0;
  int32_t mY = 0;
  int32_t mWidth = 0;
  int32_t mHeight = 0;
  int32_t mOpacity = 256;
  uint8_t mDisplayState = 0;  // 0 hidden, 1 shown
  uint8_t mClassRegistered = 0;
  uint8_t mCloseState = 1;  // 0 tell the script, 1 ask, 2 close, 3 close without ending
  uint8_t mMaximiseAllowed = 0;
  uint8_t mMinimiseAllowed = 1;
  char mTitle[kWindowTitleBytes] = {};
  ObjectTreeNode* mShownLayerSet = nullptr;
  LayerRecord* mCanvas = nullptr;
  char mMenuPath[256] = {};
  uint8_t mDrawn = 0;
  int32_t mViewRect[4] = {};
  PlatformWindow* mWindow = nullptr;
  uint8_t mActive = 0;
  int32_t mCursorX = 0;
  int32_t mCursorY = 0;
  uint8_t mCursorOutside = 0;
  uint8_t mCursorFarOutside = 0;
  uint8_t mShowCursorOnMove = 1;
  uint8_t mShowCursorOnButtons = 1;
  uint8_t mShowCursorOnWheel = 1;
  uint8_t mCursorIdleArmed = 0;
  uint32_t mCursorIdleStart = 0;
};

extern WindowObject* g_WindowTable[kWindowCount];
extern int32_t g_WindowIds[kWindowCount];
// The system window of window 0; null before it exists.
PlatformWindow* GetMainPlatformWindow();
