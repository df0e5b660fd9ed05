// The sound side's cost: 32 Ogg Vorbis voices streamed and mixed at 48 kHz,
// in percent of one core per second of audio, beside the yardstick of a
// plain vorbisfile decode of the same 32 seconds (the ratio shows what the
// refill scheme and the mixer add); and one poll of the sound thread with 32
// playing voices, against a frame's budget of 16.7 ms.
#include <benchmark/benchmark.h>
#include <time.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/object_tree.h"
#include "platform/audio_mixer.h"
#include "sound/sound_record.h"
#include "sound/sound_ring.h"
#include "sound/sound_thread.h"
#include "support/sound_fixtures.h"

namespace {

constexpr int kVoices = 32;

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec / 1e9;
}

const std::vector<uint8_t>& Music() {
  static const std::vector<uint8_t> image = EncodeVorbis(SineTone(2, kMixRate, kMixRate * 4, 330), 2, kMixRate);
  return image;
}

struct Reader {
  const std::vector<uint8_t>* mImage;
  size_t mAt;
};

size_t ReadImage(void* to, size_t size, size_t count, void* source) {
  auto* reader = static_cast<Reader*>(source);
  size_t n = std::min(size * count, reader->mImage->size() - reader->mAt);
  std::memcpy(to, reader->mImage->data() + reader->mAt, n);
  reader->mAt += n;
  return n;
}

// vorbisfile alone: every voice's file decoded straight through.
double PlainDecodeSeconds(double audioSeconds) {
  const std::vector<uint8_t>& image = Music();
  double start = ThreadSeconds();
  char buffer[4096];
  for (int voice = 0; voice < kVoices; ++voice) {
    Reader reader{&image, 0};
    OggVorbis_File file;
    ov_callbacks callbacks{ReadImage, nullptr, nullptr, nullptr};
    if (ov_open_callbacks(&reader, &file, nullptr, 0, callbacks) < 0) return 0;
    int stream = 0;
    while (ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &stream) > 0) benchmark::DoNotOptimize(buffer);
    ov_clear(&file);
  }
  // The file holds four seconds; scale to the audio rendered.
  return (ThreadSeconds() - start) * audioSeconds / 4.0;
}

bool AllVoicesStream() {
  int streaming = 0;
  for (ObjectTreeNode* node = FirstSoundNode(); node != nullptr; node = node->mNextSibling) {
    for (ObjectTreeNode* voice = node->mFirstChild; voice != nullptr; voice = voice->mNextSibling) {
      const auto* record = static_cast<const SoundRecord*>(voice->mPayload);
      if (record != nullptr && record->mState >= SOUND_STATE_FADING && record->mDecodePosBytes > static_cast<int32_t>(kMixRate) * 4) {
        ++streaming;
      }
    }
  }
  return streaming == kVoices;
}

// Starts kVoices looping voices of the music on the mixer.
struct Voices {
  SoundTestEnvironment mEnv;
  Voices() {
    mEnv.WriteFile("music.ogg", Music());
    for (int voice = 0; voice < kVoices; ++voice) {
      char name[16];
      std::snprintf(name, sizeof name, "v%d", voice);
      ObjectTreeNode* node = mEnv.Add(name);
      mEnv.Load(node, "music.ogg", SOUND_SOURCE_OGG);
      PostSoundRequest(node, SOUND_REQ_PLAY, 0);
    }
    RunSoundPoll();
  }
};

void BM_ThirtyTwoVoices(benchmark::State& state) {
  Voices voices;
  std::vector<float> out(480 * 2);
  constexpr int kChunks = 100;  // one second in 10 ms steps, a poll each
  double ours = 0;
  double plain = 0;
  for (auto _ : state) {
    double start = ThreadSeconds();
    for (int chunk = 0; chunk < kChunks; ++chunk) {
      RenderAudioMix(out.data(), 480);
      RunSoundPoll();
    }
    double seconds = ThreadSeconds() - start;
    ours += seconds;
    state.SetIterationTime(seconds);
    plain += PlainDecodeSeconds(1.0);
  }
  if (!AllVoicesStream()) state.SkipWithError("not every voice streamed");
  double iterations = static_cast<double>(state.iterations());
  state.counters["core_percent"] = 100.0 * ours / iterations;
  state.counters["plain_decode_percent"] = 100.0 * plain / iterations;
  state.counters["ratio_to_plain_decode"] = ours / plain;
}
BENCHMARK(BM_ThirtyTwoVoices)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PollWithoutRefill(benchmark::State& state) {
  Voices voices;
  double total = 0;
  for (auto _ : state) {
    double start = ThreadSeconds();
    RunSoundPoll();
    double seconds = ThreadSeconds() - start;
    total += seconds;
    state.SetIterationTime(seconds);
  }
  double perPoll = total / static_cast<double>(state.iterations());
  state.counters["poll_us"] = perPoll * 1e6;
  state.counters["ratio_to_frame_budget"] = perPoll / (1.0 / 60.0);
}
BENCHMARK(BM_PollWithoutRefill)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);

}  // namespace
