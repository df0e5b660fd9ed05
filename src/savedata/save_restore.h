#pragma once
// Putting a loaded record back: into a variable (whole or one element), into
// the variables of a group, or into a layer whose node is made anew.
#include <cstdint>

#include "savedata/save_format.h"

struct ObjectTreeNode;

struct RestoreTarget {
  int mCommand = 0;        // the command whose name the reports carry
  uint32_t mVariable = 0;  // id 3's variable
  bool mWhole = true;
  int64_t mElement = 0;
  const char* mLayerPath = nullptr;  // the normalised path of the layer given
};

// Restores a located record. 0, or -1 after a report; a group record also
// ends with -1 (the task's turn ends). Nothing changes unless the whole
// record is good.
int RestoreSaveRecord(const SaveRecordView& view, ObjectTreeNode* layer, const RestoreTarget& target);
