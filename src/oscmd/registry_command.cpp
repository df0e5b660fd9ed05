// Reading a registry value into a script variable.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/file_names.h"
#include "oscmd/registry_store.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/variables.h"

namespace {

constexpr int kRegistryReadSlot = 78;
// A value is read into a buffer of this many bytes; one more holds the
// terminator the text needs.
constexpr uint32_t kRegistryValueBytes = 1024;

struct RootPrefix {
  const char* mPrefix;
  RegistryRoot mRoot;
};
constexpr RootPrefix kRootPrefixes[] = {
    {"HKEY_CLASSES_ROOT\\", RegistryRoot::kClassesRoot},
    {"HKEY_CURRENT_USER\\", RegistryRoot::kCurrentUser},
    {"HKEY_LOCAL_MACHINE\\", RegistryRoot::kLocalMachine},
    {"HKEY_USERS\\", RegistryRoot::kUsers},
    {"HKEY_PERFORMANCE_DATA\\", RegistryRoot::kPerformanceData},
    {"HKEY_CURRENT_CONFIG\\", RegistryRoot::kCurrentConfig},
    {"HKEY_DYN_DATA\\", RegistryRoot::kDynData},
};

}  // namespace

int32_t CmdRegistryRead() {
  if (FetchCommandArguments(kRegistryReadSlot) != 0) return -1;
  int keySlot = ArgSlot(0);
  int outSlot = ArgSlot(2);
  if (keySlot == 0 || outSlot == 0 || g_ArgString[keySlot] == nullptr) return 0;
  // '/' written between key names becomes '\'.
  std::string path = g_ArgString[keySlot];
  ReplaceSlashesWithBackslashes(path);
  const RootPrefix* root = nullptr;
  for (const RootPrefix& prefix : kRootPrefixes) {
    if (path.compare(0, std::strlen(prefix.mPrefix), prefix.mPrefix) == 0) root = &prefix;
  }
  if (root == nullptr) return 0;
  std::string subKey = path.substr(std::strlen(root->mPrefix));
  int nameSlot = ArgSlot(1);
  const char* name = nameSlot != 0 && g_ArgString[nameSlot] != nullptr ? g_ArgString[nameSlot] : "";
  auto n = static_cast<uint32_t>(g_ArgVarId[outSlot]);
  int64_t e = g_ArgVarElement[outSlot];

  uint8_t value[kRegistryValueBytes + 1] = {};
  uint32_t type = 0;
  uint32_t size = 0;
  if (QueryRegistryValue(root->mRoot, subKey.c_str(), name, &type, value, kRegistryValueBytes, &size) != 0) {
    WriteEmptyElement(n, e);
    return 0;
  }
  const VariableRecord* variable = FindVariableRecord(n);
  if (variable != nullptr && variable->mVarType == kVarString) {
    // A value that fills the buffer still ends: the byte after it is 0.
    value[size < kRegistryValueBytes ? size : kRegistryValueBytes] = 0;
    SetStringElement(n, e, reinterpret_cast<const char*>(value));
  }
  return 0;
}
