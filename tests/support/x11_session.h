#pragma once
// The engine's windows on a private X server (Xvfb) inside the test process:
// while a session runs, the video system starts on SDL's X11 driver on that
// server, and a connection of the test's own reads back what the server
// stores (stacking order, window properties, shapes, the pointer, the
// cursor). Without a session the tests keep the offscreen driver.
#include <cstdint>
#include <string>
#include <vector>

#include "support/run_program.h"

struct PlatformWindow;

class X11Session {
 public:
  X11Session() = default;
  X11Session(const X11Session&) = delete;
  X11Session& operator=(const X11Session&) = delete;
  ~X11Session() { Stop(); }

  // False with the reason when Xvfb is missing or does not start. Resets the
  // engine so that the next window is made on the server.
  bool Start(std::string* why);
  // Resets the engine (its windows and video go first), closes the test's
  // connection, ends the server and gives the offscreen driver back.
  void Stop();
  const std::string& DisplayName() const { return mDisplay.mName; }

  // The X window behind an engine window; 0 for none.
  static uint64_t XWindowOf(PlatformWindow* window);
  // The root's children from the bottom of the stack to the top.
  std::vector<uint64_t> StackingOrder();
  // The atoms of a window's _NET_WM_STATE or _NET_WM_WINDOW_TYPE, by name.
  std::vector<std::string> AtomList(uint64_t window, const char* property);
  // The urgency hint of WM_HINTS (what a request for attention sets).
  bool IsUrgent(uint64_t window);
  // Pumps the engine's messages until the window no longer asks for
  // attention: the tick (SDL_GetTicks64) it stopped at, 0 when it still asks
  // after timeoutMs.
  uint64_t PumpUntilNotUrgent(uint64_t window, uint32_t timeoutMs);
  bool IsMapped(uint64_t window);
  // The bounding shape as (x, y, width, height) rectangles.
  std::vector<std::vector<int>> ShapeRectangles(uint64_t window);
  // The pointer relative to a window.
  bool PointerIn(uint64_t window, int* x, int* y);
  // The cursor the server shows now: size, hot spot and ARGB pixels.
  struct CursorImage {
    int mWidth = 0;
    int mHeight = 0;
    int mHotX = 0;
    int mHotY = 0;
    std::vector<uint32_t> mPixels;
  };
  bool CurrentCursor(CursorImage* image);
  // Requests that clients send to the root window for a window manager to
  // carry out (iconify, activate, state changes), from WatchRootRequests on.
  struct RootRequest {
    std::string mType;
    uint64_t mWindow = 0;
    long mData[3] = {};
  };
  void WatchRootRequests();
  // The name of an atom (request data carry atoms).
  std::string AtomName(long atom);
  std::vector<RootRequest> TakeRootRequests();
  // A plain window of the test's own, mapped, as another program would make.
  uint64_t CreatePlainWindow(int width, int height);
  void DestroyPlainWindow(uint64_t window);
  // The window's pixels as 0xRRGGBB.
  std::vector<uint32_t> ReadPixels(uint64_t window, int width, int height);

 private:
  VirtualDisplay mDisplay;
  void* mConnection = nullptr;
  bool mRunning = false;
};
