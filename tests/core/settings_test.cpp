#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/process_state.h"
#include "core/settings.h"
#include "shell/entry.h"
#include "support/temp_folder.h"

namespace {

std::string Words(std::initializer_list<std::pair<int, uint32_t>> values, size_t bytes = 128) {
  std::string data(bytes, '\0');
  for (auto [word, value] : values) {
    for (int b = 0; b < 4; ++b) {
      size_t at = static_cast<size_t>(word) * 4 + b;
      if (at < data.size()) data[at] = static_cast<char>((value >> (8 * b)) & 0xFF);
    }
  }
  return data;
}

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetShellState();
    std::string folder = game.Path() + "/";
    std::snprintf(g_ExeFolder, sizeof g_ExeFolder, "%s", folder.c_str());
    std::strcpy(g_AppDataFolder, "/home/player/.local/share");
    std::strcpy(g_MyDocumentsFolder, "/home/player/Documents");
  }
  void TearDown() override { ResetShellState(); }

  void LoadSettings(const std::string& qvcfg) {
    game.WriteFile("qvcfg.dat", qvcfg);
    LoadEngineSettings();
  }

  TempFolder game;
};

TEST_F(SettingsTest, WithoutTheFileEveryDefaultStandsIncludingTheTextureLimits) {
  LoadEngineSettings();
  EXPECT_EQ(g_UseDirectShow, 1);
  EXPECT_EQ(g_AllowSse2, 1);
  EXPECT_EQ(g_MaxWorkers, 4);
  EXPECT_EQ(g_ChangeDisplayMode, 1);
  EXPECT_EQ(g_ScalingMode, 1);
  EXPECT_EQ(g_DrawMode, 0);
  EXPECT_EQ(g_CpuScaleBilinear, 1);
  EXPECT_EQ(g_DitherTextures, 1);
  EXPECT_EQ(g_TileLimitWidth, 512);
  EXPECT_EQ(g_TileLimitHeight, 256);
  EXPECT_EQ(g_TextureFormat, kTextureFormat32);
}

TEST_F(SettingsTest, WordsMapOntoTheirSettings) {
  g_GpuDrawing = 1;
  LoadSettings(Words({{0, 0}, {2, 0}, {3, 0}, {4, 0}, {6, 1}, {7, 3}, {8, 2}, {9, 1}, {12, 1}, {13, 1}, {14, 0},
                      {22, 1}}));
  EXPECT_EQ(g_UseDirectShow, 0);
  EXPECT_EQ(g_AllowSse, 0);
  EXPECT_EQ(g_AllowSse2, 0);
  EXPECT_EQ(g_MaxWorkers, 1);
  EXPECT_EQ(g_ChangeDisplayMode, 0);
  EXPECT_EQ(g_ScalingMode, 0);
  EXPECT_EQ(g_DrawMode, 1);
  EXPECT_EQ(g_CpuScaleBilinear, 1);
  EXPECT_EQ(g_GpuDrawing, 0) << "draw modes 2 and 3 clear Direct3D drawing";
  EXPECT_EQ(g_CaptionDoubleClickToScript, 1);
  EXPECT_EQ(g_NoHardwareVertexProcessing, 1);
  EXPECT_EQ(g_Use16BitTextures, 1);
  EXPECT_EQ(g_TextureFormat, kTextureFormat16);
  EXPECT_EQ(g_TextureBitDepth, 16);
  EXPECT_EQ(g_DitherTextures, 0);
  EXPECT_EQ(g_DisableComposition, 1);
}

TEST_F(SettingsTest, TableWordsAndOutOfRangeValues) {
  struct Case {
    uint32_t mWord7;
    uint32_t mWord8;
    uint32_t mWord6;
    uint8_t mScaling;
    uint8_t mDrawMode;
    uint8_t mBilinear;
    uint8_t mChangeDisplay;
  };
  const Case cases[] = {
      {0, 0, 0, 1, 3, 1, 1}, {1, 1, 1, 2, 2, 1, 0}, {2, 3, 2, 3, 0, 0, 1}, {3, 9, 7, 0, 0, 1, 1},
  };
  for (const Case& c : cases) {
    ResetEngineSettings();
    LoadSettings(Words({{4, 5}, {6, c.mWord6}, {7, c.mWord7}, {8, c.mWord8}}));
    EXPECT_EQ(g_ScalingMode, c.mScaling) << c.mWord7;
    EXPECT_EQ(g_DrawMode, c.mDrawMode) << c.mWord8;
    EXPECT_EQ(g_CpuScaleBilinear, c.mBilinear) << c.mWord8;
    EXPECT_EQ(g_ChangeDisplayMode, c.mChangeDisplay) << c.mWord6;
    EXPECT_EQ(g_MaxWorkers, 4) << "any word 4 other than 0 keeps four workers";
  }
}

TEST_F(SettingsTest, AShortFileReadsTheMissingWordsAsZero) {
  g_Use16BitTextures = 1;
  LoadSettings(Words({{0, 1}, {9, 1}, {13, 1}}, 40));
  EXPECT_EQ(g_CaptionDoubleClickToScript, 1);
  EXPECT_EQ(g_Use16BitTextures, 0) << "word 13 is past the file: zero";
  EXPECT_EQ(g_TextureFormat, kTextureFormat32);
  EXPECT_EQ(g_DitherTextures, 0) << "word 14 is past the file: zero";
}

TEST_F(SettingsTest, SaveFolderFollowsTheSaveLocationFile) {
  struct Case {
    bool mFile;
    uint32_t mWord21;
    const char* mFolder;
  };
  const Case cases[] = {
      {false, 0, "save\\"},
      {true, 0, "save\\"},
      {true, 1, "/home/player/.local/share\\VORMELT_SaveData\\tindaref\\save\\"},
      {true, 2, "/home/player/Documents\\VORMELT_SaveData\\tindaref\\save\\"},
      {true, 3, "/home/player/Documents\\My Games\\VORMELT_SaveData\\tindaref\\save\\"},
      {true, 7, "save\\"},
  };
  for (const Case& c : cases) {
    g_SaveLocation = 0;
    std::remove((game.Path() + "/qvsfs.dat").c_str());
    if (c.mFile) game.WriteFile("qvsfs.dat", Words({{21, c.mWord21}}));
    BuildSaveFolder();
    EXPECT_STREQ(g_SaveFolder, c.mFolder) << c.mWord21;
  }
}

TEST(CommandLineTest, KeepsTheProgramNameAndAtMostEightArguments) {
  const char* arguments[] = {"orvane", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "a10", "a11"};
  CopyCommandLineArguments(12, const_cast<char**>(arguments));
  EXPECT_EQ(g_CommandLineCount, 8);
  EXPECT_EQ(g_CommandLineArgs[0], "orvane");
  EXPECT_EQ(g_CommandLineArgs[8], "a8");

  const char* two[] = {"orvane", "/QVCFG"};
  CopyCommandLineArguments(2, const_cast<char**>(two));
  EXPECT_EQ(g_CommandLineCount, 1);
  EXPECT_EQ(g_CommandLineArgs[1], "/QVCFG");
  EXPECT_TRUE(g_CommandLineArgs[2].empty());
}

}  // namespace
