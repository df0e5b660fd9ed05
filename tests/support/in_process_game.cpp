#include "support/in_process_game.h"

#include <filesystem>
#include <vector>

#include "core/process_state.h"
#include "platform/game_files.h"
#include "platform/messages.h"
#include "shell/engine_reset.h"
#include "shell/frame.h"
#include "shell/input.h"
#include "shell/startup.h"
#include "shell/window_objects.h"

namespace {
std::filesystem::path g_folderBeforeStart;
}

int StartGameInProcess(const std::string& folder) {
  std::error_code error;
  g_folderBeforeStart = std::filesystem::current_path(error);
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

void EndGameInProcess() {
  ResetEngineState();
  std::error_code error;
  if (!g_folderBeforeStart.empty()) std::filesystem::current_path(g_folderBeforeStart, error);
}
