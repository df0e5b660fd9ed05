// The pack index at its limit of 200,000 entries: building it (with the
// duplicate check) and looking names up in it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/process_state.h"
#include "datasrc/pack_index.h"
#include "datasrc/resource_lookup.h"
#include "platform/game_files.h"
#include "support/pack_builder.h"
#include "support/temp_folder.h"

namespace {

constexpr int kEntries = 200000;
constexpr int kPacks = 4;

std::string EntryName(int index) {
  char name[32];
  std::snprintf(name, sizeof name, "cg\\ev%06d.png", index);
  return name;
}

// A game folder with four packs of 50,000 entries each, made once and made
// the current folder.
class PackedGame {
 public:
  PackedGame() {
    for (int pack = 0; pack < kPacks; ++pack) {
      PackBuilder builder;
      for (int index = pack; index < kEntries; index += kPacks) {
        AddPackFile(&builder, EntryName(index), std::vector<uint8_t>{static_cast<uint8_t>(index)});
      }
      if (!WritePackFile(mFolder.Path() + "/data" + std::to_string(pack) + ".qpf", builder)) std::abort();
    }
    g_GameFolderNative = mFolder.Path();
    InitProcessPaths("orvane");
  }

 private:
  TempFolder mFolder;
};

PackedGame& Game() {
  static PackedGame game;
  return game;
}

void BM_BuildPackIndex(benchmark::State& state) {
  Game();
  for (auto _ : state) {
    ReleasePackIndex();
    InitDataKeys();
    if (BuildPackIndex() != 0) state.SkipWithError("the index could not be built");
  }
  state.counters["entries"] = static_cast<double>(g_PackEntryTotal);
}
BENCHMARK(BM_BuildPackIndex)->Unit(benchmark::kMillisecond);

// Builds the index once, then reads names spread over all packs through
// `step` (the lookup or the whole load).
template <typename Step>
void RunLookups(benchmark::State& state, Step step) {
  Game();
  ReleasePackIndex();
  InitDataKeys();
  if (BuildPackIndex() != 0) state.SkipWithError("the index could not be built");
  int index = 0;
  for (auto _ : state) {
    std::string name = EntryName(index);
    ResourceLocation location;
    if (!step(&location, name.c_str())) state.SkipWithError("an entry was not found or read");
    index = (index + 7919) % kEntries;
  }
}

void BM_LocateInPackIndex(benchmark::State& state) {
  RunLookups(state, [](ResourceLocation* location, const char* name) {
    return LocateResource(location, name, 0) == SOURCE_PACK;
  });
}
BENCHMARK(BM_LocateInPackIndex)->Unit(benchmark::kMicrosecond);

void BM_LoadFromPack(benchmark::State& state) {
  RunLookups(state, [](ResourceLocation* location, const char* name) {
    bool loaded = LoadResourceWhole(location, name) == 0;
    ReleaseResourceData(location);
    return loaded;
  });
}
BENCHMARK(BM_LoadFromPack)->Unit(benchmark::kMicrosecond);

}  // namespace
