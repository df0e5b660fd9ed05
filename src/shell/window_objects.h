#pragma once
// The four window objects and the window procedure of the game windows.
#include <cstdint>

#include "core/input_state.h"
#include "core/window_table.h"
#include "platform/messages.h"

extern uint8_t g_InCloseQuestion;

int CreateWindowObjects();
void ReleaseWindowObjects();
void ConstructWindowObject(WindowObject* object, int index);
void SetUpWindowObject(WindowObject* object, const char* title);
// 1 success, 0 failure.
int CreateGameWindow(WindowObject* object, int showCommand, const char* className, const char* title);
// Sends the destroy message and removes the window.
void DestroyGameWindow(WindowObject* object);
int64_t MainWndProc(PlatformWindow* window, uint32_t message, uint64_t wParam, int64_t lParam);
// False: the system command is swallowed.
bool OnSysCommand(WindowObject* object, uint64_t command);
