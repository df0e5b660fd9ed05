#include "datasrc/preload_cache.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "core/errors.h"
#include "core/process_state.h"
#include "core/sjis.h"
#include "datasrc/resource_lookup.h"

namespace {

struct PreloadSlot {
  std::string mName;
  uint32_t mSize = 0;
  uint32_t mType = 0;
  uint8_t* mData = nullptr;  // std::malloc, owned by the cache
};

// Guarded by g_GlobalLock.
std::vector<PreloadSlot> g_PreloadLists[kPreloadLists];

// The slot of `name` in a list, or -1. Called with the lock held.
int32_t FindPreloadSlot(int32_t list, std::string_view name) {
  const std::vector<PreloadSlot>& slots = g_PreloadLists[list];
  for (size_t slot = 0; slot < slots.size(); ++slot) {
    if (EqualsSjisNoCase(slots[slot].mName, name)) return static_cast<int32_t>(slot);
  }
  return -1;
}

// Takes a slot out of its list, shifting the later ones down; its data is
// handed to the caller. Called with the lock held.
PreloadSlot RemovePreloadSlot(int32_t list, int32_t slot) {
  std::vector<PreloadSlot>& slots = g_PreloadLists[list];
  PreloadSlot removed = std::move(slots[static_cast<size_t>(slot)]);
  slots.erase(slots.begin() + slot);
  return removed;
}

// Appends an entry, dropping the oldest one of a full list. Called with the
// lock held.
void AppendPreloadSlot(int32_t list, PreloadSlot slot) {
  std::vector<PreloadSlot>& slots = g_PreloadLists[list];
  if (slots.size() >= static_cast<size_t>(kPreloadSlots)) std::free(RemovePreloadSlot(list, 0).mData);
  slots.push_back(std::move(slot));
}

}  // namespace

int FindInPreloadCache(ResourceLocation* location, const char* name) {
  std::lock_guard<std::recursive_mutex> lock(g_GlobalLock);
  for (int32_t list = 0; list < kPreloadLists; ++list) {
    int32_t slot = FindPreloadSlot(list, name);
    if (slot < 0) continue;
    location->mSource = SOURCE_PRELOAD;
    location->mPreloadList = list;
    location->mPreloadSlot = slot;
    location->mType = static_cast<int32_t>(g_PreloadLists[list][static_cast<size_t>(slot)].mType);
    return SOURCE_PRELOAD;
  }
  return 0;
}

int ReadResourceFromPreloadCache(ResourceLocation* location, const char* name) {
  std::lock_guard<std::recursive_mutex> lock(g_GlobalLock);
  int32_t list = location->mPreloadList;
  int32_t slot = location->mPreloadSlot;
  bool valid = list >= 0 && list < kPreloadLists && slot >= 0 &&
               static_cast<size_t>(slot) < g_PreloadLists[list].size() &&
               EqualsSjisNoCase(g_PreloadLists[list][static_cast<size_t>(slot)].mName, name);
  if (!valid) {
    // Another thread moved the entry since it was found: look again.
    ResourceLocation again;
    if (FindInPreloadCache(&again, name) != SOURCE_PRELOAD) {
      ReportErrorFmt(104010, 1, name);
      return -3;
    }
    list = again.mPreloadList;
    slot = again.mPreloadSlot;
  }
  const PreloadSlot& entry = g_PreloadLists[list][static_cast<size_t>(slot)];
  if (!AllocResourceData(location, entry.mSize)) {
    ReportErrorFmt(104030, 1, name);
    return -3;
  }
  if (entry.mSize > 0) std::memcpy(location->mData, entry.mData, entry.mSize);
  return 0;
}

int PreloadFile(int32_t list, const char* name, int32_t category) {
  if (list < 0 || list >= kPreloadLists || std::strlen(name) > kMaxNameBytes) return -1;
  char work[kNameBufferBytes];
  char resolved[kNameBufferBytes];
  std::memcpy(work, name, std::strlen(name) + 1);
  ResourceLocation location;
  int found = FindMediaFile(&location, resolved, work, category);
  if (found < 0) return -1;
  if (found == 1) return 0;

  {
    std::lock_guard<std::recursive_mutex> lock(g_GlobalLock);
    int32_t slot = FindPreloadSlot(list, resolved);
    if (slot >= 0) {
      // Already in this list: to the end, with its data as it is.
      AppendPreloadSlot(list, RemovePreloadSlot(list, slot));
      return 0;
    }
  }
  // Read without the lock (a file preloaded in another list is copied from
  // there), then store.
  if (ReadResource(&location, resolved) != 0) return -1;
  PreloadSlot entry;
  entry.mName = resolved;
  entry.mSize = location.mSize;
  entry.mType = static_cast<uint32_t>(location.mType);
  entry.mData = location.mData;
  location.mData = nullptr;
  std::lock_guard<std::recursive_mutex> lock(g_GlobalLock);
  int32_t slot = FindPreloadSlot(list, resolved);
  if (slot >= 0) std::free(RemovePreloadSlot(list, slot).mData);
  AppendPreloadSlot(list, std::move(entry));
  return 0;
}

int32_t GetPreloadCount(int32_t list) {
  if (list < 0 || list >= kPreloadLists) return 0;
  std::lock_guard<std::recursive_mutex> lock(g_GlobalLock);
  return static_cast<int32_t>(g_PreloadLists[list].size());
}

std::string GetPreloadSlotName(int32_t list, int32_t slot) {
  if (list < 0 || list >= kPreloadLists || slot < 0) return std::string();
  std::lock_guard<std::recursive_mutex> lock(g_GlobalLock);
  if (static_cast<size_t>(slot) >= g_PreloadLists[list].size()) return std::string();
  return g_PreloadLists[list][static_cast<size_t>(slot)].mName;
}

void ReleasePreloadCache() {
  std::lock_guard<std::recursive_mutex> lock(g_GlobalLock);
  for (std::vector<PreloadSlot>& slots : g_PreloadLists) {
    for (PreloadSlot& slot : slots) std::free(slot.mData);
    slots.clear();
  }
}
