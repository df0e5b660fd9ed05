// Stand-ins until the data sources are built: no packs, and a lookup that
// sees only the loose files of the game folder.
#include "datasrc/pack_index.h"
#include "datasrc/resource_lookup.h"
#include <cstdio>
#include <cstdlib>

#include "platform/game_files.h"
#include "shell/errors.h"
#include "shell/sjis.h"
#include "script/script_data.h"

uint8_t g_ReleaseLayout = 0;
int InitDataKeys() {
  InitScriptSectionKey();
  return 0;
}
int BuildPackIndex() { return 0; }
void ReleasePackIndex() {}

int LocateResource(ResourceLocation* location, const char* name, int) {
  location->mSource = 0;
  location->mType = 0;
  if (!GameFileExists(name)) return 0;
  location->mSource = 1;
  return 1;
}

int FindMediaFile(ResourceLocation* location, char* resolvedName, char* name, int category) {
  if (category != 0 && category != 1 && category != 9) return -1;
  CopySjisBounded(resolvedName, 261, name);
  return LocateResource(location, resolvedName, 1) > 0 ? 0 : 1;
}

int ReadResource(ResourceLocation* location, const char* name) {
  FILE* file = OpenGameFile(name, "rb");
  int64_t size = GetGameFileSize(name);
  if (file == nullptr || size < 0 || size > 0x7FFFFFFF) {
    if (file != nullptr) std::fclose(file);
    return -3;
  }
  auto* data = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size) + 1));
  bool complete = data != nullptr && std::fread(data, 1, static_cast<size_t>(size), file) == static_cast<size_t>(size);
  std::fclose(file);
  if (!complete) {
    std::free(data);
    return -3;
  }
  location->mData = data;
  location->mSize = static_cast<uint32_t>(size);
  return 0;
}

int LoadResourceWhole(ResourceLocation* location, const char* name) {
  if (LocateResource(location, name, 0) == 0) {
    ReportErrorFmt(104060, 1, name);
    return -1;
  }
  return ReadResource(location, name);
}

void ReleaseResourceData(ResourceLocation* location) {
  std::free(location->mData);
  location->mData = nullptr;
  location->mSize = 0;
}
