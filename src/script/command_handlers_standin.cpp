// Stand-ins until the commands of the other subsystems are built: each one
// reports an undefined command (900050) and ends the task's turn, as an
// empty command slot does.
#include "core/stand_in.h"
#include "script/command_handlers.h"
#include "script/task_step.h"

#define UNDEFINED_COMMAND(name) \
  int32_t name() {              \
    STAND_IN();                 \
    return CmdUndefined();      \
  }

UNDEFINED_COMMAND(CmdEmoteControl)
UNDEFINED_COMMAND(CmdFrameRate)
UNDEFINED_COMMAND(CmdInputEnable)
UNDEFINED_COMMAND(CmdMenuDefine)
UNDEFINED_COMMAND(CmdMenuPopup)
UNDEFINED_COMMAND(CmdMenuDelete)
UNDEFINED_COMMAND(CmdMenuQuery)
UNDEFINED_COMMAND(CmdValidateOnly66)
UNDEFINED_COMMAND(CmdValidateOnly67)
UNDEFINED_COMMAND(CmdValidateOnly68)
UNDEFINED_COMMAND(CmdMouse)
UNDEFINED_COMMAND(CmdRegistryRead)
UNDEFINED_COMMAND(CmdScreenAndTimers)
UNDEFINED_COMMAND(CmdTrayIcon)
UNDEFINED_COMMAND(CmdValidateOnly101)
