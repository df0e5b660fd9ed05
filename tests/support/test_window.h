#pragma once
// The main window made the way start-up makes it, for tests of the window
// procedure: a clean engine, the window procedure installed, window 0 at
// 320 x 240 created under the given class name.
struct WindowObject;

// Window 0, or nullptr when it could not be made.
WindowObject* CreateTestMainWindow(const char* className);
// The same on the engine as it stands (a loaded game, switches set), without
// the clean start.
WindowObject* AddTestMainWindow(const char* className);
