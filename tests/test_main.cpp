#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  // Windows and sound without a display or a sound card.
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
