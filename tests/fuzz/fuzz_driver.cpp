// A driver for the fuzz targets where libFuzzer is not available: replays the
// files and folders given, then (with -mutate=N) runs N random mutations of
// them. Usage: <target> [-mutate=N] [-seed=S] FILE_OR_FOLDER...
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

void Mutate(std::vector<uint8_t>& input, std::mt19937& random) {
  int edits = 1 + static_cast<int>(random() % 8);
  for (int edit = 0; edit < edits; ++edit) {
    size_t size = input.size();
    switch (random() % 6) {
      case 0:
        if (size > 0) input[random() % size] ^= static_cast<uint8_t>(1u << (random() % 8));
        break;
      case 1:
        if (size > 0) input[random() % size] = static_cast<uint8_t>(random());
        break;
      case 2:
        input.insert(input.begin() + static_cast<std::ptrdiff_t>(size > 0 ? random() % size : 0),
                     static_cast<uint8_t>(random()));
        break;
      case 3:
        if (size > 0) input.resize(random() % size);
        break;
      case 4:
        if (size >= 4) {
          // An interesting 32-bit value at a random place.
          static const uint32_t kValues[] = {0, 1, 0x7F, 0x80, 0xFF, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000u,
                                             0xFFFFFFFFu, 121, 256, 4096, 63, 64};
          uint32_t value = kValues[random() % (sizeof(kValues) / sizeof(kValues[0]))];
          size_t at = random() % (size - 3);
          std::memcpy(input.data() + at, &value, 4);
        }
        break;
      default:
        if (size > 0) input.erase(input.begin() + static_cast<std::ptrdiff_t>(random() % size));
        break;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  long mutations = 0;
  unsigned seed = 1;
  std::vector<std::vector<uint8_t>> corpus;
  for (int index = 1; index < argc; ++index) {
    std::string argument = argv[index];
    if (argument.rfind("-mutate=", 0) == 0) {
      mutations = std::stol(argument.substr(8));
    } else if (argument.rfind("-seed=", 0) == 0) {
      seed = static_cast<unsigned>(std::stoul(argument.substr(6)));
    } else if (std::filesystem::is_directory(argument)) {
      for (const auto& entry : std::filesystem::directory_iterator(argument)) {
        if (entry.is_regular_file()) corpus.push_back(ReadFile(entry.path()));
      }
    } else {
      corpus.push_back(ReadFile(argument));
    }
  }
  for (const std::vector<uint8_t>& input : corpus) LLVMFuzzerTestOneInput(input.data(), input.size());
  std::mt19937 random(seed);
  if (corpus.empty()) corpus.emplace_back();
  for (long run = 0; run < mutations; ++run) {
    std::vector<uint8_t> input = corpus[random() % corpus.size()];
    Mutate(input, random);
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  std::printf("%zu inputs replayed, %ld mutations run\n", corpus.size(), mutations);
  return 0;
}
