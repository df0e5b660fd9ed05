#include "script/engine_config.h"

#include <gtest/gtest.h>

#include <string>

#include "core/errors.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "datasrc/resource_lookup.h"
#include "shell/window_objects.h"
#include "sound/sound_device.h"
#include "support/script_data_builder.h"
#include "support/script_test_env.h"

namespace {

constexpr const char* kConfigName = "qvbin\\qvcfg.qbn";

class EngineConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mSavedWindow = g_WindowTable[0];
    ConstructWindowObject(&mWindow, 0);
    g_WindowTable[0] = &mWindow;
    mSavedDesktop[0] = g_DesktopWidth;
    mSavedDesktop[1] = g_DesktopHeight;
    g_DesktopWidth = 1920;
    g_DesktopHeight = 1080;
    InstallTaggedMessages({901000, 901020});
  }
  void TearDown() override {
    g_WindowTable[0] = mSavedWindow;
    g_DesktopWidth = mSavedDesktop[0];
    g_DesktopHeight = mSavedDesktop[1];
    g_ThreadedStep.store(0);
    g_SoundSetting = 0;
    ClearMessageTexts();
  }

  int Load(const EngineConfigFile& config) {
    mEnv.Write({kConfigName, BuildConfigFile(config)});
    return LoadEngineConfig();
  }

  ScriptTestEnvironment mEnv;
  WindowObject mWindow;
  WindowObject* mSavedWindow = nullptr;
  int32_t mSavedDesktop[2] = {};
};

TEST_F(EngineConfigTest, ValuesGoToTheirSwitches) {
  EngineConfigFile config;
  config.mWidth = 800;
  config.mHeight = 600;
  config.mDisplayState = 0x101;  // the low byte counts
  config.mImageOrder = {2, 1, 0, 0, 0, 0, 0, 9};
  config.mSoundOrder = {2, 1, 0, 7};
  config.mThreadedStep = 1;
  config.mDebugMode = 0x201;
  config.mSoundSetting = 2;
  config.mThickFrame = 1;
  config.mWindowStyle = 3;
  config.mReserved = 5;
  config.mLooseFirstDev = 1;
  config.mLooseFirstRelease = 0x100;
  config.mTitle = "ゲーム";
  ASSERT_EQ(Load(config), 0);
  EXPECT_EQ(mWindow.mWidth, 800);
  EXPECT_EQ(mWindow.mHeight, 600);
  EXPECT_EQ(mWindow.mDisplayState, 1);
  EXPECT_EQ(g_ImageExtOrder[0], 2);
  EXPECT_EQ(g_ImageExtOrder[7], 9);
  EXPECT_EQ(g_SoundExtOrder[3], 7);
  EXPECT_EQ(g_ThreadedStep.load(), 1);
  EXPECT_EQ(g_DebugMode, 1);
  EXPECT_EQ(g_SoundSetting, 2);
  EXPECT_EQ(g_ThickFrame, 1);
  EXPECT_EQ(g_WindowStyleSwitch, 3);
  EXPECT_EQ(g_ConfigReserved, 5);
  EXPECT_EQ(g_LooseFirstDev, 1);
  EXPECT_EQ(g_LooseFirstRelease, 0);
  EXPECT_EQ(g_WindowTitle, "ゲーム");
  // 800 x 600 gives a 1024 x 1024 texture.
  EXPECT_EQ(g_TextureWidth, 1024);
  EXPECT_EQ(g_TextureHeight, 1024);
  EXPECT_EQ(g_QuitFlag.load(), 0);
}

struct SizeCase {
  uint32_t mWidth;
  uint32_t mHeight;
  bool mAccepted;
  int32_t mTextureWidth;
  int32_t mTextureHeight;
};

TEST_F(EngineConfigTest, ScreenSizeLimits) {
  const SizeCase cases[] = {
      {128, 16, true, 256, 256},      {127, 16, false, 0, 0},        {128, 15, false, 0, 0},
      {8192, 8192, true, 4096, 4096}, {8193, 600, false, 0, 0},      {800, 8193, false, 0, 0},
      {0, 600, false, 0, 0},          {800, 0, false, 0, 0},         {2049, 257, true, 4096, 512},
      {2048, 256, true, 2048, 256},   {0xFFFFFFFF, 600, false, 0, 0}, {0, 0, true, 2048, 2048},
  };
  for (const SizeCase& entry : cases) {
    SCOPED_TRACE(std::to_string(entry.mWidth) + " x " + std::to_string(entry.mHeight));
    ResetEngineConfig();
    ResetErrorReporting();
    g_QuitFlag.store(0);
    ConstructWindowObject(&mWindow, 0);
    EngineConfigFile config;
    config.mWidth = entry.mWidth;
    config.mHeight = entry.mHeight;
    int result = Load(config);
    if (entry.mAccepted) {
      EXPECT_EQ(result, 0);
      bool desktop = entry.mWidth == 0;
      EXPECT_EQ(mWindow.mWidth, desktop ? 1920 : static_cast<int32_t>(entry.mWidth));
      EXPECT_EQ(mWindow.mHeight, desktop ? 1080 : static_cast<int32_t>(entry.mHeight));
      EXPECT_EQ(g_TextureWidth, entry.mTextureWidth);
      EXPECT_EQ(g_TextureHeight, entry.mTextureHeight);
    } else {
      EXPECT_EQ(result, 1);
      EXPECT_EQ(g_QuitFlag.load(), 1);
      EXPECT_EQ(g_LastErrorText, ExpectedReport(901020));
      EXPECT_EQ(mWindow.mWidth, 0);
    }
  }
}

TEST_F(EngineConfigTest, TitleRules) {
  EngineConfigFile config;
  config.mTitle = std::string(128, 'T');
  ASSERT_EQ(Load(config), 0);
  EXPECT_EQ(g_WindowTitle, config.mTitle);

  config.mTitle = "";
  ASSERT_EQ(Load(config), 0);
  EXPECT_EQ(g_WindowTitle, " ");

  // A title stops at a zero byte inside it.
  config.mTitle = std::string("ab\0cd", 5);
  ASSERT_EQ(Load(config), 0);
  EXPECT_EQ(g_WindowTitle, "ab");

  config.mTitle = std::string(129, 'T');
  EXPECT_EQ(Load(config), 1);
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_EQ(g_LastErrorText, ExpectedReport(901000));
  EXPECT_EQ(g_WindowTitle, "ab");
}

TEST_F(EngineConfigTest, BadThreadedSwitchStopsAfterSizeAndTitle) {
  EngineConfigFile config;
  config.mWidth = 1024;
  config.mHeight = 768;
  config.mTitle = "kept";
  config.mThreadedStep = 2;
  config.mDebugMode = 1;
  EXPECT_EQ(Load(config), 1);
  EXPECT_EQ(g_LastErrorText, ExpectedReport(901020));
  EXPECT_EQ(mWindow.mWidth, 1024);
  EXPECT_EQ(g_WindowTitle, "kept");
  EXPECT_EQ(g_DebugMode, 0);  // not reached
  EXPECT_EQ(g_TextureWidth, 0);
}

TEST_F(EngineConfigTest, MissingOrShortFile) {
  EXPECT_EQ(LoadEngineConfig(), -1);
  EXPECT_EQ(g_LastErrorText, ExpectedReport(104060, {kConfigName}));

  Bytes image = BuildConfigFile(EngineConfigFile());
  for (size_t cut : {size_t{0}, size_t{20}, size_t{77}, image.size() - 1}) {
    SCOPED_TRACE(cut);
    g_QuitFlag.store(0);
    Bytes shorter(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(cut));
    mEnv.Write({kConfigName, shorter});
    EXPECT_EQ(LoadEngineConfig(), 1);
    EXPECT_EQ(g_QuitFlag.load(), 1);
    EXPECT_EQ(g_LastErrorText, ExpectedReport(104010, {kConfigName}));
  }
}

TEST_F(EngineConfigTest, NameIsFoundInAnyLetterCase) {
  mEnv.Write({"QVBIN\\QVCFG.QBN", BuildConfigFile(EngineConfigFile())});
  EXPECT_EQ(LoadEngineConfig(), 0);
  EXPECT_EQ(g_WindowTitle, "ORVANE");
}

}  // namespace
