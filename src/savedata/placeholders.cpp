// Stand-ins until save data is built: there are no slots or records.
#include "savedata/save_slots.h"

void ClearMemorySaveSlots() {}
void FreePendingSaveRecords() {}
