#include "single_file/single_file.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "core/byte_order.h"
#include "shell/appended_data.h"

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::vector<uint8_t> BuildAppendedData(uint64_t programSize, const std::vector<uint8_t>& pack,
                                       const std::vector<uint8_t>& preview) {
  std::vector<uint8_t> data(kAppendedBlockHeaderBytes);
  std::copy(std::begin(kAppendedBlockMagic), std::end(kAppendedBlockMagic), data.begin());
  StoreLe32(data.data() + 4, static_cast<uint32_t>(kAppendedBlockHeaderBytes + preview.size()));
  StoreLe32(data.data() + 8, static_cast<uint32_t>(preview.size()));
  data.insert(data.end(), preview.begin(), preview.end());
  data.insert(data.end(), pack.begin(), pack.end());
  uint8_t trailer[kAppendedTrailerBytes];
  std::copy(std::begin(kAppendedTrailerMagic), std::end(kAppendedTrailerMagic), trailer);
  StoreLe64(trailer + 8, programSize);
  data.insert(data.end(), std::begin(trailer), std::end(trailer));
  return data;
}

std::string MakeSingleFileGame(const SingleFileParts& parts, const std::string& output) {
  std::vector<uint8_t> engine;
  std::vector<uint8_t> pack;
  if (!ReadFileBytes(parts.mEngine, &engine) || engine.empty()) return "cannot read the engine " + parts.mEngine;
  if (!ReadFileBytes(parts.mPack, &pack) || pack.empty()) return "cannot read the pack " + parts.mPack;
  if (parts.mPreview.size() + pack.size() > 0xFFFFFFF0u) return "the preview and the pack are too large";
  std::vector<uint8_t> appended = BuildAppendedData(engine.size(), pack, parts.mPreview);
  {
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    if (!out) return "cannot write " + output;
    out.write(reinterpret_cast<const char*>(engine.data()), static_cast<std::streamsize>(engine.size()));
    out.write(reinterpret_cast<const char*>(appended.data()), static_cast<std::streamsize>(appended.size()));
    if (!out) return "cannot write " + output;
  }
  if (chmod(output.c_str(), 0755) != 0) return "cannot make " + output + " executable";
  return {};
}
