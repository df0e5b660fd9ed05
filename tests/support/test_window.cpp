#include "support/test_window.h"

#include "core/window_table.h"
#include "platform/messages.h"
#include "shell/engine_reset.h"
#include "shell/window_objects.h"

WindowObject* CreateTestMainWindow(const char* className) {
  ResetEngineState();
  return AddTestMainWindow(className);
}

WindowObject* AddTestMainWindow(const char* className) {
  SetWindowProcedure(MainWndProc);
  if (CreateWindowObjects() != 0) return nullptr;
  WindowObject* main = g_WindowTable[0];
  main->mWidth = 320;
  main->mHeight = 240;
  SetUpWindowObject(main, "テスト");
  if (CreateGameWindow(main, 1, className, "テスト") != 1) return nullptr;
  g_WindowIds[0] = 1;
  return main;
}
