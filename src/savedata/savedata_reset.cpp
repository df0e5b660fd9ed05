#include "savedata/savedata_reset.h"

#include "savedata/save_slots.h"

void ResetSaveDataState() {
  FreePendingSaveRecords();
  ClearMemorySaveSlots();
}
