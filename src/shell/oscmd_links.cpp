// Connects the OS commands to the shell: the cursor shown before a dialog,
// the modal-box flag of the window procedure, the script clock pauses and
// the frame-step switches.
#include "oscmd/shell_links.h"
#include "shell/frame.h"
#include "shell/input.h"
#include "shell/window_objects.h"

OsShellLinks g_OsShellLinks;

namespace {

void ShowCursorNow() {
  RequestCursorShow();
  ApplyCursorRequest();
}

const bool kOsShellLinksSet = [] {
  g_OsShellLinks.mShowCursor = ShowCursorNow;
  g_OsShellLinks.mSetModalBoxOpen = [](uint8_t open) { g_InCloseQuestion = open; };
  g_OsShellLinks.mBeginScriptPause = BeginScriptPause;
  g_OsShellLinks.mEndScriptPause = EndScriptPause;
  g_OsShellLinks.mSetDrawDuringMovie = [](uint8_t on) { g_DrawDuringMovie = on; };
  g_OsShellLinks.mSetPauseOnWindowMove = [](uint8_t on) { g_PauseOnWindowMove = on; };
  return true;
}();

}  // namespace
