#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "datasrc/compression.h"
#include "shell/engine_reset.h"

namespace {

class CompressionTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(LoadCompressionLibrary(), 0); }
  void TearDown() override { ResetEngineState(); }

  std::string Compress(const std::string& raw) {
    std::string packed(g_SnpApi.mCompressedLength(raw.size()), '\0');
    size_t length = packed.size();
    EXPECT_EQ(g_SnpApi.mCompress(raw.data(), raw.size(), packed.data(), &length), 0);
    packed.resize(length);
    return packed;
  }
};

TEST_F(CompressionTest, RoundTripsRepetitiveAndRandomData) {
  std::mt19937 random(7);
  std::string noise(70000, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  for (const std::string& raw : {std::string(), std::string(100000, 'a'), noise, std::string("VAL_ID")}) {
    std::string packed = Compress(raw);
    size_t stored = 0;
    ASSERT_EQ(g_SnpApi.mUncompressedLength(packed.data(), packed.size(), &stored), 0);
    EXPECT_EQ(stored, raw.size());
    std::string back(raw.size(), '\0');
    size_t length = back.size();
    ASSERT_EQ(g_SnpApi.mUncompress(packed.data(), packed.size(), back.data(), &length), 0);
    EXPECT_EQ(length, raw.size());
    EXPECT_EQ(back, raw);
  }
}

TEST_F(CompressionTest, DamagedInputAndTooLittleRoomAreRefused) {
  std::string raw(5000, 'q');
  for (size_t i = 0; i < raw.size(); i += 7) raw[i] = static_cast<char>(i);
  std::string packed = Compress(raw);
  std::string out(raw.size(), '\0');

  size_t small = raw.size() - 1;
  EXPECT_NE(g_SnpApi.mUncompress(packed.data(), packed.size(), out.data(), &small), 0);

  std::string cut = packed.substr(0, packed.size() / 2);
  size_t length = out.size();
  EXPECT_NE(g_SnpApi.mUncompress(cut.data(), cut.size(), out.data(), &length), 0);

  std::string garbage = "\xff\xff\xff\xff\x0f garbage";
  length = out.size();
  EXPECT_NE(g_SnpApi.mUncompress(garbage.data(), garbage.size(), out.data(), &length), 0);
}

}  // namespace
