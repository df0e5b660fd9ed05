// Pending save records and the memory slots.
#include "savedata/save_slots.h"

#include <algorithm>
#include <utility>

#include "core/byte_order.h"
#include "core/byte_reader.h"
#include "core/errors.h"
#include "datasrc/compression.h"
#include "savedata/save_format.h"
#include "script/variables.h"

std::vector<uint8_t> g_PendingSaveRecords[1024];
MemorySlot g_MemorySlots[500];

namespace {

// A slot image is given at least this much room, so small saves reuse it.
constexpr size_t kMinSlotCapacity = 51200;

// The payload before compression; grown and kept.
std::vector<uint8_t> g_SaveScratch;

void AppendRecordHeader(std::vector<uint8_t>& out, uint8_t kind, uint16_t variable) {
  AppendU8(out, kind);
  AppendU8(out, 1);
  AppendU16(out, variable);
  AppendU32(out, 0);
  AppendU32(out, 0);
}

}  // namespace

size_t PendingSaveLength(uint32_t dno) {
  return dno >= 1 && dno <= kMaxSaveDno ? g_PendingSaveRecords[dno - 1].size() : 0;
}

void FreePendingSaveRecords(int index) {
  if (index >= 0 && index < static_cast<int>(kMaxSaveDno)) {
    std::vector<uint8_t>().swap(g_PendingSaveRecords[index]);
    return;
  }
  if (index != -1) return;
  for (std::vector<uint8_t>& record : g_PendingSaveRecords) std::vector<uint8_t>().swap(record);
  std::vector<uint8_t>().swap(g_SaveScratch);
}

void ClearMemorySaveSlots() {
  for (MemorySlot& slot : g_MemorySlots) slot = MemorySlot();
}

size_t WriteSaveRecord(uint32_t dno, const LayerRecord* layer, uint32_t n, int64_t element, bool whole) {
  std::vector<uint8_t>& pending = g_PendingSaveRecords[dno - 1];
  size_t start = pending.size();
  bool image = layer != nullptr;
  AppendRecordHeader(pending, image ? kSaveKindImage : kSaveKindVariable,
                     image ? 0 : static_cast<uint16_t>(n));
  g_SaveScratch.clear();
  size_t payload = image ? SerializeLayerImage(g_SaveScratch, layer) : SerializeVariable(g_SaveScratch, n, whole, element);
  bool packed = image ? CompressImagePayload(g_SaveScratch.data(), payload, pending)
                      : CompressVariablePayload(g_SaveScratch.data(), payload, pending);
  if (!packed) {
    pending.resize(start);
    return 0;
  }
  size_t stored = pending.size() - start - kRecordHeaderBytes;
  if (stored > UINT32_MAX || payload > UINT32_MAX) {
    pending.resize(start);
    return 0;
  }
  PatchU32(pending, start + 4, static_cast<uint32_t>(stored));
  PatchU32(pending, start + 8, static_cast<uint32_t>(payload));
  return stored + kRecordHeaderBytes;
}

bool WriteGroupSaveRecord(uint32_t dno, uint8_t group, uint8_t type) {
  std::vector<uint8_t>& pending = g_PendingSaveRecords[dno - 1];
  pending.clear();
  AppendRecordHeader(pending, kSaveKindGroup, 0);
  uint64_t unpacked = 0;
  // The variable number of an inner record is 16 bits wide: variables past
  // it could not be told apart on loading and are left out.
  uint32_t last = std::min<uint32_t>(g_VariableCount, 65536);
  for (uint32_t n = 0; n < last; ++n) {
    const VariableRecord* variable = g_VariableTable[n];
    if (variable == nullptr || variable->mGroup != group || variable->mVarType != type) continue;
    size_t before = pending.size();
    if (WriteSaveRecord(dno, nullptr, n, 0, true) == 0) {
      pending.clear();
      return false;
    }
    unpacked += LoadLe32(pending.data() + before + 8) + kRecordHeaderBytes;
  }
  // Sizes are 32-bit fields.
  if (pending.size() - kRecordHeaderBytes > UINT32_MAX || unpacked > UINT32_MAX) {
    pending.clear();
    return false;
  }
  PatchU32(pending, 4, static_cast<uint32_t>(pending.size() - kRecordHeaderBytes));
  PatchU32(pending, 8, static_cast<uint32_t>(unpacked));
  return true;
}

bool AppendPendingRecords(std::vector<uint8_t>& image, uint32_t lastDno, uint32_t* count) {
  *count = 0;
  for (uint32_t dno = 1; dno <= lastDno; ++dno) {
    const std::vector<uint8_t>& record = g_PendingSaveRecords[dno - 1];
    if (record.empty()) continue;
    if (image.size() + 4 + record.size() > kMaxSaveImageBytes) return false;
    PatchU32(image, SaveTableEntryAt(dno), static_cast<uint32_t>(image.size()));
    AppendU32(image, dno);
    AppendBytes(image, record.data(), record.size());
    *count += 1;
  }
  return true;
}

bool BuildSaveImage(uint32_t lastDno, std::vector<uint8_t>* image) {
  image->assign(kSaveHeaderBytes, 0);
  std::copy(kSaveMagic, kSaveMagic + 4, image->begin());
  PatchU32(*image, 4, kSaveVersion);
  PatchU32(*image, 12, kSaveTableEntries);
  uint32_t count = 0;
  if (!AppendPendingRecords(*image, lastDno, &count)) return false;
  PatchU32(*image, 8, count);
  return true;
}

bool WriteMemorySlot(uint32_t slot) {
  std::vector<uint8_t> image;
  if (!BuildSaveImage(kMaxSaveDno - 1, &image)) return false;
  MemorySlot& target = g_MemorySlots[slot];
  size_t capacity = std::max(image.size(), kMinSlotCapacity);
  if (target.mBuffer.size() < capacity) target.mBuffer.resize(capacity);
  std::copy(image.begin(), image.end(), target.mBuffer.begin());
  target.mWriteLength = image.size();
  target.mReadCursor = 0;
  return true;
}

const uint8_t* MemorySlotImage(uint32_t slot, size_t* size) {
  const MemorySlot& source = g_MemorySlots[slot];
  *size = std::min(source.mWriteLength, source.mBuffer.size());
  return source.mBuffer.data();
}

int PackMemorySlots() {
  std::vector<uint8_t>& pending = g_PendingSaveRecords[kPackageDno - 1];
  pending.clear();
  AppendRecordHeader(pending, kSaveKindVariable, 0);
  uint64_t unpacked = 0;
  for (const MemorySlot& slot : g_MemorySlots) {
    size_t length = std::min(slot.mWriteLength, slot.mBuffer.size());
    size_t entry = pending.size();
    AppendU32(pending, static_cast<uint32_t>(length));
    AppendU32(pending, 0);
    if (length > 0) {
      if (!CompressSlotImage(slot.mBuffer.data(), length, pending)) {
        // An incomplete package must never reach a file or a slot.
        std::vector<uint8_t>().swap(pending);
        ShowMessageBox("", "圧縮エラー.");
        return -1;
      }
      PatchU32(pending, entry + 4, static_cast<uint32_t>(pending.size() - entry - 8));
    }
    unpacked += length + 8;
  }
  if (pending.size() - kRecordHeaderBytes > UINT32_MAX || unpacked > UINT32_MAX) {
    std::vector<uint8_t>().swap(pending);
    ShowMessageBox("", "圧縮エラー.");
    return -1;
  }
  PatchU32(pending, 4, static_cast<uint32_t>(pending.size() - kRecordHeaderBytes));
  PatchU32(pending, 8, static_cast<uint32_t>(unpacked));
  return 0;
}

const char* PackageLoadFailureText() {
  return g_UseSnpSlots != 0 ? "Uncompress Status Error 4." : "Load Error.";
}

int LoadMemorySlotPackage(const uint8_t* record, size_t size) {
  const char* failure = PackageLoadFailureText();
  SaveRecordView view;
  std::vector<std::vector<uint8_t>> images(kMemorySlotCount);
  bool good = ReadRecordView(record, size, &view) && view.mKind == kSaveKindVariable;
  uint64_t unpacked = 0;
  if (good) {
    ByteReader reader(view.mBody, view.mSize);
    for (uint32_t slot = 0; good && slot < kMemorySlotCount; ++slot) {
      uint32_t length = reader.U32();
      uint32_t stored = reader.U32();
      const uint8_t* bytes = reader.Take(stored);
      if (bytes == nullptr || (length == 0) != (stored == 0)) {
        good = false;
      } else if (length > 0) {
        good = UncompressSlotImage(bytes, stored, length, images[slot]);
      }
      unpacked += static_cast<uint64_t>(length) + 8;
    }
    // Every size exact: the entries fill the record and add up to its
    // uncompressed-size field.
    good = good && reader.Remaining() == 0 && !reader.mFailed && unpacked == view.mUncompressed;
  }
  if (!good) {
    ShowMessageBox("", failure);
    return -1;
  }
  for (uint32_t slot = 0; slot < kMemorySlotCount; ++slot) {
    MemorySlot& target = g_MemorySlots[slot];
    target.mReadCursor = 0;
    if (images[slot].empty()) {
      target.mWriteLength = 0;  // the buffer is kept for later saves
      continue;
    }
    target.mWriteLength = images[slot].size();
    target.mBuffer = std::move(images[slot]);
  }
  return 0;
}
