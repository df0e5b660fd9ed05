#include "sound/sound_record.h"

#include <cstdlib>
#include <mutex>

#include "core/alloc.h"
#include "core/errors.h"
#include "core/object_tree.h"
#include "core/process_state.h"
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

ObjectTreeNode* CreateSoundNode(const char* path, int64_t orderKey, uint8_t isGroup) {
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  if (g_SoundRoot == nullptr) return nullptr;
  ObjectTreeNode* node = CreateTreeNode(g_SoundRoot, path, orderKey, isGroup);
  if (node == nullptr || CreateSoundRecord(node) == nullptr) return nullptr;
  return node;
}
