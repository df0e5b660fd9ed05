#include "datasrc/compiler_link.h"

#include "platform/game_files.h"
#include "shell/errors.h"

int RunScriptCompiler() {
  // A development folder without the compiler shows the licence notice and
  // the engine does not start.
  if (!GameFileExists("system\\VODod\\VODod.exe")) {
    g_ErrorDialogCaption = "License Information";
    ReportError(100000, 1);
    return 1;
  }
  // The hand-shake with a running compiler is not built yet.
  ShowMessageBox("", "ORVANEコンパイラとデータ通信が出来ませんでした。");
  return -1;
}
