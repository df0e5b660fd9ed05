#include <SDL.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "core/process_state.h"
#include "platform/audio_device.h"
#include "sound/sound_device.h"
#include "support/script_test_env.h"

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

struct ErrorTextCase {
  std::string mText;
  AudioOpenFailure mKind;
};

// What SDL 2 and the layers under it say when a device cannot be opened;
// the system error texts in the form ALSA passes them on.
TEST(AudioDeviceTest, TheKindOfAFailureComesFromWhatSdlAndTheAudioLayerSay) {
  auto alsa = [](int error) { return std::string("ALSA: Couldn't open audio device: ") + std::strerror(error); };
  const ErrorTextCase cases[] = {
      {alsa(EBUSY), AudioOpenFailure::Busy},
      {"Audio device already open", AudioOpenFailure::Busy},
      {"Audio device is already opened", AudioOpenFailure::Busy},
      {"Too many open audio devices", AudioOpenFailure::Busy},
      {alsa(ENOENT), AudioOpenFailure::NoDevice},
      {alsa(ENODEV), AudioOpenFailure::NoDevice},
      {"Audio target 'alsa' not available", AudioOpenFailure::NoDevice},
      {"No available audio device", AudioOpenFailure::NoDevice},
      {"Could not setup connection to PulseAudio", AudioOpenFailure::NoDevice},
      {"Failed loading libpipewire-0.3.so.0: cannot open shared object file", AudioOpenFailure::NoDevice},
      {"Out of memory", AudioOpenFailure::OutOfMemory},
      {alsa(ENOMEM), AudioOpenFailure::OutOfMemory},
      {"ALSA: Couldn't set audio frequency: " + std::string(std::strerror(EINVAL)),
       AudioOpenFailure::InvalidParameters},
      {"alsa: Unsupported audio format", AudioOpenFailure::InvalidParameters},
      {"Parameter 'spec' is invalid", AudioOpenFailure::InvalidParameters},
      {"Couldn't open /tmp/sdlaudio.raw", AudioOpenFailure::Other},
      {"Couldn't create audio thread", AudioOpenFailure::Other},
      {"", AudioOpenFailure::Other},
  };
  for (const ErrorTextCase& c : cases) {
    EXPECT_EQ(ClassifyAudioError(c.mText.c_str()), c.mKind) << c.mText;
  }
}

// The real device through SDL under the test's own choice of driver.
class SystemDeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    mSavedMode = GetAudioOutputMode();
    SetAudioOutputMode(AudioOutputMode::System);
    g_SoundSetting = 1;
    // The debug log goes to the game folder.
    std::snprintf(g_ExeFolder, sizeof g_ExeFolder, "%s/", mEnv.Folder().c_str());
  }
  void TearDown() override {
    ReleaseSoundDevice();
    CloseAudioOutput();
    SetAudioOutputMode(mSavedMode);
    for (const char* name : {"SDL_AUDIODRIVER", "AUDIODEV", "SDL_DISKAUDIOFILE"}) unsetenv(name);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
  std::string DebugLog() const {
    std::ifstream in(mEnv.Folder() + "/debuglog.txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  ScriptTestEnvironment mEnv;
  AudioOutputMode mSavedMode = AudioOutputMode::System;
};

struct DeviceCase {
  const char* mName;
  const char* mDriver;
  const char* mVariable;  // one more setting of the driver, or null
  const char* mValue;
  AudioOpenFailure mKind;
  const char* mBoxText;  // null: no box
};

class DeviceFailureTest : public SystemDeviceTest, public testing::WithParamInterface<DeviceCase> {};

TEST_P(DeviceFailureTest, ShowsTheTextOfItsKindAndLogsWhatTheSystemSaid) {
  const DeviceCase& c = GetParam();
  setenv("SDL_AUDIODRIVER", c.mDriver, 1);
  if (c.mVariable != nullptr) setenv(c.mVariable, c.mValue, 1);
  EXPECT_EQ(InitDirectSound(), 0);
  EXPECT_EQ(g_SoundDevice, 0);
  EXPECT_EQ(LastAudioOpenFailure(), c.mKind) << LastAudioOpenError();
  if (c.mBoxText == nullptr) {
    EXPECT_TRUE(mEnv.mDialogs.mBoxes.empty());
  } else {
    ASSERT_EQ(mEnv.mDialogs.mBoxes.size(), 1u);
    EXPECT_EQ(mEnv.mDialogs.mBoxes[0].mCaption, "サウンド初期化エラー");
    EXPECT_EQ(mEnv.mDialogs.mBoxes[0].mText, c.mBoxText);
  }
  EXPECT_NE(DebugLog().find(std::string("sound: no sound device: ") + LastAudioOpenError()), std::string::npos)
      << DebugLog();
}

const char kNoDriverText[] =
    "利用可能なサウンドドライバが存在しませんでした。起動にはサウンド機能が正常に動作している必要があります。";

INSTANTIATE_TEST_SUITE_P(
    Drivers, DeviceFailureTest,
    testing::Values(DeviceCase{"NoSuchDriver", "no-such-driver", nullptr, nullptr, AudioOpenFailure::NoDevice,
                               kNoDriverText},
                    // An ALSA device that does not exist (or no ALSA at all).
                    DeviceCase{"NoSuchDevice", "alsa", "AUDIODEV", "orvane-no-such-device", AudioOpenFailure::NoDevice,
                               kNoDriverText},
                    // The file the disk driver writes to cannot be made.
                    DeviceCase{"OtherFailure", "disk", "SDL_DISKAUDIOFILE", "/nonexistent-folder/sound.raw",
                               AudioOpenFailure::Other, nullptr}),
    [](const testing::TestParamInfo<DeviceCase>& info) { return std::string(info.param.mName); });

TEST_F(SystemDeviceTest, ADeviceAnotherUserHoldsShowsTheBusyText) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0);
  SDL_AudioSpec wanted{};
  wanted.freq = 48000;
  wanted.format = AUDIO_F32SYS;
  wanted.channels = 2;
  wanted.samples = 1024;
  wanted.callback = [](void*, Uint8* stream, int length) { std::memset(stream, 0, static_cast<size_t>(length)); };
  SDL_AudioDeviceID holder = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
  ASSERT_NE(holder, 0u) << SDL_GetError();
  EXPECT_EQ(InitDirectSound(), 0);
  EXPECT_EQ(LastAudioOpenFailure(), AudioOpenFailure::Busy) << LastAudioOpenError();
  ASSERT_EQ(mEnv.mDialogs.mBoxes.size(), 1u);
  EXPECT_EQ(mEnv.mDialogs.mBoxes[0].mText,
            "サウンドリソースが使用中でした。他の音楽プレーヤー等、起動、常駐しているソフトがあれば終了させてください。");
  SDL_CloseAudioDevice(holder);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  // Once the other user let go, the device opens.
  EXPECT_EQ(InitDirectSound(), 1);
}

}  // namespace
