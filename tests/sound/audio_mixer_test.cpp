#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/audio_mixer.h"

namespace {

struct MixerFixture : testing::Test {
  ~MixerFixture() override { ReleaseAllAudioBuffers(); }

  static AudioBuffer* Make16(uint16_t channels, uint32_t rate, const std::vector<int16_t>& samples) {
    AudioBufferFormat format{channels, rate, 16, static_cast<uint16_t>(channels * 2)};
    AudioBuffer* buffer = CreateAudioBuffer(format, static_cast<uint32_t>(samples.size() * 2));
    Write(buffer, 0, samples.data(), samples.size() * 2);
    return buffer;
  }
  static void Write(AudioBuffer* buffer, uint32_t offset, const void* data, size_t bytes) {
    AudioRegions regions;
    EXPECT_TRUE(LockAudioBuffer(buffer, offset, static_cast<uint32_t>(bytes), &regions));
    std::memcpy(regions.mFirst, data, regions.mFirstBytes);
    if (regions.mSecondBytes > 0) {
      std::memcpy(regions.mSecond, static_cast<const uint8_t*>(data) + regions.mFirstBytes, regions.mSecondBytes);
    }
    UnlockAudioBuffer(buffer, regions);
  }
  static std::vector<float> Render(uint32_t frames) {
    std::vector<float> out(frames * 2, 123.0f);
    RenderAudioMix(out.data(), frames);
    return out;
  }
};

TEST_F(MixerFixture, NativeRateStereoPlaysEverySampleExactlyOnceAndStops) {
  AudioBuffer* buffer = Make16(2, kMixRate, {1000, -1000, 32767, -32768, 0, 5, -7, 9});
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(Render(2), std::vector<float>(4, 0.0f));  // stopped: nothing, the output cleared
  ASSERT_TRUE(PlayAudioBuffer(buffer, false));
  std::vector<float> out = Render(6);
  const float expected[] = {1000, -1000, 32767, -32768, 0, 5, -7, 9, 0, 0, 0, 0};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(out[i], expected[i] / 32768.0f) << i;
  EXPECT_FALSE(IsAudioBufferPlaying(buffer));
}

TEST_F(MixerFixture, EightBitMonoIsUnsignedAndFeedsBothSides) {
  AudioBuffer* buffer = CreateAudioBuffer({1, kMixRate, 8, 1}, 4);
  EXPECT_EQ(Render(0).size(), 0u);
  const uint8_t samples[] = {128, 255, 0, 192};
  Write(buffer, 0, samples, 4);
  PlayAudioBuffer(buffer, true);
  std::vector<float> out = Render(5);
  const float expected[] = {0, 127 / 128.0f, -1, 0.5f, 0};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(out[2 * i], expected[i]) << i;
    EXPECT_EQ(out[2 * i + 1], expected[i]) << i;
  }
}

TEST_F(MixerFixture, ANewEightBitBufferIsSilent) {
  AudioBuffer* buffer = CreateAudioBuffer({2, 22050, 8, 2}, 4410);
  PlayAudioBuffer(buffer, true);
  for (float value : Render(100)) EXPECT_EQ(value, 0.0f);
}

struct GainCase {
  int32_t mVolume;
  int32_t mPan;
  double mLeft;
  double mRight;
};

class MixerGainTest : public MixerFixture, public testing::WithParamInterface<GainCase> {};

TEST_P(MixerGainTest, VolumeAndPanAttenuateInHundredthsOfADecibel) {
  const GainCase& c = GetParam();
  AudioBuffer* buffer = Make16(2, kMixRate, {16384, 16384});
  SetAudioBufferVolume(buffer, c.mVolume);
  SetAudioBufferPan(buffer, c.mPan);
  PlayAudioBuffer(buffer, true);
  std::vector<float> out = Render(1);
  EXPECT_NEAR(out[0], 0.5 * c.mLeft, 1e-6);
  EXPECT_NEAR(out[1], 0.5 * c.mRight, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Gains, MixerGainTest,
    testing::Values(GainCase{0, 0, 1, 1}, GainCase{-10000, 0, 0, 0}, GainCase{-2000, 0, 0.1, 0.1},
                    GainCase{-600, 0, std::pow(10.0, -0.3), std::pow(10.0, -0.3)}, GainCase{0, -10000, 1, 0},
                    GainCase{0, 10000, 0, 1}, GainCase{-2000, -2000, 0.1, 0.01}, GainCase{0, 4000, 0.01, 1},
                    GainCase{-20000, 0, 0, 0}, GainCase{500, 0, 1, 1}));

TEST_F(MixerFixture, FrequencyResamplesLinearly) {
  AudioBuffer* buffer = Make16(1, kMixRate, {0, 8192, 16384, 24576});
  ASSERT_TRUE(SetAudioBufferFrequency(buffer, kMixRate / 2));
  EXPECT_EQ(GetAudioBufferFrequency(buffer), kMixRate / 2);
  PlayAudioBuffer(buffer, false);
  std::vector<float> out = Render(6);
  const float expected[] = {0, 0.125f, 0.25f, 0.375f, 0.5f, 0.625f};
  for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(out[2 * i], expected[i]) << i;
  uint32_t play = 0;
  GetAudioBufferCursors(buffer, &play, nullptr);
  EXPECT_EQ(play, 6u);  // frame 3 of 2-byte frames
  EXPECT_FALSE(SetAudioBufferFrequency(buffer, 0));
}

TEST_F(MixerFixture, DoubleRateSkipsEveryOtherFrame) {
  AudioBuffer* buffer = Make16(1, kMixRate, {1, 2, 3, 4, 5, 6});
  SetAudioBufferFrequency(buffer, kMixRate * 2);
  PlayAudioBuffer(buffer, true);
  std::vector<float> out = Render(4);
  const int expected[] = {1, 3, 5, 1};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(out[2 * i], expected[i] / 32768.0f) << i;
}

TEST_F(MixerFixture, StopKeepsTheCursorAndLoopingWraps) {
  AudioBuffer* buffer = Make16(1, kMixRate, {1, 2, 3, 4});
  PlayAudioBuffer(buffer, true);
  Render(3);
  StopAudioBuffer(buffer);
  uint32_t play = 0;
  GetAudioBufferCursors(buffer, &play, nullptr);
  EXPECT_EQ(play, 6u);
  Render(10);
  GetAudioBufferCursors(buffer, &play, nullptr);
  EXPECT_EQ(play, 6u);
  PlayAudioBuffer(buffer, true);
  std::vector<float> out = Render(3);
  EXPECT_EQ(out[0], 4 / 32768.0f);
  EXPECT_EQ(out[2], 1 / 32768.0f);
  EXPECT_EQ(out[4], 2 / 32768.0f);
}

TEST_F(MixerFixture, WriteCursorRunsASmallBlockAlignedLatencyAhead) {
  AudioBuffer* buffer = CreateAudioBuffer({2, 44100, 16, 4}, 44100 * 4);
  uint32_t play = 1, write = 0;
  ASSERT_TRUE(GetAudioBufferCursors(buffer, &play, &write));
  EXPECT_EQ(play, 0u);
  EXPECT_EQ(write, 441u * 4);
  ASSERT_TRUE(SetAudioBufferCursor(buffer, 44099 * 4));
  GetAudioBufferCursors(buffer, &play, &write);
  EXPECT_EQ(play, 44099u * 4);
  EXPECT_EQ(write, 440u * 4);
  EXPECT_EQ(write % 4, 0u);
}

TEST_F(MixerFixture, LockAcrossTheEndGivesTwoRegionsAndShowsTheContent) {
  AudioBuffer* buffer = Make16(1, 8000, {10, 20, 30, 40});
  AudioRegions regions;
  ASSERT_TRUE(LockAudioBuffer(buffer, 6, 4, &regions));
  EXPECT_EQ(regions.mFirstBytes, 2u);
  EXPECT_EQ(regions.mSecondBytes, 2u);
  EXPECT_EQ(regions.mFirst[0], 40);
  EXPECT_EQ(regions.mSecond[0], 10);
  regions.mFirst[0] = 41;
  regions.mSecond[0] = 11;
  UnlockAudioBuffer(buffer, regions);
  ASSERT_TRUE(LockAudioBuffer(buffer, 0, 8, &regions));
  EXPECT_EQ(regions.mSecond, nullptr);
  EXPECT_EQ(regions.mFirst[0], 11);
  EXPECT_EQ(regions.mFirst[6], 41);
  UnlockAudioBuffer(buffer, regions);
  EXPECT_FALSE(LockAudioBuffer(buffer, 8, 1, &regions));
  EXPECT_FALSE(LockAudioBuffer(buffer, 0, 9, &regions));
}

TEST_F(MixerFixture, FormatsTheMixerCannotPlayAreRefused) {
  const AudioBufferFormat bad[] = {{3, 8000, 16, 6}, {1, 8000, 12, 2}, {1, 0, 8, 1}, {2, 8000, 16, 2}, {1, 8000, 16, 0}};
  for (const AudioBufferFormat& format : bad) EXPECT_EQ(CreateAudioBuffer(format, 1200), nullptr);
  EXPECT_EQ(CreateAudioBuffer({2, 8000, 16, 4}, 6), nullptr);
  EXPECT_EQ(CreateAudioBuffer({2, 8000, 16, 4}, 0), nullptr);
  EXPECT_EQ(CountAudioBuffers(), 0u);
}

TEST_F(MixerFixture, BuffersMixTogether) {
  AudioBuffer* a = Make16(1, kMixRate, {1000});
  AudioBuffer* b = Make16(2, kMixRate, {500, -500});
  PlayAudioBuffer(a, true);
  PlayAudioBuffer(b, true);
  std::vector<float> out = Render(1);
  EXPECT_FLOAT_EQ(out[0], 1500 / 32768.0f);
  EXPECT_FLOAT_EQ(out[1], 500 / 32768.0f);
  ReleaseAudioBuffer(a);
  EXPECT_EQ(CountAudioBuffers(), 1u);
}

TEST_F(MixerFixture, WritesBetweenThePlayAndWriteCursorsAreHeardOnlyNextTime) {
  std::vector<int16_t> samples(kMixRate / 10, 100);  // 100 ms
  AudioBuffer* buffer = Make16(1, kMixRate, samples);
  PlayAudioBuffer(buffer, true);
  Render(1000);
  uint32_t play = 0, write = 0;
  GetAudioBufferCursors(buffer, &play, &write);
  ASSERT_EQ(write - play, 480u * 2);
  std::vector<int16_t> changed(kMixRate / 10, 200);
  Write(buffer, 0, changed.data(), changed.size() * 2);
  std::vector<float> out = Render(4800);
  EXPECT_EQ(out[0], 100 / 32768.0f);          // taken already
  EXPECT_EQ(out[2 * 479], 100 / 32768.0f);
  EXPECT_EQ(out[2 * 481], 200 / 32768.0f);    // beyond the write cursor
  EXPECT_EQ(out[2 * 4799], 200 / 32768.0f);   // next time round
}

}  // namespace

