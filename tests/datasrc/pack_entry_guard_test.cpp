// The checks around a pack entry's bytes: the size a compressed entry may
// state, what each zlib failure reports, and that intact bytes are taken
// without reading the repair trailer.
#include <dlfcn.h>
#include <zlib.h>

#include <atomic>
#include <climits>
#include <ostream>
#include <random>
#include <string>

#include "core/byte_order.h"
#include "core/checksums.h"
#include "datasrc/data_source_fixture.h"
#include "datasrc/pack_repair.h"

namespace {

// zlib as the pack reader sees it: every call is counted, and a test can make
// the next call fail with a result of its choice (zlib's only other failure
// in practice is running out of memory, which a test cannot bring about).
// The qcg halves call it from two pixel workers at once, so both are atomic.
constexpr int kNoFailure = INT_MIN;
std::atomic<int> g_uncompressCalls = 0;
std::atomic<int> g_uncompressFailure = kNoFailure;

}  // namespace

// Takes the place of the library's function in this program; the real one
// does the work unless a failure is asked for.
int uncompress(Bytef* destination, uLongf* destinationLength, const Bytef* source, uLong sourceLength) {
  ++g_uncompressCalls;
  int failure = g_uncompressFailure.exchange(kNoFailure);
  if (failure != kNoFailure) return failure;
  using Uncompress = int (*)(Bytef*, uLongf*, const Bytef*, uLong);
  static auto real = reinterpret_cast<Uncompress>(dlsym(RTLD_NEXT, "uncompress"));
  if (real == nullptr) return Z_STREAM_ERROR;
  return real(destination, destinationLength, source, sourceLength);
}

namespace {

class PackEntryGuardTest : public DataSourceTest {
 protected:
  void SetUp() override {
    DataSourceTest::SetUp();
    g_uncompressCalls = 0;
    g_uncompressFailure = kNoFailure;
  }
  void TearDown() override {
    g_uncompressFailure = kNoFailure;
    DataSourceTest::TearDown();
  }

  // One entry "e.bin"; `change` edits the built pack before it is written.
  template <typename Change>
  BuiltPack WriteOneEntry(const PackBuilderEntry& entry, Change change) {
    PackBuilder pack;
    pack.mEntries.push_back(entry);
    BuiltPack built = BuildPack(pack);
    change(&built);
    EXPECT_TRUE(WritePackFile(Native("data.qpf"), built));
    EXPECT_EQ(BuildPackIndex(), 0);
    return built;
  }

  // The one entry "e.bin" these tests read, with its repair trailer.
  static PackBuilderEntry Entry(const std::string& text, bool compressed) {
    return DataSourceTest::Entry("e.bin", text, compressed, true);
  }
};

// zlib never makes more than 1032 bytes of one, so a larger stated size is a
// damaged index: refused before anything is allocated for it or unpacked.
TEST_F(PackEntryGuardTest, AStatedSizeBeyondAnyPackingIsRefusedBeforeUnpacking) {
  const std::string text = RandomText(1000, 11);
  PackBuilderEntry probe = Entry(text, true);
  uint32_t storedSize = BuildPack(PackBuilder{{}, {probe}}).mEntries[0].mStoredSize;
  const uint32_t limit = storedSize * 1032 + 64;
  struct Case {
    uint32_t mStated;
    int mUnpackCalls;
  };
  // At the limit zlib is asked (and delivers fewer bytes than stated); one
  // byte above, and far above, it is not.
  for (const Case& c : {Case{limit, 1}, Case{limit + 1, 0}, Case{0xFFFFFFFFu, 0}}) {
    SCOPED_TRACE(c.mStated);
    ResetErrorReporting();
    g_QuitFlag.store(0);
    PackBuilderEntry entry = probe;
    entry.mUnpackedSize = c.mStated;
    WriteOneEntry(entry, [](BuiltPack*) {});
    g_uncompressCalls = 0;
    EXPECT_EQ(LoadText("e.bin"), "<error -2>");
    EXPECT_EQ(g_uncompressCalls, c.mUnpackCalls);
    EXPECT_EQ(g_LastErrorText, Damaged());
    EXPECT_EQ(g_QuitFlag.load(), 1);
  }
}

struct ZlibFailureCase {
  const char* mLabel;
  int mResult;
  MessageId mMessage;
};

void PrintTo(const ZlibFailureCase& zlibCase, std::ostream* out) { *out << zlibCase.mLabel; }

class ZlibFailureTest : public PackEntryGuardTest, public testing::WithParamInterface<ZlibFailureCase> {};

TEST_P(ZlibFailureTest, EachFailureHasItsMessage) {
  const std::string text = RandomText(3000, 12);
  WriteOneEntry(Entry(text, true), [](BuiltPack*) {});
  g_uncompressFailure = GetParam().mResult;
  ResourceLocation location;
  EXPECT_EQ(LoadResourceWhole(&location, "e.bin"), -2);
  EXPECT_EQ(location.mData, nullptr);
  EXPECT_EQ(g_uncompressCalls, 1) << "no second attempt";
  EXPECT_EQ(g_LastErrorText, ReportText(GetParam().mMessage, "e.bin"));
  EXPECT_EQ(g_QuitFlag.load(), 1);
  ASSERT_EQ(mDialogs.mErrorDialogs.size(), 1u);
  EXPECT_EQ(mDialogs.mErrorDialogs[0].mText, g_LastErrorText);
  // The same entry reads once zlib works again.
  EXPECT_EQ(LoadText("e.bin"), text);
}

INSTANTIATE_TEST_SUITE_P(Results, ZlibFailureTest,
                         testing::Values(ZlibFailureCase{"OutOfMemory", Z_MEM_ERROR, kMsgCannotDecompress},
                                         ZlibFailureCase{"StreamError", Z_STREAM_ERROR, kMsgCannotDecompress},
                                         ZlibFailureCase{"VersionError", Z_VERSION_ERROR, kMsgCannotDecompress},
                                         ZlibFailureCase{"OutputTooSmall", Z_BUF_ERROR, kMsgDecompressBufferTooSmall}),
                         [](const testing::TestParamInfo<ZlibFailureCase>& info) { return info.param.mLabel; });

// Trailers that fail whenever they are read; intact bytes never read them.
TEST_F(PackEntryGuardTest, IntactBytesAreTakenWithoutReadingTheTrailer) {
  const std::string text = RandomText(2500, 13);
  PackBuilder pack;
  pack.mEntries.push_back(Entry(text, false));
  const BuiltPack good = BuildPack(pack);
  const BuiltPackEntry& placed = good.mEntries[0];
  const uint32_t hash = MurmurHash2(text.data(), text.size());

  struct Case {
    const char* mLabel;
    void (*mBreak)(BuiltPack* built, uint64_t trailer);
  };
  const Case cases[] = {
      {"no trailer (P = 0)", [](BuiltPack* built, uint64_t at) { StoreLe32(&built->mBytes[at], 0); }},
      {"parity size 512", [](BuiltPack* built, uint64_t at) { StoreLe32(&built->mBytes[at], 512); }},
      {"block count 7", [](BuiltPack* built, uint64_t at) { StoreLe32(&built->mBytes[at + 4], 7); }},
      {"the pack ends after the bytes", [](BuiltPack* built, uint64_t at) { built->mBytes.resize(at); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mLabel);
    BuiltPack broken = good;
    c.mBreak(&broken, placed.mTrailerOffset);
    ASSERT_TRUE(WritePackFile(Native("t.qpf"), broken));
    PackFileHandle handle;
    ASSERT_TRUE(OpenPackFile(&handle, "t.qpf"));
    ASSERT_TRUE(SeekPackFile(&handle, static_cast<int64_t>(placed.mTrailerOffset)));
    std::string data = text;
    EXPECT_EQ(CheckAndRepairPackData(&handle, reinterpret_cast<uint8_t*>(data.data()), data.size(), hash), 0);
    EXPECT_EQ(TellPackFile(&handle), static_cast<int64_t>(placed.mTrailerOffset)) << "nothing was read";
    EXPECT_EQ(data, text);
    // The same trailer does fail once the bytes need it.
    data[10] ^= 1;
    EXPECT_EQ(CheckAndRepairPackData(&handle, reinterpret_cast<uint8_t*>(data.data()), data.size(), hash), -1);
  }

  std::filesystem::remove(Native("t.qpf"));

  // Through the reader: a stored entry's hash is always checked, and intact
  // bytes load whatever follows them.
  WriteOneEntry(Entry(text, false), [&](BuiltPack* built) { StoreLe32(&built->mBytes[placed.mTrailerOffset], 512); });
  EXPECT_EQ(LoadText("e.bin"), text);
  EXPECT_TRUE(g_LastErrorText.empty());
}

}  // namespace
