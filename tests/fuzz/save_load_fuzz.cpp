// Fuzzes the save loader: the input is a save image, read as a memory slot
// holds it. Every record its table names is located, unpacked and decoded as
// the load command does (variables, layer images, groups, and the package of
// all memory slots, which is unpacked into the slots). Whatever the input,
// nothing may be read or allocated past what it declares within the limits,
// and what decodes must agree with itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/byte_order.h"
#include "core/errors.h"
#include "core/process_state.h"
#include "fuzz/fuzz_harness.h"
#include "savedata/save_format.h"
#include "savedata/save_slots.h"
#include "support/save_file_builder.h"

namespace {

// Unpacked payloads above this are turned away (the engine allows 40 MB
// variables and 256 MiB images): runs go to parsing, not to allocation.
constexpr uint32_t kMaxFuzzPayload = 1 << 20;

void WriteSeeds() {
  SaveFileSpec spec;
  spec.mRecords.push_back(VariableRecordSpec(1, 1000, IntPayload({2, 2}, {1, 2, 3, 4})));
  spec.mRecords.push_back(VariableRecordSpec(2, 1001, StringPayload({2}, {"ab", ""})));
  SaveImageSpec image;
  image.mWidth = 2;
  image.mHeight = 1;
  image.mPixels = {0x11223344u, 0x55667788u};
  spec.mRecords.push_back(ImageRecordSpec(3, image));
  spec.mRecords.push_back(GroupRecordSpec(4, {VariableRecordSpec(0, 1002, RealPayload({}, {1.5}))}));
  SavePackageSpec package;
  package.mSlots[1] = BuildSaveFile(SaveFileSpec()).mBytes;
  spec.mRecords.push_back(PackageRecordSpec(package));
  fuzz::WriteSeed("save_all_kinds.seed", BuildSaveFile(spec).mBytes);
}

void CheckVariable(const std::vector<uint8_t>& payload) {
  DecodedVariable decoded = DecodeVariablePayload(payload.data(), payload.size());
  if (decoded.mStatus != PayloadStatus::kOk) return;
  size_t values = decoded.mInts.size() + decoded.mReals.size() + decoded.mStrings.size();
  if (values != decoded.mCount) std::abort();
}

void CheckRecord(const SaveRecordView& view, uint32_t dno) {
  if (view.mUncompressed > kMaxFuzzPayload && view.mKind != kSaveKindGroup) return;
  if (dno == kPackageDno) {
    if (view.mUncompressed > kMaxFuzzPayload * 4) return;
    LoadMemorySlotPackage(view.mBody - kRecordHeaderBytes, kRecordHeaderBytes + view.mSize);
    for (const MemorySlot& slot : g_MemorySlots) {
      if (slot.mWriteLength > slot.mBuffer.size()) std::abort();
    }
    return;
  }
  std::vector<uint8_t> payload;
  if (view.mKind == kSaveKindGroup) {
    std::vector<GroupMember> members;
    if (DecodeGroupRecord(view, &members)) {
      for (const GroupMember& member : members) CheckVariable(member.mPayload);
    }
    return;
  }
  if (!UncompressRecordPayload(view, &payload)) return;
  if (payload.size() != view.mUncompressed) std::abort();
  if (view.mKind == kSaveKindVariable) {
    CheckVariable(payload);
    return;
  }
  DecodedImage image = DecodeImagePayload(payload.data(), payload.size());
  if (image.mStatus == ImageStatus::kOk &&
      image.mPixelBytes != static_cast<size_t>(image.mWidth) * 4 * static_cast<size_t>(image.mHeight)) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    ready = true;
    fuzz::SetUpOnce();
    WriteSeeds();
  }
  for (uint32_t dno = 1; dno <= kMaxSaveDno; ++dno) {
    SaveRecordView view;
    if (LocateSaveRecord(data, size, dno, &view) != LocateStatus::kFound) continue;
    if (view.mBody < data || view.mBody + view.mSize > data + size) std::abort();
    CheckRecord(view, dno);
  }
  ClearMemorySaveSlots();
  ResetErrorReporting();
  g_QuitFlag.store(0);
  return 0;
}
