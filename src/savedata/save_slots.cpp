// Pending save records and the memory slots.
#include "savedata/save_slots.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <numeric>
#include <utility>

#include "core/byte_order.h"
#include "core/byte_reader.h"
#include "core/errors.h"
#include "datasrc/compression.h"
#include "image/pixel_workers.h"
#include "savedata/save_format.h"
#include "script/variables.h"

std::vector<uint8_t> g_PendingSaveRecords[1024];
MemorySlot g_MemorySlots[500];

namespace {

// A slot image is given at least this much room, so small saves reuse it.
constexpr size_t kMinSlotCapacity = 51200;

// The payload before compression; grown and kept.
std::vector<uint8_t> g_SaveScratch;

// Image payloads prepared (the layer's bytes at that moment) and not yet
// compressed, by DNO - 1, and their total size. They are compressed
// together, one record per part on the pixel workers, before a save writes
// them, or as soon as they hold more than kAwaitingImageBudget.
std::vector<uint8_t> g_AwaitingImages[1024];
size_t g_AwaitingImageBytes = 0;
constexpr size_t kAwaitingImageBudget = size_t{256} << 20;

int g_LastCompressionSlots = 0;

void FreeAwaitingImage(uint32_t index) {
  g_AwaitingImageBytes -= g_AwaitingImages[index].size();
  std::vector<uint8_t>().swap(g_AwaitingImages[index]);
}

void AppendRecordHeader(std::vector<uint8_t>& out, uint8_t kind, uint16_t variable) {
  AppendU8(out, kind);
  AppendU8(out, 1);
  AppendU16(out, variable);
  AppendU32(out, 0);
  AppendU32(out, 0);
}

// Independent pieces of compression run as parts on the pixel workers:
// piece i reads mInputs[i] and fills only mOutputs[i] and mFailed[i], so the
// bytes do not depend on which thread took which piece.
struct CompressionRun {
  struct Piece {
    const uint8_t* mData;
    size_t mSize;
  };
  std::vector<Piece> mInputs;
  std::vector<size_t> mOrder;  // part p compresses piece mOrder[p]: the largest first
  std::vector<std::vector<uint8_t>> mOutputs;
  std::vector<uint8_t> mFailed;
  bool (*mCompress)(const uint8_t* data, size_t size, std::vector<uint8_t>& out) = nullptr;
  size_t mHeaderBytes = 0;  // room left in front of each output for its header
  std::atomic<int> mSlots{0};
};

void CompressPart(void* context, int64_t part, int slot) {
  auto& run = *static_cast<CompressionRun*>(context);
  size_t index = run.mOrder[static_cast<size_t>(part)];
  const CompressionRun::Piece& input = run.mInputs[index];
  std::vector<uint8_t>& output = run.mOutputs[index];
  run.mSlots.fetch_or(1 << slot, std::memory_order_relaxed);
  // An exception may not leave a worker: memory running out fails the piece.
  try {
    output.assign(run.mHeaderBytes, 0);
    run.mFailed[index] = !run.mCompress(input.mData, input.mSize, output);
  } catch (const std::bad_alloc&) {
    run.mFailed[index] = 1;
  }
  if (run.mFailed[index] != 0) std::vector<uint8_t>().swap(output);
}

// Compresses every input, in parallel; false when any failed.
bool CompressPieces(CompressionRun& run) {
  // Largest first, so that no large piece is left to start last.
  run.mOrder.resize(run.mInputs.size());
  std::iota(run.mOrder.begin(), run.mOrder.end(), size_t{0});
  std::stable_sort(run.mOrder.begin(), run.mOrder.end(),
                   [&run](size_t a, size_t b) { return run.mInputs[a].mSize > run.mInputs[b].mSize; });
  run.mOutputs.resize(run.mInputs.size());
  run.mFailed.assign(run.mInputs.size(), 0);
  RunWorkerParts(static_cast<int64_t>(run.mInputs.size()), CompressPart, &run);
  g_LastCompressionSlots = run.mSlots.load();
  return std::find(run.mFailed.begin(), run.mFailed.end(), 1) == run.mFailed.end();
}

}  // namespace

size_t PendingSaveLength(uint32_t dno) {
  if (dno < 1 || dno > kMaxSaveDno) return 0;
  const std::vector<uint8_t>& awaiting = g_AwaitingImages[dno - 1];
  return awaiting.empty() ? g_PendingSaveRecords[dno - 1].size() : kRecordHeaderBytes + awaiting.size();
}

void FreePendingSaveRecords(int index) {
  if (index >= 0 && index < static_cast<int>(kMaxSaveDno)) {
    std::vector<uint8_t>().swap(g_PendingSaveRecords[index]);
    FreeAwaitingImage(static_cast<uint32_t>(index));
    return;
  }
  if (index != -1) return;
  for (std::vector<uint8_t>& record : g_PendingSaveRecords) std::vector<uint8_t>().swap(record);
  for (uint32_t i = 0; i < kMaxSaveDno; ++i) FreeAwaitingImage(i);
  std::vector<uint8_t>().swap(g_SaveScratch);
}

void ClearMemorySaveSlots() {
  for (MemorySlot& slot : g_MemorySlots) slot = MemorySlot();
}

size_t WriteSaveRecord(uint32_t dno, uint32_t n, int64_t element, bool whole) {
  std::vector<uint8_t>& pending = g_PendingSaveRecords[dno - 1];
  size_t start = pending.size();
  AppendRecordHeader(pending, kSaveKindVariable, static_cast<uint16_t>(n));
  g_SaveScratch.clear();
  size_t payload = SerializeVariable(g_SaveScratch, n, whole, element);
  if (!CompressVariablePayload(g_SaveScratch.data(), payload, pending)) {
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

bool PrepareImageRecord(uint32_t dno, const LayerRecord* layer) {
  FreePendingSaveRecords(static_cast<int>(dno) - 1);
  std::vector<uint8_t> payload;
  SerializeLayerImage(payload, layer);
  if (payload.size() > UINT32_MAX) return false;
  // Many large images are compressed in batches rather than all held raw.
  if (g_AwaitingImageBytes + payload.size() > kAwaitingImageBudget && !CompressPendingImages()) return false;
  g_AwaitingImageBytes += payload.size();
  g_AwaitingImages[dno - 1] = std::move(payload);
  return true;
}

bool CompressPendingImages() {
  if (g_AwaitingImageBytes == 0) return true;
  CompressionRun run;
  std::vector<uint32_t> dnos;
  try {
    for (uint32_t dno = 1; dno <= kMaxSaveDno; ++dno) {
      if (g_AwaitingImages[dno - 1].empty()) continue;
      dnos.push_back(dno);
      run.mInputs.push_back({g_AwaitingImages[dno - 1].data(), g_AwaitingImages[dno - 1].size()});
    }
    run.mCompress = CompressImagePayload;
    run.mHeaderBytes = kRecordHeaderBytes;
    CompressPieces(run);
  } catch (const std::bad_alloc&) {
    return false;
  }
  bool all = true;
  for (size_t i = 0; i < dnos.size(); ++i) {
    std::vector<uint8_t>& record = run.mOutputs[i];
    size_t stored = record.size() - kRecordHeaderBytes;
    // A record that failed stays awaiting: a later save tries it again.
    if (run.mFailed[i] != 0 || stored > UINT32_MAX) {
      all = false;
      continue;
    }
    uint32_t index = dnos[i] - 1;
    record[0] = kSaveKindImage;
    record[1] = 1;
    PatchU32(record, 4, static_cast<uint32_t>(stored));
    PatchU32(record, 8, static_cast<uint32_t>(g_AwaitingImages[index].size()));
    g_PendingSaveRecords[index] = std::move(record);
    FreeAwaitingImage(index);
  }
  return all;
}

int LastCompressionSlots() { return g_LastCompressionSlots; }

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
    if (WriteSaveRecord(dno, n, 0, true) == 0) {
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
  FreePendingSaveRecords(static_cast<int>(kPackageDno) - 1);
  // Every slot image is compressed on its own, in parallel, then the
  // entries are put together in slot order.
  CompressionRun run;
  std::vector<int64_t> pieceOfSlot(kMemorySlotCount, -1);
  for (uint32_t slot = 0; slot < kMemorySlotCount; ++slot) {
    const MemorySlot& source = g_MemorySlots[slot];
    size_t length = std::min(source.mWriteLength, source.mBuffer.size());
    if (length == 0) continue;
    pieceOfSlot[slot] = static_cast<int64_t>(run.mInputs.size());
    run.mInputs.push_back({source.mBuffer.data(), length});
  }
  run.mCompress = CompressSlotImage;
  bool packed = false;
  uint64_t unpacked = 0;
  try {
    packed = CompressPieces(run);
    if (packed) {
      AppendRecordHeader(pending, kSaveKindVariable, 0);
      for (uint32_t slot = 0; slot < kMemorySlotCount; ++slot) {
        int64_t piece = pieceOfSlot[slot];
        size_t length = piece < 0 ? 0 : run.mInputs[static_cast<size_t>(piece)].mSize;
        const std::vector<uint8_t>* stored = piece < 0 ? nullptr : &run.mOutputs[static_cast<size_t>(piece)];
        AppendU32(pending, static_cast<uint32_t>(length));
        AppendU32(pending, stored != nullptr ? static_cast<uint32_t>(stored->size()) : 0);
        if (stored != nullptr) AppendBytes(pending, stored->data(), stored->size());
        unpacked += length + 8;
      }
      packed = pending.size() - kRecordHeaderBytes <= UINT32_MAX && unpacked <= UINT32_MAX;
    }
  } catch (const std::bad_alloc&) {
    packed = false;
  }
  if (!packed) {
    // An incomplete package must never reach a file or a slot.
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
