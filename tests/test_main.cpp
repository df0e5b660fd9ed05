#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  // Windows and sound without a display or a sound card.
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  // Stores kept in the user's configuration folder (the registry store) go
  // to a folder of this run's own, never to the user's.
  std::string config = (std::filesystem::temp_directory_path() / "orvane-tests-config-XXXXXX").string();
  bool privateConfig = mkdtemp(config.data()) != nullptr;
  if (privateConfig) setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  if (privateConfig) {
    std::error_code ignored;
    std::filesystem::remove_all(config, ignored);
  }
  return result;
}
