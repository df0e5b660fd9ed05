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

UNDEFINED_COMMAND(CmdImageOperation)
UNDEFINED_COMMAND(CmdClipboardCopy)
UNDEFINED_COMMAND(CmdClipboardPaste)
UNDEFINED_COMMAND(CmdTextDataRead)
UNDEFINED_COMMAND(CmdTextDataCount)
UNDEFINED_COMMAND(CmdMessageBox)
UNDEFINED_COMMAND(CmdEmoteControl)
UNDEFINED_COMMAND(CmdFileUtility)
UNDEFINED_COMMAND(CmdFileInfo)
UNDEFINED_COMMAND(CmdFlashPlay)
UNDEFINED_COMMAND(CmdFlashStop)
UNDEFINED_COMMAND(CmdFlashQuery)
UNDEFINED_COMMAND(CmdCameraProject)
UNDEFINED_COMMAND(CmdMoviePlay)
UNDEFINED_COMMAND(CmdMovieStop)
UNDEFINED_COMMAND(CmdMovieQuery)
UNDEFINED_COMMAND(CmdOgvOpen)
UNDEFINED_COMMAND(CmdOgvClose)
UNDEFINED_COMMAND(CmdOgvQuery)
UNDEFINED_COMMAND(CmdValidateOnly76)
UNDEFINED_COMMAND(CmdTextFileRead)
UNDEFINED_COMMAND(CmdValidateOnly99)
UNDEFINED_COMMAND(CmdWindowControl)
UNDEFINED_COMMAND(CmdWindowHide)
UNDEFINED_COMMAND(CmdWindowQuery)
UNDEFINED_COMMAND(CmdFrameAnimation)
UNDEFINED_COMMAND(CmdFrameAnimationRelease)
UNDEFINED_COMMAND(CmdFrameAnimationQuery)
UNDEFINED_COMMAND(CmdOsUtility)
