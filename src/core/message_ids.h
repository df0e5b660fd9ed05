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

inline constexpr MessageId kMsgOpenSourceNotice{100000, 1};           // notice of the open-source components ("/info")
inline constexpr MessageId kMsgOutOfMemory{100010, 1};                // out of memory
inline constexpr MessageId kMsgUnsupportedFileType{100030, 1};        // file type the command cannot load (command, file)
inline constexpr MessageId kMsgBmpNoMagic{100070, 1};                 // bitmap without "BM" (file)
inline constexpr MessageId kMsgBmpDamaged{100080, 1};                 // bitmap header or data damaged (file)
inline constexpr MessageId kMsgBmpCompressed{100090, 1};              // compressed 4- or 8-bit bitmap (file)
inline constexpr MessageId kMsgImageTooLarge{100091, 1};              // image side above 8192 or below 1 (file)
inline constexpr MessageId kMsgBmpTopDown{100092, 1};                 // bitmap stored top-down (file)
inline constexpr MessageId kMsgPngDecodeFailed{100200, 1};            // PNG could not be decoded (file)
inline constexpr MessageId kMsgJpegDecodeFailed{100210, 1};           // JPEG could not be decoded (file)
inline constexpr MessageId kMsgGifDecodeFailed{100215, 1};            // GIF could not be decoded (file)
inline constexpr MessageId kMsgPsdNotLoaded{100220, 1};               // Photoshop image, never loaded (file)
inline constexpr MessageId kMsgObjectGroupMissing{100230, 1};         // object path names a missing group (component)
inline constexpr MessageId kMsgLayerWithoutOrderKey{100240, 1};       // new layer without a number or order key (command)
inline constexpr MessageId kMsgBlankInName{100242, 1};                // blank inside a name segment (name)
inline constexpr MessageId kMsgResizeNeedsBothSides{100243, 1};       // new size of a loaded image with one side only (command)
inline constexpr MessageId kMsgMenuItemWithoutText{100260, 1};       // new menu item without a text (command, path)
inline constexpr MessageId kMsgRuleMaskSizeMismatch{100310, 1};   // rule mask of another size than its layer (layer, width, height, mask, mask width, mask height)
inline constexpr MessageId kMsgArgumentOutOfRange{101000, 1};         // argument outside its range (command, argument, minimum, maximum)
inline constexpr MessageId kMsgArgumentNegative{101010, 1};           // argument below its minimum of 0 or 1
inline constexpr MessageId kMsgArgumentNotColourOrMinusOne{101020, 1}; // argument neither -1 nor a 24-bit colour
inline constexpr MessageId kMsgArgumentNotColour{101030, 1};          // argument not a 24-bit colour
inline constexpr MessageId kMsgArrayTooLarge{101100, 1};              // array of more than 4,000,000 elements (limit)
inline constexpr MessageId kMsgArrayCountNotPositive{101110, 1};      // array of zero or fewer elements
inline constexpr MessageId kMsgElementTypeMismatch{101140, 1};        // result written to a variable of another type, or an unknown assignment operator
inline constexpr MessageId kMsgSystemVariableReadOnly{101150, 1};     // system variable that cannot be written
inline constexpr MessageId kMsgArgumentAboveLimit{101210, 1};         // argument above its limit
inline constexpr MessageId kMsgArgumentBelowZero{101220, 1};          // negative argument
inline constexpr MessageId kMsgLayerMissing{101230, 1};               // layer path that names no layer (command, path)
inline constexpr MessageId kMsgFontNumberAboveCount{101240, 1};      // font number above the font count (command, argument, number, count)
inline constexpr MessageId kMsgShareSourceMissing{101250, 1};         // layer to share, or menu tree for a menu bar, that does not exist (command, path)
inline constexpr MessageId kMsgImageIntoGroup{101280, 1};             // image or shared image given to a group (command)
inline constexpr MessageId kMsgSwapWithRegion{101281, 1};             // region given to a layer swap (command, argument)
inline constexpr MessageId kMsgRotateWithRegion{101282, 1};           // region given to a rotation (command, argument)
inline constexpr MessageId kMsgMosaicWithRegion{101283, 1};           // region given to the mosaic effect (command, argument)
inline constexpr MessageId kMsgScatterWithRegion{101284, 1};          // region given to the scatter effect (command, argument)
inline constexpr MessageId kMsgLayerPathIsGroup{101291, 1};           // second, third or destination layer path naming a group (command, path)
inline constexpr MessageId kMsgSoundFileForNewGroup{101292, 1};       // sound file given for a group that does not exist yet (command)
inline constexpr MessageId kMsgTaskPathIsGroup{101293, 1};            // task path naming a group (command, path)
inline constexpr MessageId kMsgLayerPointMissing{101295, 1};          // layer point query without both coordinates (command, argument)
inline constexpr MessageId kMsgCopyNeedsDestination{101296, 1};       // layer copy without a destination (command, argument)
inline constexpr MessageId kMsgSwapNeedsDestination{101297, 1};       // layer swap without a destination (command, argument)
inline constexpr MessageId kMsgPasteNeedsDestination{101298, 1};      // paste, blend or combination without a destination (command, argument)
inline constexpr MessageId kMsgNoEnclosingFrame{101300, 1};           // return, else or block end without its call or block
inline constexpr MessageId kMsgWindowValueRefused{101310, 1};         // window z-order or close state not allowed for the main window (command, argument, value)
inline constexpr MessageId kMsgSubWindowNeedsTitle{101320, 1};        // sub-window created without a title (command)
inline constexpr MessageId kMsgMainWindowHide{101330, 1};             // the main window given to the window hide command (command, argument, window)
inline constexpr MessageId kMsgTaskMissing{101400, 1};                // task path that names no task (command, path)
inline constexpr MessageId kMsgMainTaskRefused{101420, 1};            // the main task "SYSTEM" where another task is wanted (command)
inline constexpr MessageId kMsgEmptyTextCharClass{101450, 1};         // first character asked of an empty text (command, argument)
inline constexpr MessageId kMsgMoviePathEmpty{101510, 0};            // movie played without a file name
inline constexpr MessageId kMsgMoviePlayerFailed{101520, 0};         // movie file the player cannot open or start
inline constexpr MessageId kMsgStackTooDeep{101600, 1};               // block, loop or call nesting of 64
inline constexpr MessageId kMsgMessageTextFull{102000, 1};           // message text full
inline constexpr MessageId kMsgMessageValueTooLong{102030, 1};       // value appended to the message text longer than 1024 bytes
inline constexpr MessageId kMsgFontCreateFailed{102040, 1};          // font cannot be made
inline constexpr MessageId kMsgSaveFileOpenFailed{102100, 1};         // save file that cannot be opened (command, argument, file)
inline constexpr MessageId kMsgSaveRecordMissing{102110, 1};          // record number not in the save (command, argument)
inline constexpr MessageId kMsgSaveRecordTypeMismatch{102120, 1};     // saved variable of another type (command, declaration command of the type)
inline constexpr MessageId kMsgContextScriptMissing{102130, 1};       // script of a context string not in the script list
inline constexpr MessageId kMsgSaveFileWriteFailed{102140, 1};        // save file that cannot be written (command, file, error number, error text)
inline constexpr MessageId kMsgSaveNameHasFolder{102150, 1};          // save file name with a folder part (command, name)
inline constexpr MessageId kMsgSaveNameTooLong{102160, 1};            // save file name longer than 32 bytes (command, name)
inline constexpr MessageId kMsgSaveRecordPending{102170, 1};          // record number already prepared (command, argument, number)
inline constexpr MessageId kMsgCannotReadFile{104010, 1};             // file cannot be opened or read (file)
inline constexpr MessageId kMsgNoMemoryForFile{104030, 1};            // out of memory reading a file (file)
inline constexpr MessageId kMsgFileNotFound{104060, 1};               // file does not exist (file)
inline constexpr MessageId kMsgDamagedPackEntry{104100, 1};           // damaged file inside a pack (pack, file)
inline constexpr MessageId kMsgTooManyPackFolders{104110, 1};         // too many pack folders
inline constexpr MessageId kMsgPackFoldersTooDeep{104111, 1};         // pack folders nested too deep
inline constexpr MessageId kMsgPackVersionMismatch{104120, 1};        // pack of another version or damaged index (pack)
inline constexpr MessageId kMsgTooManyPacks{104130, 1};               // more packs than the table holds (limit)
inline constexpr MessageId kMsgTooManyPackEntries{104140, 1};         // more pack entries than allowed (limit)
inline constexpr MessageId kMsgDuplicatePackEntry{104150, 0};         // same file in two ordinary packs (file)
inline constexpr MessageId kMsgVariableFileVersion{105000, 1};        // variable table of another version
inline constexpr MessageId kMsgDisplayChangeRefused{105210, 0};       // the display refused the full-screen mode
inline constexpr MessageId kMsgCannotDecompress{106010, 1};           // file cannot be decompressed (file)
inline constexpr MessageId kMsgSubscriptOutOfRange{107010, 1};        // a subscript or list index out of range
inline constexpr MessageId kMsgIndirectSubscriptCount{107020, 1};     // wrong subscript count for an indirect reference
inline constexpr MessageId kMsgUndefinedVariable{108010, 1};          // variable number without a record
inline constexpr MessageId kMsgNotASaveFile{108030, 1};               // save file or slot without "QVSD" or cut short (command, file)
inline constexpr MessageId kMsgSaveVersionMismatch{108040, 1};        // save file of another version (command, file)
inline constexpr MessageId kMsgSavedImageIntoVariable{108050, 1};     // layer image record loaded without a layer
inline constexpr MessageId kMsgSavedDataTooLarge{108070, 1};          // saved variable data above 40,000,000 bytes
inline constexpr MessageId kMsgSavedDimensionCount{108080, 1};        // saved variable of another dimension count
inline constexpr MessageId kMsgSavedDimensionSize{108090, 1};         // saved variable of other dimension sizes
inline constexpr MessageId kMsgSavedVariableIntoLayer{108100, 1};     // variable record loaded into a layer
inline constexpr MessageId kMsgSavedLayerBlockSize{108110, 1};        // saved layer record block of another size
inline constexpr MessageId kMsgLoopEndWithoutLoop{108120, 1};         // loop end without a loop
inline constexpr MessageId kMsgLabelNotFound{108180, 1};              // label not found (label)
inline constexpr MessageId kMsgConversionTypeMismatch{108200, 1};     // number and text conversion between unsuitable variables
inline constexpr MessageId kMsgTextNotANumber{108210, 1};             // text that does not convert to a number
inline constexpr MessageId kMsgNotAStringVariable{108220, 1};         // a string variable wanted, or the result variable missing
inline constexpr MessageId kMsgIndirectTypeMismatch{108230, 1};       // indirect reference to a variable of another type
inline constexpr MessageId kMsgSoundRingFull{110200, 0};              // sound request ring full
inline constexpr MessageId kMsgSubstringStartPastEnd{120010, 1};      // substring start beyond the text
inline constexpr MessageId kMsgSubstringLengthPastEnd{120020, 1};     // substring length past the end of the text
inline constexpr MessageId kMsgRemovalStartPastEnd{120110, 1};        // removal start beyond the text
inline constexpr MessageId kMsgRemovalLengthPastEnd{120120, 1};       // removal length past the end of the text
inline constexpr MessageId kMsgStringWhereNumberWanted{160010, 1};    // a string where a number is wanted
inline constexpr MessageId kMsgMalformedScriptState{900000, 1};       // malformed context string or compiled records, program counter out of range
inline constexpr MessageId kMsgNullObjectPath{900020, 1};             // internal: object path missing
inline constexpr MessageId kMsgBadExpression{900030, 1};              // expression the evaluator cannot run
inline constexpr MessageId kMsgDecompressBufferTooSmall{900040, 1};   // internal: decompression buffer too small (file)
inline constexpr MessageId kMsgUndefinedCommand{900050, 1};           // internal: command number without a handler
inline constexpr MessageId kMsgVariableNumberOutOfRange{900070, 1};   // internal: definition outside the variable table
inline constexpr MessageId kMsgWindowTitleTooLong{901000, 1};         // window title longer than 128 bytes
inline constexpr MessageId kMsgBadEngineSetting{901020, 1};           // screen size or threaded stepping out of range
inline constexpr MessageId kMsgScriptNumberOutOfRange{901030, 1};     // script number outside the script table
inline constexpr MessageId kMsgCannotOpenPack{901040, 1};             // internal: pack cannot be opened (pack)

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
    kMsgPsdNotLoaded,
    kMsgObjectGroupMissing,
    kMsgLayerWithoutOrderKey,
    kMsgBlankInName,
    kMsgResizeNeedsBothSides,
    kMsgMenuItemWithoutText,
    kMsgRuleMaskSizeMismatch,
    kMsgArgumentOutOfRange,
    kMsgArgumentNegative,
    kMsgArgumentNotColourOrMinusOne,
    kMsgArgumentNotColour,
    kMsgArrayTooLarge,
    kMsgArrayCountNotPositive,
    kMsgElementTypeMismatch,
    kMsgSystemVariableReadOnly,
    kMsgArgumentAboveLimit,
    kMsgArgumentBelowZero,
    kMsgLayerMissing,
    kMsgFontNumberAboveCount,
    kMsgShareSourceMissing,
    kMsgImageIntoGroup,
    kMsgSwapWithRegion,
    kMsgRotateWithRegion,
    kMsgMosaicWithRegion,
    kMsgScatterWithRegion,
    kMsgLayerPathIsGroup,
    kMsgSoundFileForNewGroup,
    kMsgTaskPathIsGroup,
    kMsgLayerPointMissing,
    kMsgCopyNeedsDestination,
    kMsgSwapNeedsDestination,
    kMsgPasteNeedsDestination,
    kMsgNoEnclosingFrame,
    kMsgWindowValueRefused,
    kMsgSubWindowNeedsTitle,
    kMsgMainWindowHide,
    kMsgTaskMissing,
    kMsgMainTaskRefused,
    kMsgEmptyTextCharClass,
    kMsgMoviePathEmpty,
    kMsgMoviePlayerFailed,
    kMsgStackTooDeep,
    kMsgMessageTextFull,
    kMsgMessageValueTooLong,
    kMsgFontCreateFailed,
    kMsgSaveFileOpenFailed,
    kMsgSaveRecordMissing,
    kMsgSaveRecordTypeMismatch,
    kMsgContextScriptMissing,
    kMsgSaveFileWriteFailed,
    kMsgSaveNameHasFolder,
    kMsgSaveNameTooLong,
    kMsgSaveRecordPending,
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
    kMsgDisplayChangeRefused,
    kMsgCannotDecompress,
    kMsgSubscriptOutOfRange,
    kMsgIndirectSubscriptCount,
    kMsgUndefinedVariable,
    kMsgNotASaveFile,
    kMsgSaveVersionMismatch,
    kMsgSavedImageIntoVariable,
    kMsgSavedDataTooLarge,
    kMsgSavedDimensionCount,
    kMsgSavedDimensionSize,
    kMsgSavedVariableIntoLayer,
    kMsgSavedLayerBlockSize,
    kMsgLoopEndWithoutLoop,
    kMsgLabelNotFound,
    kMsgConversionTypeMismatch,
    kMsgTextNotANumber,
    kMsgNotAStringVariable,
    kMsgIndirectTypeMismatch,
    kMsgSoundRingFull,
    kMsgSubstringStartPastEnd,
    kMsgSubstringLengthPastEnd,
    kMsgRemovalStartPastEnd,
    kMsgRemovalLengthPastEnd,
    kMsgStringWhereNumberWanted,
    kMsgMalformedScriptState,
    kMsgNullObjectPath,
    kMsgBadExpression,
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
