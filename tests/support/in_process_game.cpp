#include "support/in_process_game.h"

#include <vector>

#include "core/process_state.h"
#include "platform/game_files.h"
#include "platform/messages.h"
#include "shell/frame.h"
#include "shell/input.h"
#include "shell/startup.h"
#include "shell/window_objects.h"

int StartGameInProcess(const std::string& folder) {
  std::vector<char*> argv = {const_cast<char*>("orvane"), const_cast<char*>(folder.c_str()), nullptr};
  std::string programFileName;
  ChooseGameFolder(2, argv.data(), &programFileName);
  if (!InitProcessPaths(programFileName) || !SetGameCurrentFolder(g_ExeFolder)) return -1;
  SetWindowProcedure(MainWndProc);
  return StartEngine(g_ArgumentCount, g_ArgumentVector);
}

bool RunLoopPass() {
  if (g_QuitFlag.load() != 0) return false;
  SampleWindowInput();
  bool running = RunFrame() == 0;
  while (PeekWindowMessage()) {
    WindowMessage message;
    if (!GetWindowMessage(&message)) return false;
    DispatchWindowMessage(message);
  }
  return running && g_QuitFlag.load() == 0;
}
