#pragma once
// Flash movies in a child window over the main window's picture. The Flash
// control does not exist on this system: creating it fails as it does where
// the control's host library is missing, so a started movie shows an empty
// window, has no frames and answers its queries with 0.
#include <cstdint>
#include <string>

constexpr size_t kFlashPathBytes = 260;

// The child window: where it lies in the main window's client area.
struct FlashHostWindow {
  int32_t mX = 0;
  int32_t mY = 0;
  int32_t mWidth = 0;
  int32_t mHeight = 0;
};

struct FlashState {
  FlashHostWindow* mWindow = nullptr;
  uint8_t mPlaying = 0;
  int32_t mTotalFrames = 0;
  int32_t mUserValue = 0;
  int32_t mX = 0;
  int32_t mY = 0;
  int32_t mWidth = 0;
  int32_t mHeight = 0;
  char mPath[kFlashPathBytes] = {};
};
extern FlashState g_FlashState;

struct FlashControlState {
  uint8_t mTried = 0;        // the host library was looked for
  uint8_t mLibraryFound = 0;
  int32_t mPlayerCount = 0;  // players created and not yet released
  // The movie path the newest start handed over (game folder + mPath).
  std::string mLastMoviePath;
};
extern FlashControlState g_FlashControl;

// The movie's total frames, or 0 when the control could not be made (always
// here; the first attempt of a run shows the missing-library box).
int32_t CreateFlashPlayer(FlashHostWindow* window, const std::string& moviePath);
void ReleaseFlashPlayer();
int32_t GetFlashCurrentFrame();
int32_t IsFlashPlaying();
int64_t GetFlashVariable(const char* name);
// Moves the child window after the main window changed size or mode.
void RepositionFlashWindow(double scaleX, double scaleY);
// Releases the player and removes the child window (shutdown).
void DestroyFlashWindow();
void ResetFlashState();
