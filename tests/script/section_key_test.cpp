#include "core/checksums.h"

#include <gtest/gtest.h>

#include "script/script_data.h"

namespace {

TEST(ScriptSectionKeyTest, ComesFromTheCrc32OfTheIdentifier) {
  uint8_t key[4];
  MakeScriptSectionKey("revnavro", key);
  // CRC-32 of "revnavro" is 0xBA42EE0F; the key takes its bytes from the most
  // significant one down.
  EXPECT_EQ(key[0], 0xBA);
  EXPECT_EQ(key[1], 0x42);
  EXPECT_EQ(key[2], 0xEE);
  EXPECT_EQ(key[3], 0x0F);
}

}  // namespace
