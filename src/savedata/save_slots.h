#pragma once
// Memory save slots and pending save records.
//
// A record is prepared (compressed) under its DNO as a pending record; a save
// into a file or a memory slot writes every pending record at once. The 500
// memory slots each hold the image of a save file; record 1024 is the
// package of all slots, so that they can be saved to disk.
#include <cstddef>
#include <cstdint>
#include <vector>

struct LayerRecord;

// Pending records by DNO - 1; each holds one record proper (12-byte header
// and stored bytes), empty when there is none or while an image record
// waits for its compression (see PrepareImageRecord).
extern std::vector<uint8_t> g_PendingSaveRecords[1024];

struct MemorySlot {
  std::vector<uint8_t> mBuffer;  // its size is the capacity
  size_t mWriteLength = 0;       // bytes of the image held
  size_t mReadCursor = 0;
};
extern MemorySlot g_MemorySlots[500];

// Bytes held by the pending record of a DNO (1-1024), or that a waiting
// image holds before compression (+ 12); 0 for none.
size_t PendingSaveLength(uint32_t dno);
// Frees one pending record (by index DNO - 1) or, for -1, all of them.
void FreePendingSaveRecords(int index = -1);
// Empties every slot and frees its buffer (start-up and reset).
void ClearMemorySaveSlots();

// Appends to the pending record of dno a kind-0 record of variable n (whole
// or one element). Returns the bytes appended (stored size + 12), or 0 when
// compression failed (the pending record then keeps its old bytes).
size_t WriteSaveRecord(uint32_t dno, uint32_t n, int64_t element, bool whole);
// Makes the pending record of dno a kind-1 record of the layer's image as it
// is now. Its compression waits for CompressPendingImages, so that the
// images of one save are compressed together, in parallel; only when the
// waiting images grow past a budget are they compressed at once. False
// when that compression failed (the record is then not prepared).
bool PrepareImageRecord(uint32_t dno, const LayerRecord* layer);
// Compresses every waiting image record, each on its own on the pixel
// workers, into its pending record: the same bytes as one after another.
// False when any failed (it keeps waiting); a save then fails.
bool CompressPendingImages();
// The threads that compressed in the last run, one bit per part slot of the
// pixel workers (the poster's is bit kMaxPixelWorkers).
int LastCompressionSlots();
// Replaces the pending record of dno with a group record of every variable
// of group and type, in ascending number. False when compression failed.
bool WriteGroupSaveRecord(uint32_t dno, uint8_t group, uint8_t type);

// Appends to a save image (its header already in place) every pending record
// of DNO 1..lastDno in ascending DNO, each as its DNO word and the record,
// with its table entry. Returns the number of records; false when the image
// would outgrow its 32-bit offsets.
bool AppendPendingRecords(std::vector<uint8_t>& image, uint32_t lastDno, uint32_t* count);
// A new save image: magic, version, count and table, records of DNO
// 1..lastDno. False when it would outgrow its 32-bit offsets.
bool BuildSaveImage(uint32_t lastDno, std::vector<uint8_t>* image);
// Writes the pending records of DNO 1-1023 into slot s (0-499) as a save
// image. The package record is never stored in a slot. False when the image
// would not fit its offsets (the slot then is unchanged).
bool WriteMemorySlot(uint32_t slot);
// The valid bytes of a slot's image (bounded by its write length).
const uint8_t* MemorySlotImage(uint32_t slot, size_t* size);

// Builds the package of all 500 slots as the pending record of DNO 1024,
// the slot images compressed in parallel on the pixel workers. 0, or -1
// after the "圧縮エラー." box (the package is then dropped).
int PackMemorySlots();
// The box text of a package that cannot be unpacked.
const char* PackageLoadFailureText();
// Unpacks a package record (its record proper) into the slots: every slot is
// decoded first and the slots change only when all 500 are good. 0, or -1
// after the decompression box.
int LoadMemorySlotPackage(const uint8_t* record, size_t size);
