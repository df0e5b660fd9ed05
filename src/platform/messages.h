#pragma once
// The main thread's message queue. Events of the windows arrive here as
// messages; any thread may post; the main thread takes them out and hands
// them to the window procedure.
#include <cstdint>

struct PlatformWindow;

// Message numbers (the values scripts and the shell know them by).
enum : uint32_t {
  kMsgDestroy = 0x0002,
  kMsgMove = 0x0003,
  kMsgSize = 0x0005,
  kMsgActivate = 0x0006,
  kMsgPaint = 0x000F,
  kMsgClose = 0x0010,
  kMsgQuit = 0x0012,
  kMsgEraseBackground = 0x0014,
  kMsgActivateApp = 0x001C,
  kMsgGetMinMaxInfo = 0x0024,  // lParam: PlatformSizeLimits*
  kMsgWindowPosChanged = 0x0047,
  kMsgDisplayChange = 0x007E,
  kMsgNcLeftButtonDown = 0x00A1,  // wParam: hit code
  kMsgNcLeftButtonUp = 0x00A2,
  kMsgNcLeftButtonDoubleClick = 0x00A3,
  kMsgKeyDown = 0x0100,     // wParam: virtual-key code
  kMsgSysKeyDown = 0x0104,  // wParam: virtual-key code
  kMsgCommand = 0x0111,
  kMsgSysCommand = 0x0112,
  kMsgMouseMove = 0x0200,    // lParam: x in the low 16 bits, y in the next 16
  kMsgLeftButtonDown = 0x0201,
  kMsgLeftButtonUp = 0x0202,
  kMsgRightButtonDown = 0x0204,
  kMsgMiddleButtonDown = 0x0207,
  kMsgMouseWheel = 0x020A,  // wParam: movement in the high 16 of the low 32 bits
  kMsgSizing = 0x0214,      // wParam: edge; lParam: int[4] outer rectangle
  kMsgExitSizeMove = 0x0232,
  kMsgDropFiles = 0x0233,  // wParam: PlatformDrop*
  kMsgUser = 0x0400,
  kMsgApp = 0x8000,
};
// System commands (wParam of kMsgSysCommand).
enum : uint64_t {
  kSysCommandMinimize = 0xF020,
  kSysCommandMaximize = 0xF030,
  kSysCommandClose = 0xF060,
  kSysCommandRestore = 0xF120,
  kSysCommandScreenSave = 0xF140,
};
// Hit codes of the frame messages.
enum : uint64_t { kHitCaption = 2 };
// Edges of kMsgSizing.
enum : uint64_t {
  kEdgeLeft = 1,
  kEdgeRight = 2,
  kEdgeTop = 3,
  kEdgeTopLeft = 4,
  kEdgeTopRight = 5,
  kEdgeBottom = 6,
  kEdgeBottomLeft = 7,
  kEdgeBottomRight = 8,
};
// The lParam of a mouse message at client point (x, y).
constexpr int64_t MakePointParam(int x, int y) {
  return static_cast<int64_t>((static_cast<uint32_t>(y & 0xFFFF) << 16) | static_cast<uint32_t>(x & 0xFFFF));
}

struct WindowMessage {
  PlatformWindow* mWindow = nullptr;
  uint32_t mMessage = 0;
  uint64_t mWParam = 0;
  int64_t mLParam = 0;
};

using WindowProcedure = int64_t (*)(PlatformWindow* window, uint32_t message, uint64_t wParam, int64_t lParam);
void SetWindowProcedure(WindowProcedure procedure);

void PostWindowMessage(PlatformWindow* window, uint32_t message, uint64_t wParam, int64_t lParam);
// Posts the quit message that ends GetWindowMessage.
void PostQuitMessage(int exitCode);
// Gathers the system's pending events, then tells whether a message waits.
bool PeekWindowMessage();
// Takes the next message, waiting for one. Returns false for the quit message
// (its exit code is in mWParam).
bool GetWindowMessage(WindowMessage* message);
// Hands a message to the window procedure and returns its result.
int64_t DispatchWindowMessage(const WindowMessage& message);
// Sends a message straight to the window procedure (on the calling thread).
int64_t SendWindowMessage(PlatformWindow* window, uint32_t message, uint64_t wParam, int64_t lParam);
// Forgets every queued message (between runs of the engine in one process).
void ClearWindowMessages();
// Forgets the queued messages of a window that is being destroyed, so none is
// handed on with a window that no longer exists.
void DropWindowMessages(PlatformWindow* window);
