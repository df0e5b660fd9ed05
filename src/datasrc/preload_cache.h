#pragma once
// The preload cache, first of the data sources: four lists of files read
// ahead by scripts, oldest first, at most kPreloadSlots each. Every read and
// change takes g_GlobalLock: the sound thread looks files up while the script
// thread preloads.
#include <cstdint>
#include <string>

struct ResourceLocation;

constexpr int32_t kPreloadLists = 4;
constexpr int32_t kPreloadSlots = 512;

// Reads an image (category 0) or sound (1) ahead into list 0-3, found by the
// media lookup. A name the list already holds moves to the end of the list
// without being read again; a full list drops its oldest entry. 0 (also when
// the name exists nowhere: nothing happens); -1 for a list outside 0-3, a
// failed lookup or a failed read (the reader has reported).
int PreloadFile(int32_t list, const char* name, int32_t category);

// The reader of the preload source: a copy of the slot's data. 0, or -3
// after 104030 (no memory) or 104010 (the entry left the cache meanwhile).
int ReadResourceFromPreloadCache(ResourceLocation* location, const char* name);

int32_t GetPreloadCount(int32_t list);
// The name held in a slot; empty when the slot is not used.
std::string GetPreloadSlotName(int32_t list, int32_t slot);
// Frees every entry (shutdown and tests).
void ReleasePreloadCache();
