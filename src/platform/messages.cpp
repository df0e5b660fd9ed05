#include "platform/messages.h"

#include <SDL.h>

#include <atomic>
#include <deque>
#include <mutex>

#include "platform/tray.h"
#include "platform/window.h"

namespace {

// Any thread may post until the process ends, exit() included: the queue is
// never destroyed.
std::mutex& g_queueMutex = *new std::mutex;
std::deque<WindowMessage>& g_queue = *new std::deque<WindowMessage>;
std::atomic<WindowProcedure> g_procedure{nullptr};

void Enqueue(const WindowMessage& message) {
  std::lock_guard<std::mutex> guard(g_queueMutex);
  g_queue.push_back(message);
}

void TranslateEvent(const SDL_Event& event) {
  if (event.type == SDL_QUIT) {
    // A termination signal (Ctrl+C, a session ending): the main window
    // closes without asking and the program ends in order.
    if (PlatformWindow* main = GetFirstPlatformWindow()) Enqueue({main, kMsgClose, 0, 0});
    return;
  }
  TranslatePlatformWindowEvent(event);
}

// Moves the system's pending events into the queue. Main thread only.
void GatherEvents() {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  ServeActivationRequests();
  EndExpiredWindowFlashes();
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) TranslateEvent(event);
  PumpPlatformTray();
  PostPendingPaintMessages();
}

}  // namespace

void SetWindowProcedure(WindowProcedure procedure) { g_procedure.store(procedure); }

void PostWindowMessage(PlatformWindow* window, uint32_t message, uint64_t wParam, int64_t lParam) {
  Enqueue({window, message, wParam, lParam});
}

void PostQuitMessage(int exitCode) { Enqueue({nullptr, kMsgQuit, static_cast<uint64_t>(exitCode), 0}); }

bool PeekWindowMessage() {
  GatherEvents();
  std::lock_guard<std::mutex> guard(g_queueMutex);
  return !g_queue.empty();
}

bool GetWindowMessage(WindowMessage* message) {
  for (;;) {
    GatherEvents();
    {
      std::lock_guard<std::mutex> guard(g_queueMutex);
      if (!g_queue.empty()) {
        *message = g_queue.front();
        g_queue.pop_front();
        return message->mMessage != kMsgQuit;
      }
    }
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
      SDL_WaitEventTimeout(nullptr, 10);
    } else {
      SDL_Delay(1);
    }
  }
}

int64_t DispatchWindowMessage(const WindowMessage& message) {
  return SendWindowMessage(message.mWindow, message.mMessage, message.mWParam, message.mLParam);
}

int64_t SendWindowMessage(PlatformWindow* window, uint32_t message, uint64_t wParam, int64_t lParam) {
  WindowProcedure procedure = g_procedure.load();
  if (procedure == nullptr) return 0;
  return procedure(window, message, wParam, lParam);
}

void ClearWindowMessages() {
  std::lock_guard<std::mutex> guard(g_queueMutex);
  g_queue.clear();
}

void DropWindowMessages(PlatformWindow* window) {
  std::lock_guard<std::mutex> guard(g_queueMutex);
  std::erase_if(g_queue, [window](const WindowMessage& message) { return message.mWindow == window; });
}
