// A stand-in for the outside script compiler: it follows the engine's
// hand-shake and delivers what a scenario file beside the program says.
//
// Scenario "fake_compiler.txt", one instruction a line:
//   suffix TEXT        suffix of the shared memory names (as the test set it)
//   record PATH        write the argument, the engine version and the folder
//                      the engine passed to PATH, one a line
//   exit-early         end before the output is ready
//   result N           compile result (default 1)
//   folder TEXT        the game folder answered (default: the one passed)
//   folder-unterminated  fill the answer to the end of the block
//   file NAME TEXT     a delivered file (TEXT is the rest of the line)
//   block-hex HEX      the data block as given, in place of the files
//   count N / size N   the file count and block size announced
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "datasrc/compiler_link.h"
#include "platform/clock.h"
#include "platform/shared_memory.h"

namespace {

struct Scenario {
  std::string mRecordPath;
  bool mExitEarly = false;
  uint32_t mResult = 1;
  std::optional<std::string> mFolder;
  bool mFolderUnterminated = false;
  std::vector<std::pair<std::string, std::string>> mFiles;
  std::optional<std::vector<uint8_t>> mBlock;
  std::optional<uint32_t> mCount;
  std::optional<uint32_t> mSize;
};

std::vector<uint8_t> ParseHex(const std::string& text) {
  std::vector<uint8_t> bytes;
  for (size_t index = 0; index + 1 < text.size(); index += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(text.substr(index, 2), nullptr, 16)));
  }
  return bytes;
}

Scenario ReadScenario(const std::string& path) {
  Scenario scenario;
  std::ifstream input(path);
  std::string line;
  while (std::getline(input, line)) {
    std::string word = line.substr(0, line.find(' '));
    std::string rest = line.size() > word.size() ? line.substr(word.size() + 1) : std::string();
    if (word == "suffix") SetSharedMemoryNameSuffix(rest);
    if (word == "record") scenario.mRecordPath = rest;
    if (word == "exit-early") scenario.mExitEarly = true;
    if (word == "result") scenario.mResult = static_cast<uint32_t>(std::stoul(rest));
    if (word == "folder") scenario.mFolder = rest;
    if (word == "folder-unterminated") scenario.mFolderUnterminated = true;
    if (word == "file") {
      std::string name = rest.substr(0, rest.find(' '));
      std::string text = rest.size() > name.size() ? rest.substr(name.size() + 1) : std::string();
      scenario.mFiles.emplace_back(name, text);
    }
    if (word == "block-hex") scenario.mBlock = ParseHex(rest);
    if (word == "count") scenario.mCount = static_cast<uint32_t>(std::stoul(rest));
    if (word == "size") scenario.mSize = static_cast<uint32_t>(std::stoul(rest));
  }
  return scenario;
}

std::vector<uint8_t> BuildDataBlock(const Scenario& scenario) {
  if (scenario.mBlock) return *scenario.mBlock;
  std::vector<uint8_t> block;
  for (const auto& [name, text] : scenario.mFiles) {
    size_t at = block.size();
    block.resize(at + 4 + name.size() + 1 + 4 + text.size());
    StoreLe32(&block[at], static_cast<uint32_t>(name.size() + 1));
    std::memcpy(&block[at + 4], name.c_str(), name.size() + 1);
    StoreLe32(&block[at + 4 + name.size() + 1], static_cast<uint32_t>(text.size()));
    std::memcpy(&block[at + 8 + name.size() + 1], text.data(), text.size());
  }
  return block;
}

}  // namespace

int main(int argc, char** argv) {
  std::string program = argv[0];
  size_t slash = program.rfind('/');
  std::string folder = slash == std::string::npos ? std::string(".") : program.substr(0, slash);
  Scenario scenario = ReadScenario(folder + "/fake_compiler.txt");

  SharedMemoryBlock handshake;
  if (!OpenSharedMemory(kLinkBlockName, kLinkBlockBytes, &handshake)) return 2;
  auto* folderText = reinterpret_cast<char*>(handshake.mBytes + kLinkFolderOffset);
  size_t folderRoom = kLinkBlockBytes - kLinkFolderOffset;
  if (!scenario.mRecordPath.empty()) {
    std::ofstream record(scenario.mRecordPath);
    record << (argc > 1 ? argv[1] : "") << '\n'
           << LoadSharedWord(handshake, kLinkVersionOffset) << '\n'
           << std::string(folderText, strnlen(folderText, folderRoom)) << '\n';
  }
  if (scenario.mExitEarly) return 3;

  std::vector<uint8_t> block = BuildDataBlock(scenario);
  uint32_t count = scenario.mCount.value_or(static_cast<uint32_t>(scenario.mFiles.size()));
  uint32_t size = scenario.mSize.value_or(static_cast<uint32_t>(block.size()));
  StoreSharedWord(&handshake, kLinkResultOffset, scenario.mResult);
  StoreSharedWord(&handshake, kLinkFileCountOffset, count);
  StoreSharedWord(&handshake, kLinkDataSizeOffset, size);
  if (scenario.mFolderUnterminated) {
    std::memset(folderText, 'a', folderRoom);
  } else if (scenario.mFolder) {
    std::memset(folderText, 0, folderRoom);
    std::memcpy(folderText, scenario.mFolder->c_str(), std::min(scenario.mFolder->size(), folderRoom - 1));
  }
  StoreSharedWord(&handshake, kLinkReadyOffset, 1);

  // The engine zeroes the data block and says so.
  for (int wait = 0; LoadSharedWord(handshake, kLinkDataReadyOffset) != 1; ++wait) {
    if (wait > 1000) return 4;
    SleepMs(10);
  }
  SharedMemoryBlock data;
  uint32_t room = size == 0 ? 16 : size;
  if (!OpenSharedMemory(kLinkDataBlockName, room, &data)) return 5;
  std::memcpy(data.mBytes, block.data(), std::min<size_t>(block.size(), room));
  CloseSharedMemory(&data);
  CloseSharedMemory(&handshake);
  return 0;
}
