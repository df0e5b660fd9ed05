#pragma once
// What the OS commands need of the shell above them (the cursor before a
// dialog, the modal-box flag, the clock pauses and the frame switches). The
// shell fills the table when the program is linked (shell/oscmd_links.cpp);
// a null entry does nothing.
#include <cstdint>

struct OsShellLinks {
  void (*mShowCursor)() = nullptr;                   // show a hidden cursor now
  void (*mSetModalBoxOpen)(uint8_t open) = nullptr;  // 1 while a modal box is on screen
  void (*mBeginScriptPause)() = nullptr;
  void (*mEndScriptPause)() = nullptr;
  void (*mSetDrawDuringMovie)(uint8_t on) = nullptr;
  void (*mSetPauseOnWindowMove)(uint8_t on) = nullptr;
};
extern OsShellLinks g_OsShellLinks;
