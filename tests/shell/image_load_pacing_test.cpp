// The time an image load takes is not counted as lag: after a load the frame
// pacing starts its time base over, so a slow load makes the next frame wait
// its full interval instead of skipping its drawing.
#include <gtest/gtest.h>

#include <string>

#include "core/process_state.h"
#include "image/pixel_buffers.h"
#include "shell/engine_reset.h"
#include "shell/entry.h"
#include "shell/frame.h"
#include "support/fake_clock.h"
#include "support/image_fixtures.h"
#include "support/image_test_env.h"
#include "support/temp_folder.h"

namespace {

class ImageLoadPacingTest : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    ResetEngineState();
    g_FrameSkip = 1;
    PaceFrame();  // the first frame starts the time base
    PaceFrame();  // one frame on time
    BmpFixture bmp;
    bmp.mWidth = 2;
    bmp.mHeight = 2;
    bmp.mPixels = {0xFF112233u, 0xFF445566u, 0xFF778899u, 0xFFAABBCCu};
    WriteBytes(folder, "pic.bmp", WriteBmp(bmp));
    clock.mSleeps.clear();
  }
  void TearDown() override { ResetEngineState(); }

  uint32_t NextIntervalMs() const { return ((g_FrameIntervalFixed & 0xFFFF) + 65536000u / 60) >> 16; }

  FakeClock clock{100000};
  TempFolder folder;
  ImageReportRecorder reports;
};

TEST_F(ImageLoadPacingTest, WithoutALoadA100MillisecondFrameSkipsTheNextDrawing) {
  clock.Advance(100);
  EXPECT_EQ(PaceFrame(), 1);
}

TEST_P(ImageLoadPacingTest, AfterALoadTheNextFrameWaitsItsFullInterval) {
  clock.Advance(100);  // the load and what came before it in this frame
  ScopedLayerRecord record;
  ASSERT_EQ(LoadImageFile(record.get(), GetParam()), 0);
  EXPECT_EQ(reports.LastReport(), "");
  EXPECT_EQ(g_LastFrameTime, clock.Now());
  uint32_t interval = NextIntervalMs();
  EXPECT_EQ(PaceFrame(), 0) << "the load is not lag";
  ASSERT_EQ(clock.mSleeps.size(), 1u);
  EXPECT_EQ(clock.mSleeps[0], interval);
}

// A file that decodes, and a name no source holds (the empty image).
INSTANTIATE_TEST_SUITE_P(Loads, ImageLoadPacingTest, testing::Values("pic.bmp", "missing.png"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.index == 0 ? "DecodedFile" : "EmptyImage");
                         });

}  // namespace
