#pragma once
// The numbered messages the engine reports, each with its fatal flag (1: the
// report sets the quit flag). Reports name these constants instead of the
// numbers; a call that must differ from the usual flag says so with
// WithFatal. One line per message, sorted by number; every entry is also
// listed in kAllMessageIds below.
#include <cstdint>

struct MessageId {
  int32_t mNumber;
  int mFatal;
  friend constexpr bool operator==(const MessageId&, const MessageId&) = default;
};

// The same message reported with another fatal flag at one call.
constexpr MessageId WithFatal(MessageId id, int fatal) { return MessageId{id.mNumber, fatal}; }

inline constexpr MessageId kMsgOpenSourceNotice{100000, 1};          // notice of the open-source components ("/info")
inline constexpr MessageId kMsgOutOfMemory{100010, 1};               // out of memory
inline constexpr MessageId kMsgUnsupportedFileType{100030, 1};       // file type the command cannot load (command, file)
inline constexpr MessageId kMsgBmpNoMagic{100070, 1};                // bitmap without "BM" (file)
inline constexpr MessageId kMsgBmpDamaged{100080, 1};                // bitmap header or data damaged (file)
inline constexpr MessageId kMsgBmpCompressed{100090, 1};             // compressed 4- or 8-bit bitmap (file)
inline constexpr MessageId kMsgImageTooLarge{100091, 1};             // image side above 8192 or below 1 (file)
inline constexpr MessageId kMsgBmpTopDown{100092, 1};                // bitmap stored top-down (file)
inline constexpr MessageId kMsgPngDecodeFailed{100200, 1};           // PNG could not be decoded (file)
inline constexpr MessageId kMsgJpegDecodeFailed{100210, 1};          // JPEG could not be decoded (file)
inline constexpr MessageId kMsgGifDecodeFailed{100215, 1};           // GIF could not be decoded (file)
inline constexpr MessageId kMsgObjectGroupMissing{100230, 1};        // object path names a missing group (component)
inline constexpr MessageId kMsgBlankInName{100242, 1};               // blank inside a name segment (name)
inline constexpr MessageId kMsgArrayTooLarge{101100, 1};             // array of more than 4,000,000 elements (limit)
inline constexpr MessageId kMsgArrayCountNotPositive{101110, 1};     // array of zero or fewer elements
inline constexpr MessageId kMsgCannotReadFile{104010, 1};            // file cannot be opened or read (file)
inline constexpr MessageId kMsgNoMemoryForFile{104030, 1};           // out of memory reading a file (file)
inline constexpr MessageId kMsgFileNotFound{104060, 1};              // file does not exist (file)
inline constexpr MessageId kMsgDamagedPackEntry{104100, 1};          // damaged file inside a pack (pack, file)
inline constexpr MessageId kMsgTooManyPackFolders{104110, 1};        // too many pack folders
inline constexpr MessageId kMsgPackFoldersTooDeep{104111, 1};        // pack folders nested too deep
inline constexpr MessageId kMsgPackVersionMismatch{104120, 1};       // pack of another version or damaged index (pack)
inline constexpr MessageId kMsgTooManyPacks{104130, 1};              // more packs than the table holds (limit)
inline constexpr MessageId kMsgTooManyPackEntries{104140, 1};        // more pack entries than allowed (limit)
inline constexpr MessageId kMsgDuplicatePackEntry{104150, 0};        // same file in two ordinary packs (file)
inline constexpr MessageId kMsgVariableFileVersion{105000, 1};       // variable table of another version
inline constexpr MessageId kMsgCannotDecompress{106010, 1};          // file cannot be decompressed (file)
inline constexpr MessageId kMsgLabelNotFound{108180, 1};             // label not found (label)
inline constexpr MessageId kMsgNullObjectPath{900020, 1};            // internal: object path missing
inline constexpr MessageId kMsgDecompressBufferTooSmall{900040, 1};  // internal: decompression buffer too small (file)
inline constexpr MessageId kMsgUndefinedCommand{900050, 1};          // internal: command number without a handler
inline constexpr MessageId kMsgVariableNumberOutOfRange{900070, 1};  // internal: definition outside the variable table
inline constexpr MessageId kMsgWindowTitleTooLong{901000, 1};        // window title longer than 128 bytes
inline constexpr MessageId kMsgBadEngineSetting{901020, 1};          // screen size or threaded stepping out of range
inline constexpr MessageId kMsgScriptNumberOutOfRange{901030, 1};    // script number outside the script table
inline constexpr MessageId kMsgCannotOpenPack{901040, 1};            // internal: pack cannot be opened (pack)

// Every entry above, in the same order.
inline constexpr MessageId kAllMessageIds[] = {
    kMsgOpenSourceNotice,
    kMsgOutOfMemory,
    kMsgUnsupportedFileType,
    kMsgBmpNoMagic,
    kMsgBmpDamaged,
    kMsgBmpCompressed,
    kMsgImageTooLarge,
    kMsgBmpTopDown,
    kMsgPngDecodeFailed,
    kMsgJpegDecodeFailed,
    kMsgGifDecodeFailed,
    kMsgObjectGroupMissing,
    kMsgBlankInName,
    kMsgArrayTooLarge,
    kMsgArrayCountNotPositive,
    kMsgCannotReadFile,
    kMsgNoMemoryForFile,
    kMsgFileNotFound,
    kMsgDamagedPackEntry,
    kMsgTooManyPackFolders,
    kMsgPackFoldersTooDeep,
    kMsgPackVersionMismatch,
    kMsgTooManyPacks,
    kMsgTooManyPackEntries,
    kMsgDuplicatePackEntry,
    kMsgVariableFileVersion,
    kMsgCannotDecompress,
    kMsgLabelNotFound,
    kMsgNullObjectPath,
    kMsgDecompressBufferTooSmall,
    kMsgUndefinedCommand,
    kMsgVariableNumberOutOfRange,
    kMsgWindowTitleTooLong,
    kMsgBadEngineSetting,
    kMsgScriptNumberOutOfRange,
    kMsgCannotOpenPack,
};

// Sorted by number, no number twice: checked when the header is compiled.
constexpr bool MessageIdsSortedAndUnique() {
  int32_t previous = -1;
  for (const MessageId& id : kAllMessageIds) {
    if (id.mNumber <= previous) return false;
    previous = id.mNumber;
  }
  return true;
}
static_assert(MessageIdsSortedAndUnique(), "kAllMessageIds must be sorted by number without repeats");
