// Stand-ins until the per-user registry store is built: the store is empty
// and refuses writes.
#include "core/stand_in.h"
#include "oscmd/registry_store.h"

int QueryRegistryValue(RegistryRoot, const char*, const char*, uint32_t*, uint8_t*, uint32_t, uint32_t*) {
  STAND_IN();
  return -1;
}
int SetRegistryValue(RegistryRoot, const char*, const char*, uint32_t, const uint8_t*, uint32_t) {
  STAND_IN();
  return -1;
}
int DeleteRegistryValue(RegistryRoot, const char*, const char*) {
  STAND_IN();
  return -1;
}
int DeleteRegistryKey(RegistryRoot, const char*) {
  STAND_IN();
  return -1;
}
