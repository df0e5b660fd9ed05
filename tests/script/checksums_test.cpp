#include "datasrc/checksums.h"

#include <gtest/gtest.h>

#include <string>

#include "script/script_data.h"

namespace {

uint32_t Murmur(const std::string& text) { return MurmurHash2(text.data(), text.size()); }

// Values computed with an independent MurmurHash2 implementation (seed 0).
TEST(MurmurHash2Test, MatchesIndependentValues) {
  struct Case {
    std::string mText;
    uint32_t mHash;
  };
  const Case cases[] = {
      {"", 0x00000000u},
      {"a", 0x92685f5eu},
      {"ab", 0x1aa14063u},
      {"abc", 0x13577c9bu},
      {"abcd", 0x26873021u},
      {"SYSTEM", 0x33a82d2au},
      {"SYSTEM_START", 0x674e0092u},
      {"W0", 0xae73b7b7u},
      {"qvbin\\qvt00000.qbn", 0xd02ebe74u},
      // Bytes above 0x7F are mixed as unsigned bytes.
      {"\x82\xa0\x82\xa2x", 0x258da360u},
      {"\xff\xfe\xfd", 0x3d614590u},
  };
  for (const Case& entry : cases) EXPECT_EQ(Murmur(entry.mText), entry.mHash) << entry.mText;
}

TEST(MurmurHash2Test, NamesHashCaseSensitively) { EXPECT_NE(Murmur("system"), Murmur("SYSTEM")); }

TEST(Crc32Test, StandardCheckValues) {
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32("", 0), 0u);
}

TEST(Crc32Test, SectionKeyComesFromTheIdentifier) {
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
