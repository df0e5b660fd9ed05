#include "support/sound_fixtures.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <vorbis/vorbisenc.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "core/object_tree.h"
#include "core/process_state.h"
#include "platform/audio_device.h"
#include "platform/audio_mixer.h"
#include "script/task_step.h"
#include "sound/sound_device.h"
#include "sound/sound_record.h"
#include "sound/sound_ring.h"
#include "sound/sound_thread.h"

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
void Put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

struct Memory {
  const std::vector<uint8_t>* mData;
  size_t mPosition;
};

size_t ReadMemory(void* destination, size_t size, size_t count, void* source) {
  auto* memory = static_cast<Memory*>(source);
  size_t n = std::min(size * count, memory->mData->size() - memory->mPosition);
  std::memcpy(destination, memory->mData->data() + memory->mPosition, n);
  memory->mPosition += n;
  return n;
}
int SeekMemory(void* source, ogg_int64_t offset, int whence) {
  auto* memory = static_cast<Memory*>(source);
  int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(memory->mPosition)
                                                              : static_cast<int64_t>(memory->mData->size());
  int64_t position = base + offset;
  if (position < 0 || position > static_cast<int64_t>(memory->mData->size())) return -1;
  memory->mPosition = static_cast<size_t>(position);
  return 0;
}
long TellMemory(void* source) { return static_cast<long>(static_cast<Memory*>(source)->mPosition); }

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

std::vector<uint8_t> MakePcmWav(uint16_t channels, uint32_t rate, uint16_t bits, const std::vector<uint8_t>& samples) {
  std::vector<uint8_t> out;
  uint16_t block = static_cast<uint16_t>(channels * bits / 8);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  Put32(out, static_cast<uint32_t>(36 + samples.size()));
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(out, 16);
  Put16(out, 1);
  Put16(out, channels);
  Put32(out, rate);
  Put32(out, rate * block);
  Put16(out, block);
  Put16(out, bits);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  Put32(out, static_cast<uint32_t>(samples.size()));
  out.insert(out.end(), samples.begin(), samples.end());
  return out;
}

std::vector<uint8_t> Pcm16Bytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out;
  for (int16_t s : samples) Put16(out, static_cast<uint16_t>(s));
  return out;
}

std::vector<int16_t> SineTone(uint16_t channels, uint32_t rate, uint32_t frames, double hertz) {
  std::vector<int16_t> out;
  for (uint32_t i = 0; i < frames; ++i) {
    for (uint16_t c = 0; c < channels; ++c) {
      out.push_back(static_cast<int16_t>(12000 * std::sin(2 * M_PI * hertz * (c + 1) * i / rate)));
    }
  }
  return out;
}

std::vector<uint8_t> EncodeVorbis(const std::vector<int16_t>& samples, uint16_t channels, uint32_t rate, int serial) {
  std::vector<uint8_t> out;
  vorbis_info info;
  vorbis_info_init(&info);
  EXPECT_EQ(vorbis_encode_init_vbr(&info, channels, rate, 0.3f), 0);
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, serial);
  ogg_packet header, commentHeader, codeHeader;
  vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &commentHeader);
  ogg_stream_packetin(&stream, &codeHeader);
  ogg_page page;
  auto append = [&](const ogg_page& p) {
    out.insert(out.end(), p.header, p.header + p.header_len);
    out.insert(out.end(), p.body, p.body + p.body_len);
  };
  while (ogg_stream_flush(&stream, &page) != 0) append(page);
  auto drain = [&] {
    ogg_packet packet;
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page) != 0) append(page);
      }
    }
  };
  size_t frames = samples.size() / channels;
  for (size_t at = 0; at < frames; at += 1024) {
    size_t n = std::min<size_t>(1024, frames - at);
    float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
    for (size_t i = 0; i < n; ++i) {
      for (uint16_t c = 0; c < channels; ++c) buffer[c][i] = samples[(at + i) * channels + c] / 32768.0f;
    }
    vorbis_analysis_wrote(&dsp, static_cast<int>(n));
    drain();
  }
  vorbis_analysis_wrote(&dsp, 0);
  drain();
  while (ogg_stream_flush(&stream, &page) != 0) append(page);
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

std::vector<int16_t> DecodeVorbis(const std::vector<uint8_t>& image) {
  std::vector<int16_t> out;
  Memory memory{&image, 0};
  OggVorbis_File file;
  ov_callbacks callbacks{ReadMemory, SeekMemory, nullptr, TellMemory};
  if (ov_open_callbacks(&memory, &file, nullptr, 0, callbacks) < 0) return out;
  char buffer[4096];
  int stream = 0;
  for (;;) {
    long n = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &stream);
    if (n <= 0) break;
    for (long i = 0; i + 1 < n; i += 2) {
      out.push_back(static_cast<int16_t>(static_cast<uint8_t>(buffer[i]) | (static_cast<uint8_t>(buffer[i + 1]) << 8)));
    }
  }
  ov_clear(&file);
  return out;
}

std::vector<uint8_t> MakeSndfileWav(const std::vector<int16_t>& samples, uint16_t channels, uint32_t rate, int subformat,
                                    int container) {
  char path[] = "/tmp/orvane_sound_XXXXXX";
  int descriptor = mkstemp(path);
  EXPECT_GE(descriptor, 0);
  SF_INFO info{};
  info.channels = channels;
  info.samplerate = static_cast<int>(rate);
  info.format = (container != 0 ? container : SF_FORMAT_WAV) | subformat;
  SNDFILE* file = sf_open_fd(descriptor, SFM_WRITE, &info, 1);
  EXPECT_NE(file, nullptr);
  sf_writef_short(file, samples.data(), static_cast<sf_count_t>(samples.size() / channels));
  sf_close(file);
  std::vector<uint8_t> bytes = ReadWholeFile(path);
  std::remove(path);
  return bytes;
}

std::vector<int16_t> DecodeSndfile(const std::vector<uint8_t>& image) {
  char path[] = "/tmp/orvane_sound_XXXXXX";
  int descriptor = mkstemp(path);
  EXPECT_GE(descriptor, 0);
  EXPECT_EQ(write(descriptor, image.data(), image.size()), static_cast<ssize_t>(image.size()));
  lseek(descriptor, 0, SEEK_SET);
  SF_INFO info{};
  SNDFILE* file = sf_open_fd(descriptor, SFM_READ, &info, 1);
  std::vector<int16_t> out;
  if (file != nullptr) {
    out.resize(static_cast<size_t>(info.frames * info.channels));
    sf_readf_short(file, out.data(), info.frames);
    sf_close(file);
  }
  std::remove(path);
  return out;
}

SoundTestEnvironment::SoundTestEnvironment() {
  EXPECT_EQ(CreateObjectTrees(), 0);
  SetAudioOutputMode(AudioOutputMode::Manual);
  g_SoundSetting = 1;
  EXPECT_EQ(InitDirectSound(), 1);
  EXPECT_TRUE(InitSoundRequestRing());
}

SoundTestEnvironment::~SoundTestEnvironment() = default;

ObjectTreeNode* SoundTestEnvironment::Add(const char* path, bool group) {
  std::string full = std::string("S0/") + path;
  ObjectTreeNode* node = CreateTreeNode(g_SoundRoot, full.c_str(), 1, group ? 1 : 0);
  EXPECT_NE(node, nullptr);
  if (node != nullptr) {
    EXPECT_NE(CreateSoundRecord(node), nullptr);
  }
  return node;
}

void SoundTestEnvironment::WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const {
  std::ofstream out(mScript.Folder() + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void SoundTestEnvironment::Load(ObjectTreeNode* node, const char* name, uint8_t sourceKind) const {
  static_cast<SoundRecord*>(node->mPayload)->mSourceKind = sourceKind;
  PostSoundRequest(node, SOUND_REQ_LOAD, 0, name);
}

int32_t SoundTestEnvironment::Poll() const {
  int32_t result = RunSoundPoll();
  EXPECT_EQ(result, 0);
  return result;
}

void SoundTestEnvironment::RenderAndPoll(uint32_t frames, std::vector<float>* left, std::vector<float>* right) const {
  std::vector<float> out(480 * 2);
  for (uint32_t done = 0; done < frames; done += 480) {
    uint32_t n = std::min<uint32_t>(480, frames - done);
    RenderAudioMix(out.data(), n);
    for (uint32_t i = 0; i < n; ++i) {
      left->push_back(out[2 * i]);
      if (right != nullptr) right->push_back(out[2 * i + 1]);
    }
    RunSoundPoll();
  }
}
