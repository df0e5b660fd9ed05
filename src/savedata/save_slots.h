#pragma once
// Memory save slots and pending save records.
void ClearMemorySaveSlots();
void FreePendingSaveRecords();
