#include "shell/engine_reset.h"

#include "core/core_reset.h"
#include "datasrc/datasrc_reset.h"
#include "image/image_reset.h"
#include "layer/layer_reset.h"
#include "movie/movie_reset.h"
#include "oscmd/oscmd_reset.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "render/render_reset.h"
#include "savedata/savedata_reset.h"
#include "script/script_reset.h"
#include "shell/appended_data.h"
#include "shell/display.h"
#include "shell/entry.h"
#include "shell/frame.h"
#include "shell/input.h"
#include "shell/menus.h"
#include "shell/startup.h"
#include "shell/switch_commands.h"
#include "shell/window_objects.h"
#include "sound/sound_reset.h"

void ResetShellState() {
  ResetEntryState();
  DestroyMenuSets();
  g_PendingPopup = 0;
  ResetSwitchCommandState();
  if (IsFullscreen() && LeaveFullscreen(0) == 0) ClearFullscreenState();
  ResetDisplayState();
  ResetAppendedData();
  ReleaseTouchLibrary();
  ReleaseInputDevices();
  ResetStartupState();
  ReleaseWindowObjects();
  g_InCloseQuestion = 0;
  QuitPlatformVideo();
  SetWindowProcedure(nullptr);
  ClearWindowMessages();
  ResetFrameState();
}

void ResetEngineState() {
  // The script thread steps the tasks, draws and posts to the pixel workers:
  // nothing it reads may go while it runs.
  EndScriptThread();
  ResetRenderState();
  ResetSaveDataState();
  ResetSoundState();
  ResetImageState();
  ResetMovieState();
  ResetScriptState();
  ResetOsCommandState();
  ResetShellState();
  ResetLayerState();
  ResetDataSourceState();
  ResetCoreState();
}
