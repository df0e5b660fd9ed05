// A standalone driver for the fuzz targets of builds without libFuzzer (GCC):
// it replays files and folders of inputs, or mutates a corpus at random for a
// number of seconds. The input being run is kept in memory; when the process
// dies on a signal or a sanitizer report it is written to "last-input" in the
// folder the driver started in.
//   driver FILE_OR_FOLDER...            replay
//   driver -mutate SECONDS FOLDER...    random mutations of the inputs found
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Present in sanitizer builds only.
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace {

// The input being run and where it goes when the process dies.
const uint8_t* volatile g_runningData = nullptr;
volatile size_t g_runningSize = 0;
char g_lastInputPath[4096];

// Async-signal-safe: open, write, close.
void WriteRunningInput() {
  if (g_lastInputPath[0] == '\0' || g_runningData == nullptr) return;
  int file = open(g_lastInputPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (file < 0) return;
  const uint8_t* data = g_runningData;
  size_t left = g_runningSize;
  while (left > 0) {
    ssize_t written = write(file, data, left);
    if (written <= 0) break;
    data += written;
    left -= static_cast<size_t>(written);
  }
  close(file);
  g_runningData = nullptr;
}

void OnFatalSignal(int number) {
  WriteRunningInput();
  signal(number, SIG_DFL);
  raise(number);
}

void KeepInputsOfCrashes() {
  std::string path = std::filesystem::absolute("last-input").string();
  if (path.size() < sizeof g_lastInputPath) std::memcpy(g_lastInputPath, path.c_str(), path.size() + 1);
  for (int number : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) signal(number, OnFatalSignal);
  if (__sanitizer_set_death_callback != nullptr) __sanitizer_set_death_callback(WriteRunningInput);
}

int RunInput(const std::vector<uint8_t>& input) {
  g_runningSize = input.size();
  g_runningData = input.data();
  int result = LLVMFuzzerTestOneInput(input.data(), input.size());
  g_runningData = nullptr;
  return result;
}

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Collect(const char* argument, std::vector<std::filesystem::path>* files) {
  std::filesystem::path path = std::filesystem::absolute(argument);
  if (std::filesystem::is_directory(path)) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
      if (entry.is_regular_file()) files->push_back(entry.path());
    }
  } else {
    files->push_back(path);
  }
}

// Changes, inserts, removes or copies a few bytes anywhere in the input
// (never leaving it empty).
void Mutate(std::vector<uint8_t>& data, std::mt19937& random) {
  if (data.empty()) data.resize(1);
  int steps = 1 + static_cast<int>(random() % 8);
  for (int i = 0; i < steps; ++i) {
    size_t size = data.size();
    size_t at = random() % size;
    switch (random() % 8) {
      case 0:
        data[at] ^= static_cast<uint8_t>(1u << (random() % 8));
        break;
      case 1:
        data[at] = static_cast<uint8_t>(random());
        break;
      case 2: {
        static constexpr uint8_t kInteresting[] = {0, 1, 0x7F, 0x80, 0xFF, 0x20, 0x40, '/', '.', ':'};
        data[at] = kInteresting[random() % std::size(kInteresting)];
        break;
      }
      case 3:
        if (size >= 4) {
          // A 32-bit value that counts, sizes and offsets like to trip on.
          static constexpr uint32_t kValues[] = {0, 1, 0x7F, 0x80, 0xFF, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000u,
                                                 0xFFFFFFFFu, 63, 64, 121, 256, 4096};
          uint32_t value = kValues[random() % std::size(kValues)];
          std::memcpy(&data[random() % (size - 3)], &value, 4);
        }
        break;
      case 4:
        if (size >= 4) std::memmove(&data[random() % (size - 2)], &data[random() % (size - 2)], 3);
        break;
      case 5:
        data.insert(data.begin() + static_cast<std::ptrdiff_t>(random() % (size + 1)), static_cast<uint8_t>(random()));
        break;
      case 6:
        data.resize(1 + random() % size);
        break;
      default:
        if (size > 1) data.erase(data.begin() + static_cast<std::ptrdiff_t>(at));
        break;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  KeepInputsOfCrashes();
  if (argc >= 4 && std::strcmp(argv[1], "-mutate") == 0) {
    double seconds = std::atof(argv[2]);
    std::vector<std::filesystem::path> files;
    for (int i = 3; i < argc; ++i) Collect(argv[i], &files);
    std::vector<std::vector<uint8_t>> corpus;
    for (const auto& file : files) corpus.push_back(ReadAll(file));
    if (corpus.empty()) return 1;
    std::mt19937 random(static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    uint64_t runs = 0;
    while (std::chrono::steady_clock::now() < end) {
      std::vector<uint8_t> input = corpus[random() % corpus.size()];
      Mutate(input, random);
      RunInput(input);
      ++runs;
    }
    double elapsed = seconds > 0 ? seconds : 1;
    std::printf("%llu inputs ran clean, %.0f runs/s\n", static_cast<unsigned long long>(runs), runs / elapsed);
    return 0;
  }
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) Collect(argv[i], &files);
  for (const auto& file : files) {
    RunInput(ReadAll(file));
  }
  std::printf("%zu inputs ran clean\n", files.size());
  return 0;
}
