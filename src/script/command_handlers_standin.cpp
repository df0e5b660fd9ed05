// Stand-in until the command handlers are built: every command slot reports
// an undefined command and ends the task's turn.
#include "core/errors.h"
#include "core/stand_in.h"
#include "script/script_data.h"

namespace {
int32_t CmdUndefined() {
  ReportErrorAtScript(900050, 1);
  return -1;
}
}  // namespace

void InstallCommandHandlers() {
  STAND_IN();
  for (CommandHandler& handler : g_CommandTable) handler = CmdUndefined;
}
