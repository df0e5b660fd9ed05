#include "oscmd/registry_store.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/registry_file.h"

namespace {

const char* RootName(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kClassesRoot: return "HKEY_CLASSES_ROOT";
    case RegistryRoot::kCurrentUser: return "HKEY_CURRENT_USER";
    case RegistryRoot::kLocalMachine: return "HKEY_LOCAL_MACHINE";
    case RegistryRoot::kUsers: return "HKEY_USERS";
    case RegistryRoot::kPerformanceData: return "HKEY_PERFORMANCE_DATA";
    case RegistryRoot::kCurrentConfig: return "HKEY_CURRENT_CONFIG";
    case RegistryRoot::kDynData: return "HKEY_DYN_DATA";
  }
  return "HKEY_CURRENT_USER";
}

// The whole key path as the store names it: the root's name, '\', the
// sub-key without leading or trailing separators.
std::string KeyPath(RegistryRoot root, const char* subKey) {
  std::string path = RootName(root);
  std::string sub = subKey != nullptr ? subKey : "";
  while (!sub.empty() && sub.front() == '\\') sub.erase(0, 1);
  while (!sub.empty() && sub.back() == '\\') sub.pop_back();
  if (!sub.empty()) path += "\\" + sub;
  return path;
}

}  // namespace

int QueryRegistryValue(RegistryRoot root, const char* subKey, const char* name, uint32_t* type, uint8_t* data,
                       uint32_t capacity, uint32_t* size) {
  uint32_t valueType = 0;
  std::vector<uint8_t> bytes;
  if (!ReadRegistryFileValue(KeyPath(root, subKey), name != nullptr ? name : "", &valueType, &bytes)) return -1;
  if (type != nullptr) *type = valueType;
  if (size != nullptr) *size = static_cast<uint32_t>(bytes.size());
  if (data == nullptr) return 0;
  if (bytes.size() > capacity) return -1;
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  return 0;
}

int SetRegistryValue(RegistryRoot root, const char* subKey, const char* name, uint32_t type, const uint8_t* data,
                     uint32_t size) {
  if (data == nullptr && size != 0) return -1;
  std::vector<uint8_t> bytes(data, data + size);
  return WriteRegistryFileValue(KeyPath(root, subKey), name != nullptr ? name : "", type, bytes) ? 0 : -1;
}

int DeleteRegistryValue(RegistryRoot root, const char* subKey, const char* name) {
  return DeleteRegistryFileValue(KeyPath(root, subKey), name != nullptr ? name : "") ? 0 : -1;
}

int DeleteRegistryKey(RegistryRoot root, const char* subKey) {
  // A root itself is never removed.
  if (subKey == nullptr || subKey[0] == '\0') return -1;
  return DeleteRegistryFileKey(KeyPath(root, subKey)) ? 0 : -1;
}
