#include "layer/composition.h"

#include <gtest/gtest.h>

#include "core/process_state.h"

namespace {

// The frame step ends the program on a non-zero result of either routine:
// whatever composes and presents a window answers with the quit flag.
TEST(CompositionContractTest, RenderAndPresentAnswerWithTheQuitFlag) {
  g_QuitFlag.store(0);
  EXPECT_EQ(RenderWindowLayers(0), 0);
  EXPECT_EQ(PresentWindowCpu(0), 0);
  g_QuitFlag.store(1);
  EXPECT_EQ(RenderWindowLayers(0), 1);
  EXPECT_EQ(PresentWindowCpu(0), 1);
  g_QuitFlag.store(0);
}

}  // namespace
