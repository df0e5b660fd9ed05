// Saving and loading a large game state: an integer array of 65,535
// elements, 1,000 strings and 20 full-screen (1920x1080) layers. Each run
// prepares every record (serialising and compressing, the images on the
// pixel workers), writes the save file the way the save command does (a
// temporary file, synced and renamed), or reads every record back into its
// variable or layer. The argument is the number of pixel workers (0: none,
// everything on the calling thread); every save must give the same bytes.
// Beside each figure:
//   ms         milliseconds per save or load
//   MB_per_s   megabytes of the file per second
//   vs_write   the time against a plain write of the same bytes to a file
//              (open, write, sync, close) in the same run
//   cores      processor time of every thread over the time taken: how many
//              cores the work kept busy (on a shared machine the workers
//              get no more than the others leave)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/object_path.h"
#include "core/platform_facts.h"
#include "core/object_tree.h"
#include "image/pixel_buffers.h"
#include "image/pixel_workers.h"
#include "layer/layer_record.h"
#include "savedata/save_file.h"
#include "savedata/save_format.h"
#include "savedata/save_restore.h"
#include "savedata/save_slots.h"
#include "script/variables.h"
#include "support/script_runner.h"

namespace {

constexpr uint16_t kBigArray = kRunFree;          // integer [65535]
constexpr uint16_t kTexts = kRunFree + 1;         // string [1000]
constexpr int kLayers = 20;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr uint32_t kArrayDno = 1;
constexpr uint32_t kTextsDno = 2;
constexpr uint32_t kFirstLayerDno = 10;

VariableDefinition Declare(uint16_t variable, uint8_t type, std::vector<uint32_t> dims) {
  VariableDefinition definition;
  definition.mVariable = variable;
  definition.mType = type;
  definition.mDims = std::move(dims);
  if (type == 3) definition.mStringExpression = Str("").mBytes;
  return definition;
}

std::string LayerPath(int index) { return "W0/bg" + std::to_string(index); }

// The game state, made once: the variables filled and 20 layers of a
// picture that compresses as photographs do, poorly but not at all.
class SaveState {
 public:
  SaveState() {
    mGame.mData.mDefinitions.push_back(Declare(kBigArray, 1, {65535}));
    mGame.mData.mDefinitions.push_back(Declare(kTexts, 3, {1000}));
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    code.Op("wait", {{"frames", Num(1)}});
    mGame.Add(code);
    if (!mGame.Load()) std::abort();
    for (int64_t i = 0; i < 65535; ++i) SetNumberElement(kBigArray, i, i * 2654435761LL);
    for (int64_t i = 0; i < 1000; ++i) {
      SetStringElement(kTexts, i, ("message line " + std::to_string(i * 7919) + " of the story").c_str());
    }
    uint32_t noise = 1;
    for (int index = 0; index < kLayers; ++index) {
      ObjectTreeNode* node = CreateTreeNode(g_LayerRoot, LayerPath(index).c_str(), index + 1, 0);
      LayerRecord* record = GetLayerRecord(node);
      if (record == nullptr || InstallNewPixelBlock(record, kWidth, kHeight, nullptr) != 0) std::abort();
      for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
          noise = noise * 1664525u + 1013904223u;
          uint32_t pixel = 0xFF000000u | static_cast<uint32_t>((x + index) & 0xFF) << 16 |
                           static_cast<uint32_t>(y & 0xFF) << 8 | ((noise >> 24) & 0x0F);
          std::memcpy(record->mPixelAlloc + (static_cast<size_t>(y) * kWidth + x) * 4, &pixel, 4);
        }
      }
    }
    mPath = mGame.mEnv.Folder() + "/state.sd";
  }
  ScriptRunner mGame;
  std::string mPath;
};

SaveState& State() {
  static SaveState state;
  return state;
}

double Seconds(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Prepares every record and writes the file.
void SaveAll(const std::string& path) {
  WriteSaveRecord(kArrayDno, kBigArray, 0, true);
  WriteSaveRecord(kTextsDno, kTexts, 0, true);
  for (int index = 0; index < kLayers; ++index) {
    ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, LayerPath(index).c_str(), kPathLeaf);
    if (!PrepareImageRecord(kFirstLayerDno + index, static_cast<const LayerRecord*>(node->mPayload))) std::abort();
  }
  std::vector<uint8_t> image;
  int error = 0;
  if (!CompressPendingImages() || !BuildSaveImage(kMaxSaveDno, &image) ||
      WriteSaveFileAtomically(path, image, &error) != 0) {
    std::abort();
  }
  FreePendingSaveRecords(-1);
}

// The pool with this many workers (0: none).
void UseWorkers(int64_t workers) {
  StopPixelWorkers();
  if (workers == 0) return;
  g_WorkerCount = static_cast<uint8_t>(workers);
  if (StartPixelWorkers() != 0) std::abort();
}

// The bytes of the first save of the run; every later save must equal them.
std::vector<uint8_t>& FirstSave() {
  static std::vector<uint8_t> bytes;
  return bytes;
}
void CheckSameBytes(const std::vector<uint8_t>& bytes) {
  if (FirstSave().empty()) FirstSave() = bytes;
  if (bytes != FirstSave()) {
    std::fprintf(stderr, "the save's bytes depend on the workers\n");
    std::abort();
  }
}

int LoadOne(const std::string& path, uint32_t dno, ObjectTreeNode* layer, uint32_t variable, const char* layerPath) {
  std::vector<uint8_t> header;
  std::vector<uint8_t> record;
  if (ReadSaveFileRecord(path, dno, &header, &record) != 0 || record.size() < 16) return -1;
  SaveRecordView view;
  if (!ReadRecordView(record.data() + 4, record.size() - 4, &view)) return -1;
  RestoreTarget target;
  target.mVariable = variable;
  target.mLayerPath = layerPath;
  return RestoreSaveRecord(view, layer, target);
}

void LoadAll(const std::string& path) {
  if (LoadOne(path, kArrayDno, nullptr, kBigArray, nullptr) != 0) std::abort();
  if (LoadOne(path, kTextsDno, nullptr, kTexts, nullptr) != 0) std::abort();
  for (int index = 0; index < kLayers; ++index) {
    std::string layerPath = LayerPath(index);
    ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, layerPath.c_str(), kPathLeaf);
    if (LoadOne(path, kFirstLayerDno + index, node, 0, layerPath.c_str()) != 0) std::abort();
  }
}

// Processor seconds of every thread of the process so far.
double ProcessCpuSeconds() {
  struct rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double PlainWrite(const std::string& path, const std::vector<uint8_t>& bytes) {
  return Seconds([&] {
    int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (descriptor < 0 || ::write(descriptor, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
        ::fsync(descriptor) != 0) {
      std::abort();
    }
    ::close(descriptor);
  });
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  int error = 0;
  if (ReadSaveFile(path, &bytes, &error) != 0) std::abort();
  return bytes;
}

void Report(benchmark::State& state, double engineSeconds, double cpuSeconds, double plainSeconds,
            size_t fileBytes) {
  double runs = static_cast<double>(state.iterations());
  state.counters["cores"] = cpuSeconds / engineSeconds;
  state.counters["ms"] = engineSeconds / runs * 1000;
  state.counters["MB_per_s"] = static_cast<double>(fileBytes) * runs / engineSeconds / 1e6;
  state.counters["vs_write"] = engineSeconds / plainSeconds;
}

void BM_SaveState(benchmark::State& state) {
  SaveState& game = State();
  UseWorkers(state.range(0));
  double engineSeconds = 0;
  double cpuSeconds = 0;
  double plainSeconds = 0;
  size_t fileBytes = 0;
  for (auto _ : state) {
    double cpuBefore = ProcessCpuSeconds();
    double seconds = Seconds([&] { SaveAll(game.mPath); });
    cpuSeconds += ProcessCpuSeconds() - cpuBefore;
    state.SetIterationTime(seconds);
    engineSeconds += seconds;
    std::vector<uint8_t> bytes = FileBytes(game.mPath);
    CheckSameBytes(bytes);
    fileBytes = bytes.size();
    plainSeconds += PlainWrite(game.mPath + ".plain", bytes);
  }
  Report(state, engineSeconds, cpuSeconds, plainSeconds, fileBytes);
  UseWorkers(0);
}
BENCHMARK(BM_SaveState)
    ->Arg(0)
    ->Arg(1)
    ->Arg(4)
    ->ArgName("workers")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_LoadState(benchmark::State& state) {
  SaveState& game = State();
  UseWorkers(state.range(0));
  SaveAll(game.mPath);
  std::vector<uint8_t> bytes = FileBytes(game.mPath);
  double engineSeconds = 0;
  double cpuSeconds = 0;
  double plainSeconds = 0;
  for (auto _ : state) {
    double cpuBefore = ProcessCpuSeconds();
    double seconds = Seconds([&] { LoadAll(game.mPath); });
    cpuSeconds += ProcessCpuSeconds() - cpuBefore;
    state.SetIterationTime(seconds);
    engineSeconds += seconds;
    plainSeconds += PlainWrite(game.mPath + ".plain", bytes);
  }
  Report(state, engineSeconds, cpuSeconds, plainSeconds, bytes.size());
  UseWorkers(0);
}
BENCHMARK(BM_LoadState)->Arg(1)->Arg(4)->ArgName("workers")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
