#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstring>
#include <vector>

#include "core/object_tree.h"
#include "core/process_state.h"
#include "platform/audio_mixer.h"
#include "sound/sound_record.h"
#include "sound/sound_ring.h"
#include "sound/sound_stream.h"
#include "sound/sound_thread.h"
#include "support/fake_clock.h"
#include "support/sound_fixtures.h"

namespace {

SoundRecord* Rec(ObjectTreeNode* node) { return static_cast<SoundRecord*>(node->mPayload); }

// A 48 kHz mono ramp that never repeats a value within the sound, so a
// misplaced sample shows.
std::vector<int16_t> Ramp(uint32_t frames) {
  std::vector<int16_t> out;
  for (uint32_t i = 0; i < frames; ++i) out.push_back(static_cast<int16_t>((i % 60000) - 30000));
  return out;
}

struct StreamFixture : testing::Test {
  FakeClock mClock{1000};
  SoundTestEnvironment mEnv;

  ObjectTreeNode* LoadWav(const std::vector<int16_t>& samples, uint16_t channels = 1, uint32_t rate = kMixRate) {
    mEnv.WriteFile("tone.wav", MakePcmWav(channels, rate, 16, Pcm16Bytes(samples)));
    ObjectTreeNode* node = mEnv.Add("tone");
    mEnv.Load(node, "tone.wav", SOUND_SOURCE_WAV);
    mEnv.Poll();
    EXPECT_EQ(Rec(node)->mState, SOUND_STATE_LOADED);
    return node;
  }
  void Play(ObjectTreeNode* node) {
    PostSoundRequest(node, SOUND_REQ_PLAY, 0);
    mEnv.Poll();
  }
};

void ExpectSamples(const std::vector<float>& out, const std::vector<int16_t>& expected, size_t from = 0) {
  ASSERT_GE(out.size(), from + expected.size());
  size_t mismatches = 0;
  for (size_t i = 0; i < expected.size() && mismatches < 5; ++i) {
    if (out[from + i] != expected[i] / 32768.0f) {
      ADD_FAILURE() << "sample " << i << ": " << out[from + i] * 32768 << " != " << expected[i];
      ++mismatches;
    }
  }
}

TEST_F(StreamFixture, VorbisLongerThanTheBufferStreamsSampleExact) {
  std::vector<int16_t> tone = SineTone(1, kMixRate, kMixRate * 5 / 2, 440);
  std::vector<uint8_t> image = EncodeVorbis(tone, 1, kMixRate);
  std::vector<int16_t> decoded = DecodeVorbis(image);
  ASSERT_GT(decoded.size(), kMixRate * 2u);
  mEnv.WriteFile("tone.ogg", image);
  ObjectTreeNode* node = mEnv.Add("tone");
  mEnv.Load(node, "tone.ogg", SOUND_SOURCE_OGG);
  mEnv.Poll();
  ASSERT_EQ(Rec(node)->mState, SOUND_STATE_LOADED);
  EXPECT_EQ(Rec(node)->mDecodedKind, 1);
  EXPECT_EQ(Rec(node)->mLengthMs, static_cast<int64_t>(decoded.size() * 1000 / kMixRate));
  Rec(node)->mLoopTarget = 1;
  Play(node);
  std::vector<float> left;
  mEnv.RenderAndPoll(static_cast<uint32_t>(decoded.size()) + kMixRate / 2, &left);
  ExpectSamples(left, decoded);
  EXPECT_EQ(Rec(node)->mState, SOUND_STATE_IDLE);
  for (size_t i = decoded.size() + kMixRate / 10; i < left.size(); ++i) ASSERT_EQ(left[i], 0.0f) << i;
}

struct LoopCase {
  const char* mName;
  int32_t mLoops;
  int32_t mLoopBackMs;
  int32_t mEndMs;
  int32_t mStartMs;
};

class LoopTest : public StreamFixture, public testing::WithParamInterface<LoopCase> {};

// The expected output of a 48 kHz sound: the start (or leading silence),
// the passes with their loop-back, silence after the last.
std::vector<int16_t> ExpectedPasses(const std::vector<int16_t>& sound, const LoopCase& c, int passes) {
  std::vector<int16_t> out;
  size_t end = c.mEndMs > 0 ? c.mEndMs * 48u : sound.size();
  size_t from = c.mStartMs > 0 ? c.mStartMs * 48u : 0;
  if (c.mStartMs < 0) out.assign(static_cast<size_t>(-c.mStartMs) * 48, 0);
  for (int pass = 0; pass < passes; ++pass) {
    out.insert(out.end(), sound.begin() + static_cast<long>(from), sound.begin() + static_cast<long>(end));
    from = c.mLoopBackMs * 48u < end ? c.mLoopBackMs * 48u : 0;
  }
  return out;
}

TEST_P(LoopTest, PassesLoopBackEndAndLeadingSilenceAreSampleExact) {
  const LoopCase& c = GetParam();
  std::vector<int16_t> sound = Ramp(kMixRate * 3 / 10);  // 300 ms
  ObjectTreeNode* node = LoadWav(sound);
  SoundRecord* record = Rec(node);
  record->mLoopTarget = c.mLoops;
  if (c.mLoopBackMs != 0) PostSoundRequest(node, SOUND_REQ_SET_LOOP_BACK, c.mLoopBackMs);
  if (c.mEndMs != 0) PostSoundRequest(node, SOUND_REQ_SET_END, c.mEndMs);
  if (c.mStartMs != 0) PostSoundRequest(node, SOUND_REQ_SET_START, c.mStartMs);
  mEnv.Poll();
  Play(node);
  std::vector<float> left;
  mEnv.RenderAndPoll(kMixRate * 2, &left);
  int passes = c.mLoops == 0 ? 4 : c.mLoops;
  std::vector<int16_t> expected = ExpectedPasses(sound, c, passes);
  ExpectSamples(left, expected);
  if (c.mLoops != 0) {
    EXPECT_EQ(record->mState, SOUND_STATE_IDLE);
    for (size_t i = expected.size(); i < left.size(); ++i) ASSERT_EQ(left[i], 0.0f) << i;
  } else {
    EXPECT_EQ(record->mState, SOUND_STATE_PLAYING);
    EXPECT_GE(record->mLoopsDone, 5);
  }
}

INSTANTIATE_TEST_SUITE_P(Passes, LoopTest,
                         testing::Values(LoopCase{"Once", 1, 0, 0, 0}, LoopCase{"Endless", 0, 0, 0, 0},
                                         LoopCase{"ThreeWithLoopBack", 3, 100, 0, 0},
                                         LoopCase{"EndPoint", 2, 0, 200, 0},
                                         LoopCase{"LoopBackNotBelowEndGoesToZero", 2, 250, 200, 0},
                                         LoopCase{"LeadingSilence", 1, 0, 0, -100},
                                         LoopCase{"StartInside", 1, 0, 0, 150}),
                         [](const testing::TestParamInfo<LoopCase>& info) { return std::string(info.param.mName); });

struct WavCase {
  uint16_t mChannels;
  uint32_t mRate;
  uint16_t mBits;
};

class WavFormatTest : public StreamFixture, public testing::WithParamInterface<WavCase> {};

TEST_P(WavFormatTest, PcmIsStreamedInPlaceIntoABufferOfItsFormat) {
  const WavCase& c = GetParam();
  uint32_t bytes = c.mRate * c.mChannels * (c.mBits / 8) * 2;  // two seconds
  std::vector<uint8_t> samples(bytes);
  for (uint32_t i = 0; i < bytes; ++i) samples[i] = static_cast<uint8_t>(i * 7 + i / 251);
  mEnv.WriteFile("fmt.wav", MakePcmWav(c.mChannels, c.mRate, c.mBits, samples));
  ObjectTreeNode* node = mEnv.Add("fmt");
  mEnv.Load(node, "fmt.wav", SOUND_SOURCE_WAV);
  mEnv.Poll();
  SoundRecord* record = Rec(node);
  ASSERT_EQ(record->mState, SOUND_STATE_LOADED);
  EXPECT_EQ(record->mDecodedKind, 0);
  EXPECT_EQ(record->mLengthMs, 2000);
  EXPECT_EQ(record->mFormat.mChannels, c.mChannels);
  EXPECT_EQ(record->mFormat.mSamplesPerSec, c.mRate);
  EXPECT_EQ(record->mFormat.mBitsPerSample, c.mBits);
  Play(node);
  // Both halves are filled at the start: the buffer holds the first second.
  AudioRegions regions;
  ASSERT_TRUE(LockAudioBuffer(record->mBuffer, 0, record->mBufferBytes, &regions));
  EXPECT_EQ(std::memcmp(regions.mFirst, samples.data(), record->mBufferBytes), 0);
  UnlockAudioBuffer(record->mBuffer, regions);
  EXPECT_EQ(GetAudioBufferFrequency(record->mBuffer), c.mRate);
}

INSTANTIATE_TEST_SUITE_P(Formats, WavFormatTest,
                         testing::Values(WavCase{1, 22050, 8}, WavCase{2, 22050, 8}, WavCase{1, 44100, 16},
                                         WavCase{2, 44100, 16}, WavCase{2, 22050, 16}, WavCase{1, 44100, 8}));

TEST_F(StreamFixture, AnAdpcmWavIsConvertedOnceAndResumesWhereItPaused) {
  std::vector<int16_t> tone = SineTone(2, 22050, 22050 * 2, 300);
  std::vector<uint8_t> image = MakeSndfileWav(tone, 2, 22050, SF_FORMAT_IMA_ADPCM);
  std::vector<int16_t> reference = DecodeSndfile(image);
  ASSERT_FALSE(reference.empty());
  mEnv.WriteFile("adpcm.wav", image);
  ObjectTreeNode* node = mEnv.Add("adpcm");
  mEnv.Load(node, "adpcm.wav", SOUND_SOURCE_WAV);
  mEnv.Poll();
  SoundRecord* record = Rec(node);
  ASSERT_EQ(record->mState, SOUND_STATE_LOADED);
  EXPECT_EQ(record->mDecodedKind, 2);
  EXPECT_EQ(record->mFormat.mBitsPerSample, 16);
  EXPECT_EQ(record->mPcmLen, reference.size() * 2);
  EXPECT_EQ(std::memcmp(record->mPcmData, reference.data(), record->mPcmLen), 0);
  Play(node);
  uint8_t* converted = record->mFileData;
  std::vector<float> left;
  mEnv.RenderAndPoll(kMixRate / 2, &left);
  PostSoundRequest(node, SOUND_REQ_PAUSE, 1);
  mEnv.Poll();
  EXPECT_EQ(record->mBuffer, nullptr);
  EXPECT_NE(record->mPausedAt, 0u);
  int64_t played = record->mBytesPlayed;
  EXPECT_GT(played, 0);
  PostSoundRequest(node, SOUND_REQ_PAUSE, 0);
  mEnv.Poll();
  EXPECT_EQ(record->mFileData, converted);  // not converted again
  ASSERT_NE(record->mBuffer, nullptr);
  AudioRegions regions;
  ASSERT_TRUE(LockAudioBuffer(record->mBuffer, 0, 4, &regions));
  size_t at = static_cast<size_t>(record->mStartMs) * 22050 / 1000 * 2;
  EXPECT_EQ(std::memcmp(regions.mFirst, reference.data() + at, 4), 0);
  UnlockAudioBuffer(record->mBuffer, regions);
}

struct BadFile {
  const char* mName;
  std::vector<uint8_t> mBytes;
  uint8_t mKind;
  int32_t mError;
};

std::vector<BadFile> BadFiles() {
  std::vector<uint8_t> wav = MakePcmWav(1, 8000, 16, Pcm16Bytes(Ramp(800)));
  std::vector<uint8_t> truncated(wav.begin(), wav.begin() + 30);
  std::vector<uint8_t> zeroAlign = wav;
  zeroAlign[32] = zeroAlign[33] = 0;
  std::vector<uint8_t> ogg = EncodeVorbis(SineTone(1, 8000, 8000, 200), 1, 8000);
  std::vector<uint8_t> corrupt = ogg;
  for (size_t i = 0; i < 60 && i < corrupt.size(); ++i) corrupt[i] ^= 0x5A;
  std::vector<uint8_t> chained = ogg;
  std::vector<uint8_t> second = EncodeVorbis(SineTone(1, 8000, 4000, 300), 1, 8000, 2);
  chained.insert(chained.end(), second.begin(), second.end());
  return {{"truncated.wav", truncated, SOUND_SOURCE_WAV, -10080},
          {"zeroalign.wav", zeroAlign, SOUND_SOURCE_WAV, -10090},
          {"notriff.wav", std::vector<uint8_t>(64, 'x'), SOUND_SOURCE_WAV, -10040},
          {"corrupt.ogg", corrupt, SOUND_SOURCE_OGG, -1030},
          {"chained.ogg", chained, SOUND_SOURCE_OGG, -1045}};
}

class DamagedFileTest : public StreamFixture, public testing::WithParamInterface<size_t> {};

TEST_P(DamagedFileTest, GivesTheLoadErrorAndPlaysNothing) {
  BadFile file = BadFiles()[GetParam()];
  SCOPED_TRACE(file.mName);
  mEnv.WriteFile(file.mName, file.mBytes);
  ObjectTreeNode* node = mEnv.Add("bad");
  mEnv.Load(node, file.mName, file.mKind);
  PostSoundRequest(node, SOUND_REQ_PLAY, 0);
  EXPECT_EQ(RunSoundPoll(), file.mError);
  EXPECT_NE(g_QuitFlag.load(), 0);
  ASSERT_FALSE(mEnv.mScript.mDialogs.mBoxes.empty());
  EXPECT_EQ(mEnv.mScript.mDialogs.mBoxes.back().mCaption, "DEBUG Message");
  std::vector<float> out(960);
  RenderAudioMix(out.data(), 480);
  for (float value : out) ASSERT_EQ(value, 0.0f);
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedFileTest, testing::Range<size_t>(0, 5));

TEST_F(StreamFixture, AnEmptySoundThatLoopsForEverEndsItsPassesInSilence) {
  mEnv.WriteFile("empty.wav", MakePcmWav(1, kMixRate, 16, {}));
  ObjectTreeNode* node = mEnv.Add("empty");
  mEnv.Load(node, "empty.wav", SOUND_SOURCE_WAV);
  mEnv.Poll();
  Play(node);
  std::vector<float> left;
  mEnv.RenderAndPoll(kMixRate, &left);
  for (float value : left) ASSERT_EQ(value, 0.0f);
}

TEST_F(StreamFixture, TheMemoryReaderRefusesPositionsOutsideTheImage) {
  SoundRecord record{};
  uint8_t data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  record.mFileData = data;
  record.mFileSize = 10;
  EXPECT_EQ(SeekSoundMemory(&record, -1, 0), -1);
  EXPECT_EQ(SeekSoundMemory(&record, 11, 0), -1);
  EXPECT_EQ(SeekSoundMemory(&record, 1, 2), -1);
  EXPECT_EQ(SeekSoundMemory(&record, 0, 7), -1);
  EXPECT_EQ(SeekSoundMemory(&record, -3, 2), 0);
  EXPECT_EQ(TellSoundMemory(&record), 7);
  uint8_t out[8] = {};
  EXPECT_EQ(ReadSoundMemory(out, 1, 8, &record), 3u);
  EXPECT_EQ(out[0], 8);
  EXPECT_EQ(ReadSoundMemory(out, 1, 8, &record), 0u);
  record.mFileData = nullptr;
}

TEST_F(StreamFixture, TheSilentRootImageIsEightKilohertzEightBitMono) {
  ASSERT_EQ(CreateRootSound(), 0);
  ObjectTreeNode* root = g_SoundRoot->mLastChild;
  ASSERT_STREQ(root->mName, "ROOT");
  mEnv.Poll();
  SoundRecord* record = Rec(root);
  EXPECT_EQ(record->mState, SOUND_STATE_PLAYING);
  EXPECT_EQ(record->mFileSize, kSilentImageBytes);
  EXPECT_EQ(record->mFormat.mSamplesPerSec, 8000u);
  EXPECT_EQ(record->mFormat.mBitsPerSample, 8);
  EXPECT_EQ(record->mPcmLen, 4000u);
  EXPECT_EQ(record->mVolume, 2);
  std::vector<float> left;
  mEnv.RenderAndPoll(4800, &left);
  for (float value : left) ASSERT_EQ(value, 0.0f);
}

}  // namespace
