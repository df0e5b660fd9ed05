#pragma once
// Test surroundings for the image side: recorded reports and boxes, and
// fresh layer records.
#include <cstdint>
#include <string>
#include <vector>

#include "layer/layer_record.h"
#include "support/dialog_recorder.h"
#include "support/temp_folder.h"

// While alive: the engine starts from its start state (ResetEngineState),
// every message id the image side raises has a tagged text ("E<id>" and its
// arguments), and dialogs and boxes are recorded instead of shown. The
// destructor brings the engine back to its start state. Clear forgets the
// reports so far (the error state, the quit flag and the recorded boxes).
class ImageReportRecorder {
 public:
  ImageReportRecorder();
  ~ImageReportRecorder();
  ImageReportRecorder(const ImageReportRecorder&) = delete;
  ImageReportRecorder& operator=(const ImageReportRecorder&) = delete;

  // The text of the first report (the one the dialog shows) and of the last.
  std::string FirstReport() const;
  std::string LastReport() const;
  // The message id at the start of a report text ("E100080 ..." -> 100080),
  // 0 when there was none.
  int FirstId() const;
  int LastId() const;
  bool Quit() const;
  const std::vector<RecordedBox>& Boxes() const { return mDialogs.mBoxes; }
  void Clear();

 private:
  DialogRecorder mDialogs;
};

// A layer record that frees its image side when it goes.
struct ScopedLayerRecord {
  LayerRecord mRecord;
  ScopedLayerRecord() = default;
  ~ScopedLayerRecord();
  ScopedLayerRecord(const ScopedLayerRecord&) = delete;
  ScopedLayerRecord& operator=(const ScopedLayerRecord&) = delete;
  LayerRecord* operator->() { return &mRecord; }
  LayerRecord* get() { return &mRecord; }
  // Pixel (x, y) as 0xAARRGGBB.
  uint32_t Pixel(int x, int y) const;
};

// Writes `bytes` into the folder under `name`.
void WriteBytes(const TempFolder& folder, const std::string& name, const std::vector<uint8_t>& bytes);

// Decodes `bytes` as a file of the type code through the loader's dispatch,
// the way a found file would be (source: disk, written to a temporary game
// folder under `name`). Returns the dispatch result.
int DecodeBytesAs(LayerRecord* record, int typeCode, const std::vector<uint8_t>& bytes,
                  const std::string& name = "image.dat");
