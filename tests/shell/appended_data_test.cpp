// The data block appended to the program file, the preview picture and the
// screen-saver switches; and single-file games made by the tool.
#include "shell/appended_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/byte_order.h"
#include "core/errors.h"
#include "core/process_state.h"
#include "datasrc/pack_index.h"
#include "shell/engine_reset.h"
#include "single_file/single_file.h"
#include "support/dialog_recorder.h"
#include "support/fixture_game.h"
#include "support/run_program.h"
#include "support/script_assembler.h"
#include "support/script_runner.h"
#include "support/temp_folder.h"
#include "support/x11_session.h"

namespace {

constexpr size_t kFakeProgramBytes = 300;

// A 24-bit bitmap file: width x height, rows bottom-up (or top-down for a
// negative height), each pixel (B, G, R) = (x, y, 7).
std::vector<uint8_t> Bitmap(int32_t width, int32_t height, uint16_t bits = 24) {
  int32_t rows = height < 0 ? -height : height;
  size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  std::vector<uint8_t> file(kPreviewHeaderBytes + stride * static_cast<size_t>(rows));
  file[0] = 'B';
  file[1] = 'M';
  StoreLe32(file.data() + 2, static_cast<uint32_t>(file.size()));
  StoreLe32(file.data() + 10, 54);
  StoreLe32(file.data() + 14, 40);
  StoreLe32(file.data() + 18, static_cast<uint32_t>(width));
  StoreLe32(file.data() + 22, static_cast<uint32_t>(height));
  StoreLe16(file.data() + 26, 1);
  StoreLe16(file.data() + 28, bits);
  for (int32_t y = 0; y < rows; ++y) {
    int32_t stored = height < 0 ? y : rows - 1 - y;
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* at = file.data() + kPreviewHeaderBytes + static_cast<size_t>(stored) * stride + x * 3;
      at[0] = static_cast<uint8_t>(x);
      at[1] = static_cast<uint8_t>(y);
      at[2] = 7;
    }
  }
  return file;
}

class AppendedDataTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEngineState(); }
  void TearDown() override { ResetEngineState(); }

  // A program file of kFakeProgramBytes followed by `appended`.
  void WriteProgram(const std::vector<uint8_t>& appended) {
    std::string bytes(kFakeProgramBytes, 'P');
    bytes.append(appended.begin(), appended.end());
    mFolder.WriteFile("program", bytes);
    SetAppendedDataProgramFile(mFolder.Path() + "/program");
  }

  TempFolder mFolder{false};
  DialogRecorder mDialogs;
};

TEST_F(AppendedDataTest, AProgramWithoutATrailerHasNoAppendedData) {
  WriteProgram({});
  EXPECT_EQ(CheckAppendedData(), 0);
  EXPECT_EQ(g_DataAppended, 0);
  EXPECT_EQ(g_AppendedBlockOffset, kFakeProgramBytes) << "the offset is the program's own size";
  EXPECT_EQ(g_ProgramFileSize, kFakeProgramBytes);
  EXPECT_TRUE(mDialogs.mBoxes.empty());
}

TEST_F(AppendedDataTest, AValidBlockSwitchesToItsPackData) {
  std::vector<uint8_t> pack = {'Q', 'P', 'F', 0, 1, 2, 3};
  WriteProgram(BuildAppendedData(kFakeProgramBytes, pack, {}));
  EXPECT_EQ(CheckAppendedData(), 1);
  EXPECT_EQ(g_DataAppended, 1);
  EXPECT_EQ(g_ReleaseLayout, 1);
  EXPECT_EQ(g_ScreenSaverMode, 0);
  EXPECT_EQ(g_AppendedPackOffset, 16);
  EXPECT_EQ(g_AppendedPackBase, static_cast<int64_t>(kFakeProgramBytes + 16));
  EXPECT_EQ(g_AppendedPackEnd, static_cast<int64_t>(kFakeProgramBytes + 16 + pack.size()));
  EXPECT_EQ(g_AppendedDataFile, mFolder.Path() + "/program");
}

TEST_F(AppendedDataTest, APreviewMakesAScreenSaverAndIsReadBack) {
  WriteProgram(BuildAppendedData(kFakeProgramBytes, {'Q', 'P', 'F', 0}, Bitmap(3, 2)));
  ASSERT_EQ(CheckAppendedData(), 1);
  EXPECT_EQ(g_ScreenSaverMode, 1);
  EXPECT_EQ(g_AppendedPackOffset, static_cast<int64_t>(16 + Bitmap(3, 2).size()));
  PreviewPicture picture;
  ASSERT_TRUE(LoadPreviewPicture(&picture));
  EXPECT_EQ(picture.mWidth, 3);
  EXPECT_EQ(picture.mHeight, 2);
  // Row 1, column 2 of the top-down copy.
  const uint8_t* pixel = picture.mPixels.data() + (1 * 3 + 2) * 4;
  EXPECT_EQ(pixel[0], 2);
  EXPECT_EQ(pixel[1], 1);
  EXPECT_EQ(pixel[2], 7);
}

struct DamageCase {
  const char* mName;
  // Changes the appended bytes (block at 0, trailer at the end).
  void (*mDamage)(std::vector<uint8_t>* appended);
};

class DamagedBlockTest : public AppendedDataTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedBlockTest, IsRefusedWithTheBoxAndTheProgramEnds) {
  std::vector<uint8_t> appended = BuildAppendedData(kFakeProgramBytes, {'Q', 'P', 'F', 0, 9, 9}, Bitmap(2, 2));
  GetParam().mDamage(&appended);
  WriteProgram(appended);
  EXPECT_EQ(CheckAppendedData(), -1);
  EXPECT_EQ(g_DataAppended, 0);
  ASSERT_EQ(mDialogs.mBoxes.size(), 1u);
  EXPECT_EQ(mDialogs.mBoxes[0].mText, "FS");
}

uint8_t* Trailer(std::vector<uint8_t>* appended) { return appended->data() + appended->size() - kAppendedTrailerBytes; }

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedBlockTest,
    ::testing::Values(
        DamageCase{"OffsetPastTheFile", [](std::vector<uint8_t>* a) { StoreLe64(Trailer(a) + 8, 1u << 30); }},
        DamageCase{"OffsetIntoTheTrailer",
                   [](std::vector<uint8_t>* a) { StoreLe64(Trailer(a) + 8, kFakeProgramBytes + a->size() - 20); }},
        DamageCase{"OffsetAtAnotherPlace", [](std::vector<uint8_t>* a) { StoreLe64(Trailer(a) + 8, 10); }},
        DamageCase{"BlockMagic", [](std::vector<uint8_t>* a) { (*a)[0] = 'X'; }},
        DamageCase{"PackPositionPastTheEnd", [](std::vector<uint8_t>* a) { StoreLe32(a->data() + 4, 0x7FFFFFFF); }},
        DamageCase{"PackPositionInsideTheHeader", [](std::vector<uint8_t>* a) { StoreLe32(a->data() + 4, 4); }},
        DamageCase{"PreviewSizePastTheEnd", [](std::vector<uint8_t>* a) { StoreLe32(a->data() + 8, 0xFFFFFFF0u); }}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.mName); });

TEST_F(AppendedDataTest, AProgramFileThatCannotBeReadEndsTheProgram) {
  SetAppendedDataProgramFile(mFolder.Path() + "/missing");
  EXPECT_EQ(CheckAppendedData(), -1);
  ASSERT_EQ(mDialogs.mBoxes.size(), 1u);
  EXPECT_EQ(mDialogs.mBoxes[0].mText, "FS");
}

struct PreviewCase {
  const char* mName;
  std::vector<uint8_t> mFile;
  bool mDecoded;
};

class PreviewBitmapTest : public ::testing::TestWithParam<PreviewCase> {};

std::vector<uint8_t> Cut(std::vector<uint8_t> file, size_t size) {
  file.resize(size);
  return file;
}

TEST_P(PreviewBitmapTest, OnlyA24BitPictureThatFitsItsFileIsDecoded) {
  const PreviewCase& c = GetParam();
  PreviewPicture picture;
  EXPECT_EQ(DecodePreviewBitmap(c.mFile, &picture), c.mDecoded);
  if (c.mDecoded) {
    EXPECT_EQ(picture.mPixels.size(), static_cast<size_t>(picture.mWidth) * picture.mHeight * 4);
    // The top row is y = 0 whichever way the rows were stored.
    EXPECT_EQ(picture.mPixels[1], 0);
    EXPECT_EQ(picture.mPixels[(static_cast<size_t>(picture.mHeight) - 1) * picture.mWidth * 4 + 1],
              picture.mHeight - 1);
  } else {
    EXPECT_TRUE(picture.mPixels.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PreviewBitmapTest,
    ::testing::Values(PreviewCase{"BottomUp", Bitmap(5, 3), true}, PreviewCase{"TopDown", Bitmap(3, -4), true},
                      PreviewCase{"ThirtyTwoBits", Bitmap(2, 2, 32), false},
                      PreviewCase{"RowsCutShort", Cut(Bitmap(4, 4), kPreviewHeaderBytes + 20), false},
                      PreviewCase{"HeaderOnly", Cut(Bitmap(1, 1), 53), false},
                      PreviewCase{"Empty", {}, false}, PreviewCase{"ZeroWidth", Bitmap(0, 2), false},
                      PreviewCase{"HugeWidthFromTheHeader",
                                  [] {
                                    std::vector<uint8_t> file = Bitmap(1, 1);
                                    StoreLe32(file.data() + 18, 0x40000000);
                                    return file;
                                  }(),
                                  false}),
    [](const ::testing::TestParamInfo<PreviewCase>& info) { return std::string(info.param.mName); });

struct SwitchCase {
  const char* mName;
  std::vector<std::string> mArguments;  // after the program name
  int mResult;
  bool mVersionBox;
};

class ScreenSaverSwitchTest : public AppendedDataTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(ScreenSaverSwitchTest, TheSwitchDecidesWhetherTheGameRuns) {
  const SwitchCase& c = GetParam();
  std::vector<std::string> texts = {"game"};
  texts.insert(texts.end(), c.mArguments.begin(), c.mArguments.end());
  std::vector<char*> arguments;
  for (std::string& text : texts) arguments.push_back(text.data());
  arguments.push_back(nullptr);
  g_ArgumentCount = static_cast<int>(texts.size());
  g_ArgumentVector = arguments.data();
  EXPECT_EQ(HandleScreenSaverArguments() != 0 ? 1 : 0, c.mResult);
  if (c.mVersionBox) {
    ASSERT_EQ(mDialogs.mBoxes.size(), 1u);
    EXPECT_EQ(mDialogs.mBoxes[0].mCaption, "情報");
    EXPECT_EQ(mDialogs.mBoxes[0].mText, "スクリーンセーバー\n\nVersion 1.00");
  } else {
    EXPECT_TRUE(mDialogs.mBoxes.empty());
  }
  g_ArgumentCount = 0;
  g_ArgumentVector = nullptr;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScreenSaverSwitchTest,
    ::testing::Values(SwitchCase{"NoArgumentsShowsTheVersion", {}, 1, true},
                      SwitchCase{"ConfigureShowsTheVersion", {"/c"}, 1, true},
                      SwitchCase{"DashAndUpperCaseWorkAlike", {"-C"}, 1, true},
                      SwitchCase{"ConfigureWithAWindowRuns", {"/c", "123"}, 0, false},
                      SwitchCase{"FullScreenRuns", {"/s"}, 0, false},
                      SwitchCase{"PasswordEnds", {"/a", "77"}, 1, false},
                      // No X11 window here: the preview ends quietly.
                      SwitchCase{"PreviewEndsQuietlyWithoutItsWindow", {"/P", "0x400007"}, 1, false},
                      SwitchCase{"PreviewWithoutAWindowRuns", {"/p"}, 0, false},
                      SwitchCase{"TooShortRuns", {"/"}, 0, false},
                      SwitchCase{"NotASwitchRuns", {"s"}, 0, false}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return std::string(info.param.mName); });

// Single-file games started as a user starts them, without a game folder.
class SingleFileGameTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_RUNTIME_DIR", mRuntime.Path().c_str(), 1); }
  void TearDown() override { ResetEngineState(); }

  // A game whose script reports a tagged message (a menu item without a
  // text), so that its output shows that the script ran.
  std::string WritePack() {
    ScriptRunner game;
    ScriptAssembler code = game.Script(0);
    code.Label("SYSTEM_START");
    code.Op("menu", {{"path", Str("proof")}});
    game.Add(code);
    std::string pack = mWork.Path() + "/game.qpf";
    EXPECT_TRUE(WriteGamePack(pack, BuildScriptDataFiles(game.mData)));
    return pack;
  }
  ProgramResult Run(const std::string& program, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), program);
    std::vector<std::string> environment = {"ORVANE_UNATTENDED=1", "SDL_VIDEODRIVER=offscreen",
                                            "SDL_AUDIODRIVER=dummy", "XDG_RUNTIME_DIR=" + mRuntime.Path()};
    // Started from an empty folder: nothing but the program holds the game.
    TempFolder empty;
    return RunProgram(arguments, environment, 30000);
  }
  std::string Make(const std::string& pack, const std::vector<uint8_t>& preview) {
    std::string output = mWork.Path() + "/game" + std::to_string(mMade++);
    SingleFileParts parts;
    parts.mEngine = ORVANE_BINARY_PATH;
    parts.mPack = pack;
    parts.mPreview = preview;
    EXPECT_EQ(MakeSingleFileGame(parts, output), "");
    return output;
  }

  TempFolder mRuntime{false};
  TempFolder mWork{false};
  int mMade = 0;
};

TEST_F(SingleFileGameTest, TheToolsGameRunsWithoutAFolder) {
  std::string pack = WritePack();
  std::string program = mWork.Path() + "/tool-made";
  ProgramResult made = RunProgram({ORVANE_MAKE_SINGLE_FILE_PATH, ORVANE_BINARY_PATH, pack, program}, {}, 30000);
  ASSERT_EQ(made.mExitCode, 0) << made.mOutput;
  ProgramResult result = Run(program, {});
  EXPECT_FALSE(result.mTimedOut);
  EXPECT_NE(result.mOutput.find("E100260"), std::string::npos) << result.mOutput;
}

TEST_F(SingleFileGameTest, ADamagedTrailerIsRefused) {
  std::string program = Make(WritePack(), {});
  // The trailer points past the file.
  {
    FILE* file = std::fopen(program.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fseek(file, -8, SEEK_END), 0);
    uint8_t offset[8];
    StoreLe64(offset, uint64_t{1} << 40);
    ASSERT_EQ(std::fwrite(offset, 1, 8, file), 8u);
    std::fclose(file);
  }
  ProgramResult result = Run(program, {});
  EXPECT_FALSE(result.mTimedOut);
  EXPECT_EQ(result.mExitCode, 0);
  EXPECT_NE(result.mOutput.find("FS"), std::string::npos) << result.mOutput;
  EXPECT_EQ(result.mOutput.find("E100260"), std::string::npos) << result.mOutput;
}

TEST_F(SingleFileGameTest, AScreenSaverShowsItsVersionWithoutArgumentsAndRunsWithS) {
  std::string program = Make(WritePack(), Bitmap(4, 3));
  ProgramResult plain = Run(program, {});
  EXPECT_FALSE(plain.mTimedOut);
  EXPECT_NE(plain.mOutput.find("Version 1.00"), std::string::npos) << plain.mOutput;
  EXPECT_EQ(plain.mOutput.find("E100260"), std::string::npos) << plain.mOutput;
  ProgramResult saver = Run(program, {"/s"});
  EXPECT_FALSE(saver.mTimedOut);
  EXPECT_NE(saver.mOutput.find("E100260"), std::string::npos) << saver.mOutput;
}

// The control panel's little window is another program's: the preview is
// drawn inside it, read back from the X server, and ends when it goes.
TEST_F(SingleFileGameTest, ThePreviewIsDrawnInsideTheWindowItIsGiven) {
  X11Session x11;
  std::string why;
  if (!x11.Start(&why)) GTEST_SKIP() << why;
  std::string program = Make(WritePack(), Bitmap(8, 6));
  constexpr int kHostWidth = 40;
  constexpr int kHostHeight = 30;
  uint64_t host = x11.CreatePlainWindow(kHostWidth, kHostHeight);
  // The picture at the top-left corner, black around it.
  std::vector<uint32_t> expected;
  for (int y = 0; y < kHostHeight; ++y) {
    for (int x = 0; x < kHostWidth; ++x) {
      expected.push_back(x < 8 && y < 6 ? 0x070000u | static_cast<uint32_t>(y << 8) | static_cast<uint32_t>(x) : 0u);
    }
  }
  BackgroundProgram preview =
      StartProgram({program, "/p", std::to_string(host)},
                   {"ORVANE_UNATTENDED=1", "SDL_VIDEODRIVER=x11", "DISPLAY=" + x11.DisplayName(),
                    "SDL_AUDIODRIVER=dummy", "XDG_RUNTIME_DIR=" + mRuntime.Path()});
  std::vector<uint32_t> shown;
  for (int tries = 0; tries < 200 && shown != expected; ++tries) {
    usleep(50000);
    shown = x11.ReadPixels(host, kHostWidth, kHostHeight);
  }
  EXPECT_EQ(shown, expected);
  EXPECT_TRUE(IsProgramRunning(preview)) << "the preview stays until its window goes";
  x11.DestroyPlainWindow(host);
  ProgramResult ended = FinishProgram(&preview, 10000);
  EXPECT_FALSE(ended.mTimedOut) << ended.mOutput;
  EXPECT_EQ(ended.mExitCode, 0) << ended.mOutput;
  // Only the preview ran: the game's script never started.
  EXPECT_EQ(ended.mOutput.find("E100260"), std::string::npos) << ended.mOutput;
}

}  // namespace
