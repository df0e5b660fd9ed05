#include <gtest/gtest.h>

#include "platform/audio_device.h"

namespace {

TEST(AudioDeviceTest, TheOutputModeDecidesWhetherTheDeviceOpens) {
  AudioOutputMode saved = GetAudioOutputMode();
  SetAudioOutputMode(AudioOutputMode::Absent);
  EXPECT_FALSE(OpenAudioOutput());
  EXPECT_FALSE(IsAudioOutputOpen());
  SetAudioOutputMode(AudioOutputMode::Manual);
  EXPECT_TRUE(OpenAudioOutput());
  EXPECT_TRUE(IsAudioOutputOpen());
  CloseAudioOutput();
  EXPECT_FALSE(IsAudioOutputOpen());
  SetAudioOutputMode(saved);
}

}  // namespace
