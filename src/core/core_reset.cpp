#include "core/core_reset.h"

#include "core/debug_log.h"
#include "core/errors.h"
#include "core/file_list.h"
#include "core/input_state.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "core/stopwatches.h"
#include "core/window_table.h"

void ResetCoreState() {
  ResetErrorReporting();
  ClearMessageTexts();
  ResetDebugLog();
  ResetEngineSettings();
  ResetPlatformFacts();
  ResetWindowTable();
  ResetProcessState();
  ResetStopwatches();
  ResetInputState();
  ResetFileList();
}
