// The save and load commands: preparing numbered records, writing them into
// a save file or a memory slot, and reading one record back into a
// variable, the variables of a group or a layer.
#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "core/errors.h"
#include "core/file_names.h"
#include "core/message_ids.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "platform/folders.h"
#include "platform/game_files.h"
#include "savedata/save_file.h"
#include "savedata/save_format.h"
#include "savedata/save_restore.h"
#include "savedata/save_slots.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/script_data.h"
#include "script/variables.h"

namespace {

constexpr int kLoadSlot = 54;
constexpr int kSaveSlot = 86;
constexpr int kDiscardSlot = 87;
constexpr int kValidateSlot = 88;
constexpr int64_t kPackAllSlots = 99999;
constexpr size_t kMaxSaveNameBytes = 32;


// Numbers that index the stores are checked before they do.
bool InRange(int command, int id, int64_t minimum, int64_t maximum) {
  int64_t value = HasArg(id) ? ArgInt(id) : 0;
  if (value >= minimum && value <= maximum) return true;
  ReportErrorAtScriptFmt(kMsgArgumentOutOfRange, CommandName(command), ArgumentName(command, id), value, minimum,
                         maximum);
  return false;
}

// The layer of ids 4 and 5 (path, and a number appended after "."), its
// normalised path in path (kObjectPathBytes). Null when none was given
// (*given false) or after a report (*failed).
ObjectTreeNode* FindLayerArgument(int command, char* path, bool* given, bool* failed) {
  *given = HasArg(4);
  *failed = false;
  if (!*given) return nullptr;
  std::string text = ArgText(4);
  if (HasArg(5)) {
    char number[32];
    std::snprintf(number, sizeof number, ".%" PRId64, ArgInt(5));
    text += number;
  }
  ObjectTreeNode* node = nullptr;
  if (NormalizeObjectPath(path, text.c_str(), g_LayerPathBase, 0) >= 0) {
    node = FindObjectByPath(g_LayerRoot, path, kPathLeaf);
    if (node == nullptr || node->mPayload == nullptr) {
      ReportErrorAtScriptFmt(kMsgShareSourceMissing, CommandName(command), path);
      node = nullptr;
    }
  }
  *failed = node == nullptr;
  return node;
}

// The save file of id 0: lower-cased, "/" made "\", at most 32 bytes, no
// folder part, ".sd" appended. False after a report.
bool SaveFileName(int command, std::string* name) {
  *name = ArgText(0);
  LowerCaseName(*name);
  ReplaceSlashesWithBackslashes(*name);
  if (name->size() > kMaxSaveNameBytes) {
    ReportErrorAtScriptFmt(kMsgSaveNameTooLong, CommandName(command), *name);
    return false;
  }
  if (name->find('\\') != std::string::npos) {
    ReportErrorAtScriptFmt(kMsgSaveNameHasFolder, CommandName(command), *name);
    return false;
  }
  if (name->size() < 3 || name->compare(name->size() - 3, 3, ".sd") != 0) *name += ".sd";
  return true;
}

std::string NativeSavePath(const std::string& name) { return ResolveGamePath(std::string(g_SaveFolder) + name); }

const char* ErrnoText(int error) {
  const char* text = error >= 0 && error < kErrnoTexts ? g_ErrnoTexts[error] : nullptr;
  return text != nullptr ? text : "";
}

// Creates the whole save folder, also the per-user ones several levels deep.
// 0, or the errno of the creation that failed.
int CreateSaveFolder() {
  int error = 0;
  return CreateNativeFolders(ResolveGamePath(g_SaveFolder), &error) ? 0 : error;
}

// Prepares the record of dno from ids 3-17. 0 or -1.
int PrepareRecord(uint32_t dno, ObjectTreeNode* layer) {
  if (PendingSaveLength(dno) > 0) {
    ReportErrorAtScriptFmt(kMsgSaveRecordPending, CommandName(kSaveSlot), ArgumentName(kSaveSlot, 2),
                           static_cast<int64_t>(dno));
    return -1;
  }
  uint8_t group = 0;
  uint8_t type = 0;
  // The highest group and the highest type given win, each on its own.
  for (int id = 6; id <= 17; ++id) {
    if (!HasArg(id)) continue;
    group = std::max<uint8_t>(group, static_cast<uint8_t>((id - 6) % 4 + 1));
    type = std::max<uint8_t>(type, static_cast<uint8_t>((id - 6) / 4 + 1));
  }
  if (group != 0) {
    if (!WriteGroupSaveRecord(dno, group, type)) {
      ShowMessageBox("", "メモリ不足です.");
      return -1;
    }
    return 0;
  }
  if (layer != nullptr) {
    if (!PrepareImageRecord(dno, static_cast<const LayerRecord*>(layer->mPayload))) {
      ShowMessageBox("", "メモリ不足です.");
      return -1;
    }
    return 0;
  }
  g_PendingSaveRecords[dno - 1].clear();
  int slot = ArgSlot(3);
  auto n = slot != 0 ? static_cast<uint32_t>(g_ArgVarId[slot]) : 0;
  const VariableRecord* variable = slot != 0 ? FindVariableRecord(n) : nullptr;
  if (variable == nullptr) {
    ReportErrorAtScript(kMsgUndefinedVariable);
    return -1;
  }
  bool whole = g_ArgWholeVar[slot] != 0;
  int64_t element = whole ? 0 : g_ArgVarElement[slot];
  if (!whole && !ElementInRange(variable, element)) {
    ReportErrorAtScript(kMsgSubscriptOutOfRange);
    return -1;
  }
  if (WriteSaveRecord(dno, n, element, whole) == 0) {
    ShowMessageBox("", "メモリ不足です.");
    return -1;
  }
  return 0;
}

struct OldRecord {
  uint32_t mDno;
  size_t mOffset;  // its DNO word
  size_t mLength;  // DNO word and record
};

// The records of an existing save file from 4112 on; false after a report
// when a number or a size does not fit.
bool WalkSaveFile(const std::vector<uint8_t>& file, const std::string& name, std::vector<OldRecord>* records) {
  size_t position = kSaveHeaderBytes;
  while (position < file.size()) {
    if (file.size() - position < 4 + kRecordHeaderBytes) {
      ReportErrorAtScriptFmt(kMsgNotASaveFile, CommandName(kSaveSlot), name);
      return false;
    }
    uint32_t dno = LoadLe32(file.data() + position);
    if (dno < 1 || dno > kMaxSaveDno) {
      ShowMessageBox("", "( DNO = %d ) 不正なDNO番号を検出しました。", static_cast<int64_t>(dno));
      return false;
    }
    uint64_t length = 4 + kRecordHeaderBytes + static_cast<uint64_t>(LoadLe32(file.data() + position + 8));
    if (length > file.size() - position) {
      ReportErrorAtScriptFmt(kMsgNotASaveFile, CommandName(kSaveSlot), name);
      return false;
    }
    records->push_back({dno, position, static_cast<size_t>(length)});
    position += static_cast<size_t>(length);
  }
  return true;
}

// The new image of an existing file: pending records appended, or put in
// place of the old records of their numbers. False after a report.
bool UpdateSaveImage(const std::vector<uint8_t>& old, const std::string& name, std::vector<uint8_t>* image) {
  LocateStatus status = CheckSaveImageHeader(old.data(), old.size());
  if (status != LocateStatus::kFound) {
    ReportErrorAtScriptFmt(status == LocateStatus::kWrongVersion ? kMsgSaveVersionMismatch : kMsgNotASaveFile,
                           CommandName(kSaveSlot), name);
    return false;
  }
  uint32_t oldCount = LoadLe32(old.data() + 8);
  bool rewrite = false;
  for (uint32_t dno = 1; dno <= kMaxSaveDno; ++dno) {
    rewrite |= PendingSaveLength(dno) > 0 && LoadLe32(old.data() + SaveTableEntryAt(dno)) != 0;
  }
  uint32_t added = 0;
  if (!rewrite) {
    *image = old;
    if (!AppendPendingRecords(*image, kMaxSaveDno, &added)) {
      ShowMessageBox("", "メモリ不足です.");
      return false;
    }
  } else {
    std::vector<OldRecord> records;
    if (!WalkSaveFile(old, name, &records)) return false;
    image->assign(old.begin(), old.begin() + 16);
    image->resize(kSaveHeaderBytes, 0);
    bool used[kMaxSaveDno] = {};
    for (const OldRecord& record : records) {
      const std::vector<uint8_t>& pending = g_PendingSaveRecords[record.mDno - 1];
      PatchU32(*image, SaveTableEntryAt(record.mDno), static_cast<uint32_t>(image->size()));
      if (!pending.empty() && !used[record.mDno - 1]) {
        used[record.mDno - 1] = true;
        AppendU32(*image, record.mDno);
        AppendBytes(*image, pending.data(), pending.size());
      } else {
        AppendBytes(*image, old.data() + record.mOffset, record.mLength);
      }
      if (image->size() > kMaxSaveImageBytes) {
        ShowMessageBox("", "メモリ不足です.");
        return false;
      }
    }
    for (uint32_t dno = 1; dno <= kMaxSaveDno; ++dno) {
      const std::vector<uint8_t>& pending = g_PendingSaveRecords[dno - 1];
      if (pending.empty() || used[dno - 1]) continue;
      if (image->size() + 4 + pending.size() > kMaxSaveImageBytes) {
        ShowMessageBox("", "メモリ不足です.");
        return false;
      }
      PatchU32(*image, SaveTableEntryAt(dno), static_cast<uint32_t>(image->size()));
      AppendU32(*image, dno);
      AppendBytes(*image, pending.data(), pending.size());
      added += 1;
    }
  }
  PatchU32(*image, 8, oldCount + added);
  PatchU32(*image, 12, kSaveTableEntries);
  return true;
}

// Reports a save file that could not be written, with the reason. -1.
int ReportSaveFileFailure(const std::string& name, int error) {
  ReportErrorAtScriptFmt(kMsgSaveFileWriteFailed, CommandName(kSaveSlot), name, static_cast<int64_t>(error),
                         ErrnoText(error));
  return -1;
}

// Writes every pending record into the save file of that name. 0 or -1; the
// pending records and the old file stay when it fails.
int WritePendingToFile(const std::string& name) {
  std::string path = NativeSavePath(name);
  std::vector<uint8_t> old;
  std::vector<uint8_t> image;
  int error = 0;
  // The old file and the new image are both held whole: a machine without
  // the memory for them fails this save, not the program.
  try {
    int read = ReadSaveFile(path, &old, &error);
    if (read < 0) return ReportSaveFileFailure(name, error);
    if (read == 1) {
      // Without its folder the file cannot be made: the folder's own
      // failure is the reason, not the missing folder that follows from it.
      int folderError = CreateSaveFolder();
      if (folderError != 0) return ReportSaveFileFailure(name, folderError);
      if (!BuildSaveImage(kMaxSaveDno, &image)) {
        ShowMessageBox("", "メモリ不足です.");
        return -1;
      }
    } else if (!UpdateSaveImage(old, name, &image)) {
      return -1;
    }
  } catch (const std::bad_alloc&) {
    return ReportSaveFileFailure(name, ENOMEM);
  }
  if (WriteSaveFileAtomically(path, image, &error) != 0) return ReportSaveFileFailure(name, error);
  return 0;
}

// The record of dno from a file or a slot, as its record proper. A status
// other than kFound has been reported; *bytes keeps what the view points
// into.
LocateStatus FindLoadRecord(uint32_t dno, const std::string& name, bool fromSlot, std::vector<uint8_t>* bytes,
                            SaveRecordView* view) {
  const char* command = CommandName(kLoadSlot);
  LocateStatus status;
  if (fromSlot) {
    size_t size = 0;
    const uint8_t* image = MemorySlotImage(static_cast<uint32_t>(ArgInt(1)), &size);
    status = LocateSaveRecord(image, size, dno, view);
  } else {
    std::vector<uint8_t> header;
    int read = ReadSaveFileRecord(NativeSavePath(name), dno, &header, bytes);
    if (read != 0) {
      ReportErrorAtScriptFmt(kMsgSaveFileOpenFailed, command, ArgumentName(kLoadSlot, 0), name);
      return LocateStatus::kNotSaveImage;
    }
    status = CheckSaveImageHeader(header.data(), header.size());
    if (status == LocateStatus::kFound) {
      uint32_t offset = LoadLe32(header.data() + SaveTableEntryAt(dno));
      if (offset == 0) {
        status = LocateStatus::kAbsent;
      } else if (offset < kSaveHeaderBytes || bytes->size() < 4 + kRecordHeaderBytes ||
                 LoadLe32(bytes->data()) != dno || !ReadRecordView(bytes->data() + 4, bytes->size() - 4, view)) {
        status = LocateStatus::kDamaged;
      }
    }
  }
  const std::string shown = fromSlot ? "(mem)" : name;
  switch (status) {
    case LocateStatus::kFound: break;
    case LocateStatus::kNotSaveImage: ReportErrorAtScriptFmt(kMsgNotASaveFile, command, shown); break;
    case LocateStatus::kWrongVersion: ReportErrorAtScriptFmt(kMsgSaveVersionMismatch, command, shown); break;
    case LocateStatus::kAbsent: ReportErrorAtScriptFmt(kMsgSaveRecordMissing, command, ArgumentName(kLoadSlot, 2)); break;
    case LocateStatus::kDamaged:
      // A record that does not fit its file cannot be unpacked.
      ShowMessageBox("", dno == kPackageDno ? PackageLoadFailureText() : "Uncompress Error.");
      break;
  }
  return status;
}

// Finds the record of dno and puts it back (ids 3-5 name where). 0 or -1.
int LoadRecord(uint32_t dno, const std::string& name, bool fromSlot, ObjectTreeNode* layer, const char* path,
               std::vector<uint8_t>* bytes, SaveRecordView* view) {
  if (FindLoadRecord(dno, name, fromSlot, bytes, view) != LocateStatus::kFound) return -1;
  if (dno == kPackageDno) {
    const uint8_t* record = view->mBody - kRecordHeaderBytes;
    return LoadMemorySlotPackage(record, kRecordHeaderBytes + view->mSize) == 0 ? 0 : -1;
  }
  int slot = ArgSlot(3);
  RestoreTarget target;
  target.mCommand = kLoadSlot;
  // Without id 3 there is no variable to load into: a number no record has.
  target.mVariable = slot != 0 ? static_cast<uint32_t>(g_ArgVarId[slot]) : UINT32_MAX;
  target.mWhole = slot == 0 || g_ArgWholeVar[slot] != 0;
  target.mElement = target.mWhole ? 0 : g_ArgVarElement[slot];
  target.mLayerPath = path;
  return RestoreSaveRecord(*view, layer, target);
}

}  // namespace

int32_t CmdSaveData() {
  if (FetchCommandArguments(kSaveSlot) != 0) return -1;
  if (HasArg(1) && ArgInt(1) != kPackAllSlots && !InRange(kSaveSlot, 1, 0, kMemorySlotCount - 1)) return -1;
  // Record 1024 is the memory-slot package: scripts never prepare it.
  if (HasArg(2) && !InRange(kSaveSlot, 2, 1, kPackageDno - 1)) return -1;
  bool layerGiven = false;
  bool layerFailed = false;
  char path[kObjectPathBytes] = "";
  ObjectTreeNode* layer = FindLayerArgument(kSaveSlot, path, &layerGiven, &layerFailed);
  if (layerFailed) return -1;
  std::string name;
  if (HasArg(0) && !SaveFileName(kSaveSlot, &name)) return -1;
  if (HasArg(1) && ArgInt(1) == kPackAllSlots) return PackMemorySlots() == 0 ? 0 : -1;
  try {
    if (HasArg(2) && PrepareRecord(static_cast<uint32_t>(ArgInt(2)), layer) != 0) return -1;
  } catch (const std::bad_alloc&) {
    FreePendingSaveRecords(static_cast<int>(ArgInt(2)) - 1);
    ShowMessageBox("", "メモリ不足です.");
    return -1;
  }
  // The images prepared for this save are compressed together here.
  if ((HasArg(0) || HasArg(1)) && !CompressPendingImages()) {
    ShowMessageBox("", "メモリ不足です.");
    return -1;
  }
  if (HasArg(1)) {
    bool written = false;
    try {
      written = WriteMemorySlot(static_cast<uint32_t>(ArgInt(1)));
    } catch (const std::bad_alloc&) {
      written = false;
    }
    if (!written) {
      ShowMessageBox("", "メモリ不足です.");
      return -1;
    }
  } else if (HasArg(0)) {
    if (WritePendingToFile(name) != 0) return -1;
  } else {
    return 0;
  }
  FreePendingSaveRecords(-1);
  return 0;
}

int32_t CmdLoadData() {
  if (FetchCommandArguments(kLoadSlot) != 0) return -1;
  bool fromSlot = HasArg(1);
  if (fromSlot && !InRange(kLoadSlot, 1, 0, kMemorySlotCount - 1)) return -1;
  if (!InRange(kLoadSlot, 2, 1, kMaxSaveDno)) return -1;
  auto dno = static_cast<uint32_t>(ArgInt(2));
  bool layerGiven = false;
  bool layerFailed = false;
  char path[kObjectPathBytes] = "";
  ObjectTreeNode* layer = FindLayerArgument(kLoadSlot, path, &layerGiven, &layerFailed);
  if (layerFailed) return -1;
  std::string name;
  if (!fromSlot && !SaveFileName(kLoadSlot, &name)) return -1;

  std::vector<uint8_t> bytes;
  SaveRecordView view;
  try {
    return LoadRecord(dno, name, fromSlot, layer, path, &bytes, &view);
  } catch (const std::bad_alloc&) {
    // Sizes are bounded by the file; what is left is a machine out of memory.
    if (fromSlot) {
      ShowMessageBox("", "[Load]メモリ不足エラーです。VAL_ID=%d :%u, %u", static_cast<int64_t>(dno),
                     static_cast<int64_t>(view.mSize), static_cast<int64_t>(view.mUncompressed));
    } else {
      ShowMessageBox("", "[Load]メモリ不足エラーです。");
    }
    return -1;
  }
}

int32_t CmdDiscardSaveRecords() {
  if (FetchCommandArguments(kDiscardSlot) != 0) return -1;
  FreePendingSaveRecords(-1);
  return 0;
}

int32_t CmdValidateOnly88() { return FetchCommandArguments(kValidateSlot) != 0 ? -1 : 0; }
