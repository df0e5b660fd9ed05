#include "savedata/savedata_reset.h"

#include "savedata/save_file.h"
#include "savedata/save_slots.h"

void ResetSaveDataState() {
  FreePendingSaveRecords(-1);
  ClearMemorySaveSlots();
  g_SaveWriteFaultStep = -1;
  g_SaveWriteSteps = 0;
}
