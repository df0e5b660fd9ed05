// Stand-ins until save data is built: there are no slots or records.
#include "core/stand_in.h"
#include "savedata/save_slots.h"

void ClearMemorySaveSlots() { STAND_IN(); }
void FreePendingSaveRecords() { STAND_IN(); }
