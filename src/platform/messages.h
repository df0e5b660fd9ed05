#pragma once
// The main thread's message queue. Events of the windows arrive here as
// messages; any thread may post; the main thread takes them out and hands
// them to the window procedure.
#include <cstdint>

struct PlatformWindow;

// Message numbers (the values scripts and the shell know them by).
enum : uint32_t {
  kMsgDestroy = 0x0002,
  kMsgClose = 0x0010,
  kMsgQuit = 0x0012,
  kMsgCommand = 0x0111,
  kMsgSysCommand = 0x0112,
};
// System commands (wParam of kMsgSysCommand).
enum : uint64_t { kSysCommandClose = 0xF060 };

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
