#pragma once
// Finding a named game file in the four data sources.
#include <cstdint>

struct ResourceLocation {
  int32_t mSource = 0;  // 0 none, 1 disk, 2 pack, 3 compiler output, 4 preload cache
  int32_t mType = 0;    // file type code
  int32_t mPack = -1;
  int32_t mEntry = -1;
  int64_t mPosition = 0;
  int32_t mList = -1;
  int32_t mSlot = -1;
  // Filled by the readers: the whole file, allocated with std::malloc and
  // owned by the caller (ReleaseResourceData frees it).
  uint8_t* mData = nullptr;
  uint32_t mSize = 0;
};

// The source kind of the first hit (1-4), 0 when no source has the name, -2
// when a pack that holds it cannot be opened.
int LocateResource(ResourceLocation* location, const char* name, int withType);

// The media lookup: finds an image (category 0), sound (1) or any file (9),
// adding the configured extensions to a name without a known one. 0 found, 1
// not found, -1 error. resolvedName (at least 261 bytes) receives the name
// found (or the last candidate tried); each "\" in name becomes "/".
int FindMediaFile(ResourceLocation* location, char* resolvedName, char* name, int category);

// Reads the located file whole with the reader of its source (mSource):
// 0 success with mData and mSize set; -3 cannot be opened or no memory; -2 a
// damaged pack entry. Readers report their own messages.
int ReadResource(ResourceLocation* location, const char* name);

// The loader convention: locates the name in the four sources (a missing
// file reports 104060, a pack that cannot be opened 901040, a lookup error
// 104010, all fatal) and reads it whole with the reader of its source.
// 0 success with mData and mSize set; non-zero after the report.
int LoadResourceWhole(ResourceLocation* location, const char* name);
void ReleaseResourceData(ResourceLocation* location);
