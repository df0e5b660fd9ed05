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
