#include "sound/sound_ring.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/errors.h"
#include "core/message_ids.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "platform/clock.h"
#include "sound/sound_record.h"

ObjectTreeNode** g_SoundRequestNodes = nullptr;
uint8_t* g_SoundRequestCodes = nullptr;
char (*g_SoundRequestNames)[kSoundRequestNameBytes] = nullptr;
int32_t* g_SoundRequestParams = nullptr;
int32_t* g_SoundRequestDone = nullptr;
int32_t g_SoundRequestRead = 0;
int32_t g_SoundRequestWrite = 0;

namespace {

int32_t NextSlot(int32_t slot) { return (slot + 1) % kSoundRingSlots; }

bool IsBelow(const ObjectTreeNode* node, const ObjectTreeNode* ancestor) {
  for (; node != nullptr; node = node->mParent) {
    if (node == ancestor) return true;
  }
  return false;
}

}  // namespace

bool InitSoundRequestRing() {
  if (g_SoundRequestNodes != nullptr) return true;
  g_SoundRequestNodes = static_cast<ObjectTreeNode**>(std::calloc(kSoundRingSlots, sizeof(ObjectTreeNode*)));
  g_SoundRequestCodes = static_cast<uint8_t*>(std::calloc(kSoundRingSlots, 1));
  g_SoundRequestNames =
      static_cast<char (*)[kSoundRequestNameBytes]>(std::calloc(kSoundRingSlots, kSoundRequestNameBytes));
  g_SoundRequestParams = static_cast<int32_t*>(std::calloc(kSoundRingSlots, sizeof(int32_t)));
  g_SoundRequestDone = static_cast<int32_t*>(std::calloc(kSoundRingSlots, sizeof(int32_t)));
  g_SoundRequestRead = g_SoundRequestWrite = 0;
  if (g_SoundRequestNodes == nullptr || g_SoundRequestCodes == nullptr || g_SoundRequestNames == nullptr ||
      g_SoundRequestParams == nullptr || g_SoundRequestDone == nullptr) {
    ReleaseSoundRequestRing();
    return false;
  }
  return true;
}

void ReleaseSoundRequestRing() {
  std::free(g_SoundRequestNodes);
  std::free(g_SoundRequestCodes);
  std::free(g_SoundRequestNames);
  std::free(g_SoundRequestParams);
  std::free(g_SoundRequestDone);
  g_SoundRequestNodes = nullptr;
  g_SoundRequestCodes = nullptr;
  g_SoundRequestNames = nullptr;
  g_SoundRequestParams = nullptr;
  g_SoundRequestDone = nullptr;
  g_SoundRequestRead = g_SoundRequestWrite = 0;
}

bool SoundRequestsPending() {
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  return g_SoundRequestRead != g_SoundRequestWrite;
}

bool SoundThreadAnswers() { return g_QuitFlag.load() == 0 && g_SoundThreadState.load() == 0; }

int32_t PostSoundRequest(ObjectTreeNode* node, uint8_t code, int32_t parameter, const char* name) {
  bool reported = false;
  for (;;) {
    {
      std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
      if (g_SoundRequestNodes == nullptr) return -1;
      int32_t slot = g_SoundRequestWrite;
      // The write index never moves onto the read index: that would make
      // the full ring look empty and lose every request in it.
      if (NextSlot(slot) != g_SoundRequestRead) {
        g_SoundRequestNodes[slot] = node;
        g_SoundRequestCodes[slot] = code;
        g_SoundRequestParams[slot] = parameter;
        g_SoundRequestNames[slot][0] = '\0';
        if (name != nullptr) {
          size_t length = strnlen(name, kSoundRequestNameBytes - 1);
          std::memcpy(g_SoundRequestNames[slot], name, length);
          g_SoundRequestNames[slot][length] = '\0';
        }
        g_SoundRequestDone[slot] = 0;
        g_SoundRequestWrite = NextSlot(slot);
        return slot;
      }
      if (!reported) {
        reported = true;
        ReportError(kMsgSoundRingFull);
      }
    }
    // Full: wait for the sound thread to make room, unless it no longer
    // drains.
    if (!SoundThreadAnswers()) return -1;
    SleepMs(1);
  }
}

bool WaitForSoundRequest(int32_t slot) {
  if (slot < 0 || slot >= kSoundRingSlots) return false;
  for (;;) {
    {
      std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
      if (g_SoundRequestDone == nullptr) return false;
      if (g_SoundRequestDone[slot] != 0) return true;
    }
    if (!SoundThreadAnswers()) return false;
    SleepMs(1);
  }
}

bool WaitForSoundIdle(const SoundRecord* record) {
  for (;;) {
    {
      std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
      if (record->mState == SOUND_STATE_IDLE) return true;
    }
    if (!SoundThreadAnswers()) return false;
    SleepMs(1);
  }
}

void ClearSoundRequestsFor(const ObjectTreeNode* node) {
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  if (g_SoundRequestNodes == nullptr) return;
  for (int32_t slot = g_SoundRequestRead; slot != g_SoundRequestWrite; slot = NextSlot(slot)) {
    if (g_SoundRequestNodes[slot] != nullptr && IsBelow(g_SoundRequestNodes[slot], node)) {
      g_SoundRequestNodes[slot] = nullptr;
      g_SoundRequestDone[slot] = 1;
    }
  }
}
