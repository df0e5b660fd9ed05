#include "core/checksums.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

TEST(Crc32Test, CheckValues) {
  EXPECT_EQ(Crc32("", 0), 0u);
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32("The quick brown fox jumps over the lazy dog", 43), 0x414FA339u);
}

TEST(Crc32Test, MatchesZlibAtEveryLengthAndAlignment) {
  std::mt19937 random(7);
  std::vector<uint8_t> bytes(80);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
  for (size_t start = 0; start < 4; ++start) {
    for (size_t length = 0; length + start <= 70; ++length) {
      EXPECT_EQ(Crc32(bytes.data() + start, length),
                static_cast<uint32_t>(crc32(0, bytes.data() + start, static_cast<uInt>(length))))
          << "start " << start << " length " << length;
    }
  }
}

TEST(MurmurHash2Test, PinnedValues) {
  // Values from an independent implementation (seed 0).
  struct Case {
    std::string mBytes;
    uint32_t mHash;
  };
  const Case cases[] = {
      {"", 0x0u},
      {"a", 0x92685f5eu},
      {"ab", 0x1aa14063u},
      {"abc", 0x13577c9bu},
      {"abcd", 0x26873021u},
      {"qvbin\\qvcfg.qbn", 0x028fa48au},
      {"\x82\xa0\xff\x80\x7f", 0x00aada08u},  // trailing bytes mixed unsigned
      {"SYSTEM", 0x33a82d2au},
      {"SYSTEM_START", 0x674e0092u},
      {"W0", 0xae73b7b7u},
      {"qvbin\\qvt00000.qbn", 0xd02ebe74u},
      // Bytes above 0x7F are mixed as unsigned bytes.
      {"\x82\xa0\x82\xa2x", 0x258da360u},
      {"\xff\xfe\xfd", 0x3d614590u},
  };
  for (const Case& item : cases) {
    EXPECT_EQ(MurmurHash2(item.mBytes.data(), item.mBytes.size()), item.mHash) << item.mBytes;
  }
}

// Tree names are hashed as they stand.
TEST(MurmurHash2Test, NamesHashCaseSensitively) { EXPECT_NE(MurmurHash2("system", 6), MurmurHash2("SYSTEM", 6)); }
