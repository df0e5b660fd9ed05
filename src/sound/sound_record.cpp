#include "sound/sound_record.h"

#include <cstdlib>

#include "core/alloc.h"
#include "core/errors.h"
#include "core/object_tree.h"
#include "image/pixel_primitives.h"
#include "sound/sound_controls.h"

SoundRecord* CreateSoundRecord(ObjectTreeNode* node) {
  if (node == nullptr) return nullptr;
  auto* record = static_cast<SoundRecord*>(AllocZeroed(sizeof(SoundRecord)));
  if (record == nullptr) {
    ReportError(kMsgOutOfMemory);
    return nullptr;
  }
  record->mVolume = 256;
  record->mFadeTo = 256;
  record->mPrevFadeTo = 256;
  record->mPan = 256;
  record->mEnabled = 1;
  node->mPayload = record;
  return record;
}

void FreeSoundRecord(SoundRecord* record) {
  if (record == nullptr) return;
  ReleaseSoundChannel(record);
  std::free(record);
}
