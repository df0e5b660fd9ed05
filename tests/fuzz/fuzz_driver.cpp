// A standalone driver for the fuzz targets (the engine builds with GCC, so
// libFuzzer is not available): it replays files and folders of inputs, or
// mutates a corpus at random for a number of seconds and keeps every input
// that crashes as the last file it wrote before the crash ("last-input").
//   driver FILE_OR_FOLDER...            replay
//   driver -mutate SECONDS FOLDER...    random mutations of the inputs found
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

namespace {

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
  if (argc >= 4 && std::strcmp(argv[1], "-mutate") == 0) {
    double seconds = std::atof(argv[2]);
    std::vector<std::filesystem::path> files;
    for (int i = 3; i < argc; ++i) Collect(argv[i], &files);
    std::vector<std::vector<uint8_t>> corpus;
    for (const auto& file : files) corpus.push_back(ReadAll(file));
    if (corpus.empty()) return 1;
    std::filesystem::path last = std::filesystem::absolute("last-input");
    std::mt19937 random(static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    uint64_t runs = 0;
    while (std::chrono::steady_clock::now() < end) {
      std::vector<uint8_t> input = corpus[random() % corpus.size()];
      Mutate(input, random);
      {
        std::ofstream out(last, std::ios::binary);
        out.write(reinterpret_cast<const char*>(input.data()), static_cast<std::streamsize>(input.size()));
      }
      LLVMFuzzerTestOneInput(input.data(), input.size());
      ++runs;
    }
    std::printf("%llu inputs ran clean\n", static_cast<unsigned long long>(runs));
    return 0;
  }
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) Collect(argv[i], &files);
  for (const auto& file : files) {
    std::vector<uint8_t> data = ReadAll(file);
    LLVMFuzzerTestOneInput(data.data(), data.size());
  }
  std::printf("%zu inputs ran clean\n", files.size());
  return 0;
}
