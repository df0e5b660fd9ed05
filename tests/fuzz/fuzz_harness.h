#pragma once
// Shared set-up of the loader fuzz targets: a private game folder as the
// current folder, silent dialogs, the fixture game's files in it, and the
// ways an input reaches a loader.
//
// Loaders that read whole files through the data sources get the input from
// memory: it becomes the one file of the compiler output, the source every
// lookup tries before packs and loose files, so no input touches a disk.
// Loaders that open a file themselves (packs, settings files) get the input
// written into the game folder, which lies on a memory file system ($TMPDIR
// when set, else /dev/shm, else /tmp).
//
// The targets change the current folder: give libFuzzer absolute corpus
// folders and an absolute -artifact_prefix (scripts/fuzz-smoke.sh does).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "datasrc/compiler_link.h"
#include "platform/dialogs.h"
#include "platform/game_files.h"
#include "script/script_data.h"
#include "script/script_reset.h"
#include "shell/engine_reset.h"
#include "support/fixture_game.h"
#include "support/script_data_builder.h"
#include "support/script_test_env.h"

namespace fuzz {

inline int SilentBox(void*, const char*, const char*, uint32_t) { return kAnswerOk; }
inline int SilentDialog(void*, const ErrorDialogRequest&) { return kErrorDialogClose; }

// Where the game folder is made: $TMPDIR, else /dev/shm (a memory file
// system on Linux), else /tmp.
inline std::string MemoryFolderRoot() {
  const char* tmp = std::getenv("TMPDIR");
  if (tmp != nullptr && tmp[0] != '\0') return tmp;
  struct stat info {};
  if (stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) && access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return "/tmp";
}

// The fixture game's files, built once.
inline const std::vector<GameFile>& FixtureFiles() {
  static const std::vector<GameFile> files = BuildScriptDataFiles(MakeFixtureGame());
  return files;
}

// The fixture's bytes of one of its files.
inline Bytes FixtureFile(const std::string& name) {
  for (const GameFile& file : FixtureFiles()) {
    if (file.mName == name) return file.mBytes;
  }
  return {};
}

// The game folder's native path (set by SetUpOnce).
inline std::string& GameFolder() {
  static std::string folder;
  return folder;
}

// Once per process: a fresh game folder holding the fixture game, removed
// when the process ends normally; its native path is also the program folder.
inline void SetUpOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  static DialogHooks hooks{SilentBox, SilentDialog, nullptr};
  SetDialogHooks(&hooks);
  static std::string folder = MemoryFolderRoot() + "/orvane-fuzz-XXXXXX";
  if (mkdtemp(folder.data()) == nullptr || chdir(folder.c_str()) != 0) std::abort();
  GameFolder() = folder;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  });
  WriteGameFiles(folder, FixtureFiles());
  InitScriptSectionKey();
}

// Writes the input as a game file of the current folder (for loaders that
// open the file themselves).
inline void WriteInput(const char* name, const uint8_t* data, size_t size) {
  WriteGameFile(".", {name, Bytes(data, data + size)});
}

// Hands the input over as the compiler output's only file: every lookup of
// the name finds it before packs and loose files, and the reader copies it
// from memory. The input must outlive the load; TakeBack ends it.
inline void HandOver(const char* name, const uint8_t* data, size_t size) {
  g_CompilerOutput.assign(1, CompilerOutputRecord{name, static_cast<uint32_t>(size), data});
}
inline void TakeBack() { g_CompilerOutput.clear(); }

// Back to the state before the input: the script engine's start state with
// the script-file key built, as SetUpOnce left it, and no report or quit
// left over. Cheaper than the whole engine's reset, which a target whose
// input reaches further calls itself.
inline void Reset() {
  TakeBack();
  ResetScriptState();
  ResetErrorReporting();
  g_QuitFlag.store(0);
  InitScriptSectionKey();
}

// With ORVANE_FUZZ_SEEDS naming a folder, a starting input of a target is
// written there (once per process and name).
inline void WriteSeed(const std::string& seedName, const Bytes& bytes) {
  const char* folder = std::getenv("ORVANE_FUZZ_SEEDS");
  if (folder == nullptr || folder[0] == '\0') return;
  std::string path = std::string(folder) + "/" + seedName;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// A seed: a few leading bytes of a target's own, then a file.
inline Bytes Prefixed(std::initializer_list<uint8_t> head, const Bytes& tail) {
  Bytes joined(head.size() + tail.size());
  std::copy(head.begin(), head.end(), joined.begin());
  std::copy(tail.begin(), tail.end(), joined.begin() + static_cast<std::ptrdiff_t>(head.size()));
  return joined;
}

// Reads a little-endian word of an input; 0 beyond its end.
inline uint32_t InputLe32(const uint8_t* data, size_t size, size_t at) {
  if (at > size || size - at < 4) return 0;
  return data[at] | data[at + 1] << 8 | data[at + 2] << 16 | static_cast<uint32_t>(data[at + 3]) << 24;
}

// One input for a loader of the script data: the input is handed over as
// the named file (the fixture's own file is the seed; its loose copy is
// removed so that no lookup prefers it), the loader runs, and the state is
// reset.
template <typename Loader>
int RunLoaderInput(const char* fileName, const char* seedName, const uint8_t* data, size_t size, Loader loader) {
  static bool seeded = false;
  SetUpOnce();
  if (!seeded) {
    seeded = true;
    WriteSeed(seedName, FixtureFile(fileName));
    RemoveGameFile(fileName);
  }
  HandOver(fileName, data, size);
  loader();
  Reset();
  return 0;
}

}  // namespace fuzz
