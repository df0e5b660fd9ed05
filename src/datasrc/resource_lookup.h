#pragma once
// Finding a named game file in the four data sources and reading it whole.
//
// Names are relative to the game folder, Shift-JIS, with "\" separators, and
// lower-cased (LowerCaseName) before a lookup. Every source compares them
// with ASCII letters folded; the pack index also filters by the MurmurHash2
// of the name exactly as given.
#include <cstddef>
#include <cstdint>

// Source kinds.
constexpr int32_t SOURCE_NONE = 0;
constexpr int32_t SOURCE_DISK = 1;
constexpr int32_t SOURCE_PACK = 2;
constexpr int32_t SOURCE_COMPILER_OUTPUT = 3;
constexpr int32_t SOURCE_PRELOAD = 4;

// File type codes, also stored in pack entries and preload slots.
constexpr int32_t FILE_TYPE_OTHER = 0;
constexpr int32_t FILE_TYPE_BMP = 1;
constexpr int32_t FILE_TYPE_PNG = 2;
constexpr int32_t FILE_TYPE_JPG = 3;
constexpr int32_t FILE_TYPE_GIF = 4;
constexpr int32_t FILE_TYPE_WAV = 5;
constexpr int32_t FILE_TYPE_OGG = 6;
constexpr int32_t FILE_TYPE_PSD = 7;
constexpr int32_t FILE_TYPE_QCG = 8;
constexpr int32_t FILE_TYPE_PSB = 9;
constexpr int32_t FILE_TYPE_WEBP = 10;

// A name, with the extension the media lookup adds, holds at most this many
// bytes; buffers for names hold one more for the terminator.
constexpr size_t kMaxNameBytes = 260;
constexpr size_t kNameBufferBytes = kMaxNameBytes + 1;

struct ResourceLocation {
  int32_t mSource = SOURCE_NONE;  // SOURCE_...
  int32_t mType = 0;              // FILE_TYPE_..., 0 for any other file
  int32_t mPackEntry = -1;        // index in the pack index (pack source)
  int32_t mPackNumber = -1;       // number of the pack (pack source)
  int64_t mDataPosition = 0;      // the entry's data descriptor, base-relative (pack source)
  int32_t mCompilerIndex = -1;    // record of the compiler output (compiler-output source)
  int32_t mPreloadList = -1;      // preload list 0-3 (preload source)
  int32_t mPreloadSlot = -1;      // slot in that list (preload source)
  // Filled by the readers: the whole file, allocated with std::malloc and
  // owned by the caller (ReleaseResourceData frees it). One zero byte follows
  // the mSize bytes, so text can be scanned up to a terminator.
  uint8_t* mData = nullptr;
  uint32_t mSize = 0;
};

// Switches from the engine configuration: loose files before packs in the
// development layout and in the release layout; the extension orders of the
// media lookup (image: 1 .png, 2 .bmp, 3 .jpg, 4 .gif, 5 .psb, 6 .webp over
// the first 7 bytes; sound: 1 .ogg, 2 .wav over the first 2 bytes; other
// values are skipped).
extern uint8_t g_LooseFirstDev;
extern uint8_t g_LooseFirstRelease;
extern uint8_t g_ImageExtOrder[8];
extern uint8_t g_SoundExtOrder[4];

// Tries the preload cache, the compiler output, then the packs and the loose
// files in the order the switches choose. The source kind of the first hit
// (1-4); 0 when no source has the name; -2 when a pack that holds an entry
// with the name's hash cannot be opened (the search stops there); -1 when the
// name is longer than kMaxNameBytes. With withType set a loose file gets the
// type of its extension, otherwise type 0.
int LocateResource(ResourceLocation* location, const char* name, int withType);
// True when loose files come before packs (computed on every lookup).
bool LooseFilesFirst();

// The source steps, for loaders that search in an order of their own.
int FindInPreloadCache(ResourceLocation* location, const char* name);    // 4 or 0
int FindInCompilerOutput(ResourceLocation* location, const char* name);  // 3 or 0
int FindInPackIndex(ResourceLocation* location, const char* name);       // 2, 0 or -2
bool FileExistsOnDisk(const char* path);  // a loose file, relative to the current folder

// The media lookup: finds an image (category 0), sound (1) or any file (9),
// adding the configured extensions to a name without a known one. The name
// is normalised as an object path (NormalizeObjectPath, empty base, blanks
// allowed), lower-cased and given "\" separators. 0 found, 1 not found, -1
// error (another category; a name the path normaliser refuses, which it
// reports as 100242; a name too long; a pack that cannot be opened).
// resolvedName (kNameBufferBytes) receives the normalised name found (or the
// last candidate tried); each "\" in name becomes "/".
int FindMediaFile(ResourceLocation* location, char* resolvedName, char* name, int category);

// The type code of a name's extension (letters folded), 0 for another one.
int32_t FileTypeFromExtension(const char* name);
// True when text is at least as long as suffix and ends with it, letters folded.
bool EndsWithNoCase(const char* text, const char* suffix);

// Reads the located file whole with the reader of its source (mSource):
// 0 success with mData and mSize set; -3 cannot be opened or no memory; -2 a
// damaged pack entry; -1 a location without a source. Readers report their
// own messages; name is used in them.
int ReadResource(ResourceLocation* location, const char* name);
int ReadResourceFromFile(ResourceLocation* location, const char* name);
int ReadResourceFromPack(ResourceLocation* location, const char* name);

// The loader convention: locates the name in the four sources (a missing
// file reports 104060, a pack that cannot be opened 901040, a lookup error
// 104010, all fatal) and reads it whole with the reader of its source.
// 0 success with mData and mSize set; non-zero after the report.
int LoadResourceWhole(ResourceLocation* location, const char* name);
void ReleaseResourceData(ResourceLocation* location);

// Frees the preload cache, the compiler output and the pack index (shutdown
// and tests).
void ReleaseDataSources();

// Fills a reader's result: a buffer of size + 1 bytes (the extra one zero),
// or false when memory runs out.
bool AllocResourceData(ResourceLocation* location, size_t size);
