#pragma once
// The four window objects and the window procedure of the game windows.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/input_state.h"
#include "core/window_table.h"
#include "platform/messages.h"

struct LayerRecord;
struct ObjectTreeNode;
struct PlatformDrop;
struct PlatformRect;

extern uint8_t g_InCloseQuestion;
// Caption drag: the layer whose non-black pixels drag the window (set by the
// window commands), and the drag the next input update starts.
extern uint8_t g_DragLayerOn;
extern ObjectTreeNode* g_DragLayerNode;
extern LayerRecord* g_DragLayerRecord;
// The clocks pause while the main window's caption is held.
extern uint8_t g_PauseOnWindowMove;
// The system screen saver is refused while the game runs.
extern uint8_t g_BlockScreenSaver;

// The system-menu item that brings window 0 back to its first size.
constexpr uint64_t kSizeResetCommand = 30001;
// The message of the tray icon and the icon's id.
constexpr uint32_t kMsgTrayIcon = kMsgUser + 10;
constexpr uint32_t kTrayIconId = 123;
// A window shape holds fewer rectangles than this.
constexpr size_t kMaxRegionRects = 2000;

int CreateWindowObjects();
void ReleaseWindowObjects();
void ConstructWindowObject(WindowObject* object, int index);
void SetUpWindowObject(WindowObject* object, const char* title);
// 1 success, 0 failure.
int CreateGameWindow(WindowObject* object, int showCommand, const char* className, const char* title);
// Sends the destroy message and removes the window.
void DestroyGameWindow(WindowObject* object);
// 0 success; 1 after a fatal report.
int AllocWindowCanvas(int index, int32_t width, int32_t height);
void RepaintWindowObject(WindowObject* object);
// Neither full screen nor the maximised scaled window.
bool IsUnscaledWindowMode(const WindowObject* object);
void MoveWindowTo(PlatformWindow* window, int x, int y);
uint32_t GetWindowStyle(PlatformWindow* window);
void SetWindowStyle(PlatformWindow* window, uint32_t style);
// Where SetWindowZOrder puts a window: the top or the bottom of the stack,
// or directly behind another window.
enum class ZOrderPlace { kTop, kBottom, kBehind };
// Restacks without moving, sizing or activating the window.
void SetWindowZOrder(PlatformWindow* window, ZOrderPlace place, PlatformWindow* insertAfter = nullptr);
// The time one flash takes when no timeout is given: the cursor blink rate.
constexpr uint32_t kCursorBlinkMs = 530;
// Asks for attention for count x timeout milliseconds (timeout 0: the cursor
// blink rate), then stops; count 0 stops at once. 0, or -1 when the window
// system has no way to ask for attention.
int FlashGameWindow(PlatformWindow* window, uint32_t timeout, uint32_t count);
// 0, or -1 when the layer gives no shape.
int SetWindowRegionFromLayer(PlatformWindow* window, const LayerRecord* record);
// The rectangles of the pixels (top-down rows, 32-bit) that are not opaque
// black; false, with no rectangles, when there would be kMaxRegionRects or
// more.
bool BuildRegionFromBitmap(const uint8_t* pixels, int32_t width, int32_t height, std::vector<PlatformRect>* rects);
// Turns a drop into the file list scripts read, and finishes the drop.
void AcceptDroppedFiles(PlatformDrop* drop);
// True when the message was handled.
bool OnTrayIconMessage(WindowObject* object, int index, PlatformWindow* window, uint64_t wParam, int64_t lParam);
// False: the system command is swallowed.
bool OnSysCommand(WindowObject* object, uint64_t command);
void OnLeftButtonDown(WindowObject* object, uint64_t wParam, int64_t lParam);
int64_t MainWndProc(PlatformWindow* window, uint32_t message, uint64_t wParam, int64_t lParam);
// Windows whose frame was composed get a paint message.
void InvalidateRequestedWindows();
