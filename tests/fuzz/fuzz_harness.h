#pragma once
// Shared set-up of the loader fuzz targets: a private game folder as the
// current folder, silent dialogs, and the fixture game's files beside the
// file under test.
#include <unistd.h>

#include <cstdint>
#include <array>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/errors.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "platform/dialogs.h"
#include "script/script_data.h"
#include "support/fixture_game.h"
#include "support/script_data_builder.h"
#include "support/script_test_env.h"

namespace fuzz {

inline int SilentBox(void*, const char*, const char*, uint32_t) { return kAnswerOk; }
inline int SilentDialog(void*, const ErrorDialogRequest&) { return kErrorDialogClose; }

// Once per process: a fresh folder holding the fixture game, removed when
// the process ends normally.
inline void SetUpOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  static DialogHooks hooks{SilentBox, SilentDialog, nullptr};
  SetDialogHooks(&hooks);
  static char folder[] = "/tmp/orvane-fuzz-XXXXXX";
  if (mkdtemp(folder) == nullptr || chdir(folder) != 0) std::abort();
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  });
  WriteGameFiles(folder, BuildScriptDataFiles(MakeFixtureGame()));
  InitScriptSectionKey();
}

// Writes the input as a game file of the current folder.
inline void WriteInput(const char* name, const uint8_t* data, size_t size) {
  WriteGameFile(".", {name, Bytes(data, data + size)});
}

// Back to the state before the input.
inline void Reset() { ResetScriptEngineState(); }

// With ORVANE_FUZZ_SEEDS naming a folder, the fixture's own file for a target
// is written there once, as a starting corpus.
inline void WriteSeed(const char* seedName, const Bytes& bytes) {
  const char* folder = std::getenv("ORVANE_FUZZ_SEEDS");
  if (folder == nullptr) return;
  std::string path = std::string(folder) + "/" + seedName;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// The fixture's bytes of one of its files.
inline Bytes FixtureFile(const std::string& name) {
  for (const GameFile& file : BuildScriptDataFiles(MakeFixtureGame())) {
    if (file.mName == name) return file.mBytes;
  }
  return {};
}

// One input for a loader: the input becomes the named file (the fixture's
// own file is the seed), the loader runs, and the state is reset.
template <typename Loader>
int RunLoaderInput(const char* fileName, const char* seedName, const uint8_t* data, size_t size, Loader loader) {
  static bool seeded = false;
  SetUpOnce();
  if (!seeded) {
    seeded = true;
    WriteSeed(seedName, FixtureFile(fileName));
  }
  WriteInput(fileName, data, size);
  loader();
  Reset();
  return 0;
}

}  // namespace fuzz
