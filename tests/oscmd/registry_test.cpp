// The per-user registry store and the registry read command.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/errors.h"
#include "oscmd/registry_store.h"
#include "platform/registry_file.h"
#include "support/script_assembler.h"
#include "support/script_runner.h"
#include "support/temp_folder.h"

namespace {

// The store lives in a configuration folder of the test's own.
class RegistryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    mOld = old != nullptr ? old : "";
    mHadOld = old != nullptr;
    setenv("XDG_CONFIG_HOME", mConfig.Path().c_str(), 1);
  }
  void TearDown() override {
    if (mHadOld) {
      setenv("XDG_CONFIG_HOME", mOld.c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
  }
  static int Set(const char* key, const char* name, uint32_t type, const std::vector<uint8_t>& data) {
    return SetRegistryValue(RegistryRoot::kCurrentUser, key, name, type, data.data(),
                            static_cast<uint32_t>(data.size()));
  }
  static std::vector<uint8_t> Text(const std::string& text) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
  }

  TempFolder mConfig{false};
  std::string mOld;
  bool mHadOld = false;
};

struct StoredValue {
  const char* mName;
  uint32_t mType;
  std::vector<uint8_t> mData;
};

TEST_F(RegistryStoreTest, EveryTypeComesBackAsStored) {
  const std::vector<StoredValue> values = {
      {"Text", kRegistryString, {'a', '=', '[', 'b', ']', '\n', 0}},
      {"Japanese", kRegistryString, {0x83, 0x51, 0x81, 0x5B, 0x83, 0x80, 0}},
      {"Expand", kRegistryExpandString, {'%', 'P', 'A', 'T', 'H', '%', 0}},
      {"Number", kRegistryDword, {0x78, 0x56, 0x34, 0x12}},
      {"Big", kRegistryQword, {1, 2, 3, 4, 5, 6, 7, 0x88}},
      {"Blob", kRegistryBinary, {0, 0xFF, 0x10}},
      {"Multi", kRegistryMultiString, {'a', 0, 'b', 0, 0}},
      {"", kRegistryString, {'d', 'e', 'f', 0}},
      {"Odd=Name@#", kRegistryDword, {1, 0, 0, 0}},
      // Text that is not Shift-JIS is kept byte for byte.
      {"Raw", kRegistryString, {0x81, 0x20, 0}},
  };
  for (const StoredValue& value : values) {
    ASSERT_EQ(Set("Software\\Test\\\x83\x51", value.mName, value.mType, value.mData), 0) << value.mName;
  }
  for (const StoredValue& value : values) {
    uint32_t type = 0;
    uint32_t size = 0;
    uint8_t data[64] = {};
    ASSERT_EQ(QueryRegistryValue(RegistryRoot::kCurrentUser, "Software\\Test\\\x83\x51", value.mName, &type, data,
                                 sizeof data, &size),
              0)
        << value.mName;
    EXPECT_EQ(type, value.mType) << value.mName;
    EXPECT_EQ(std::vector<uint8_t>(data, data + size), value.mData) << value.mName;
  }
}

TEST_F(RegistryStoreTest, NamesMatchWithoutRegardToCaseAndRootsAreApart) {
  ASSERT_EQ(Set("Software\\Game", "Volume", kRegistryDword, {5, 0, 0, 0}), 0);
  uint32_t type = 0;
  uint32_t size = 0;
  uint8_t data[4] = {};
  EXPECT_EQ(QueryRegistryValue(RegistryRoot::kCurrentUser, "SOFTWARE\\game", "volume", &type, data, 4, &size), 0);
  EXPECT_EQ(data[0], 5);
  EXPECT_EQ(QueryRegistryValue(RegistryRoot::kLocalMachine, "Software\\Game", "Volume", &type, data, 4, &size), -1);
  EXPECT_EQ(QueryRegistryValue(RegistryRoot::kCurrentUser, "Software\\Game", "Missing", &type, data, 4, &size), -1);
  // Too long for the buffer: refused, with the size told.
  EXPECT_EQ(QueryRegistryValue(RegistryRoot::kCurrentUser, "Software\\Game", "Volume", &type, data, 3, &size), -1);
  EXPECT_EQ(size, 4u);
  // Overwriting keeps one entry under the stored spelling.
  ASSERT_EQ(Set("software\\GAME", "VOLUME", kRegistryDword, {9, 0, 0, 0}), 0);
  EXPECT_EQ(QueryRegistryValue(RegistryRoot::kCurrentUser, "Software\\Game", "Volume", &type, data, 4, &size), 0);
  EXPECT_EQ(data[0], 9);
  std::string file = mConfig.ReadFile("orvane/registry");
  EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Game]"), std::string::npos) << file;
  EXPECT_EQ(file.find("GAME"), std::string::npos) << file;
}

TEST_F(RegistryStoreTest, DeletesRemoveValuesAndKeysWithoutSubKeys) {
  ASSERT_EQ(Set("Software\\A", "v", kRegistryDword, {1, 0, 0, 0}), 0);
  ASSERT_EQ(Set("Software\\A\\B", "w", kRegistryDword, {2, 0, 0, 0}), 0);
  EXPECT_EQ(DeleteRegistryValue(RegistryRoot::kCurrentUser, "Software\\A", "missing"), -1);
  EXPECT_EQ(DeleteRegistryKey(RegistryRoot::kCurrentUser, "Software\\A"), -1) << "it still has a sub-key";
  EXPECT_EQ(DeleteRegistryKey(RegistryRoot::kCurrentUser, "Software\\A\\B"), 0);
  EXPECT_EQ(DeleteRegistryKey(RegistryRoot::kCurrentUser, "Software\\A\\B"), -1);
  EXPECT_EQ(DeleteRegistryValue(RegistryRoot::kCurrentUser, "Software\\A", "V"), 0);
  uint32_t type = 0;
  uint32_t size = 0;
  EXPECT_EQ(QueryRegistryValue(RegistryRoot::kCurrentUser, "Software\\A", "v", &type, nullptr, 0, &size), -1);
  EXPECT_EQ(DeleteRegistryKey(RegistryRoot::kCurrentUser, "Software\\A"), 0);
  EXPECT_EQ(DeleteRegistryKey(RegistryRoot::kCurrentUser, ""), -1) << "a root is never removed";
}

TEST_F(RegistryStoreTest, AStoreThatCannotBeReadIsNeitherUsedNorOverwritten) {
  // Larger than the store is allowed to be.
  mConfig.WriteFile("orvane/registry", "[HKEY_CURRENT_USER\\K]\nv=dword:1\n" +
                                           std::string(static_cast<size_t>(kRegistryFileLimit), '#'));
  uint32_t type = 0;
  uint32_t size = 0;
  EXPECT_EQ(QueryRegistryValue(RegistryRoot::kCurrentUser, "K", "v", &type, nullptr, 0, &size), -1);
  EXPECT_EQ(Set("K", "w", kRegistryDword, {1, 0, 0, 0}), -1);
  EXPECT_GT(mConfig.ReadFile("orvane/registry").size(), static_cast<size_t>(kRegistryFileLimit));
  // A damaged value reads as missing.
  mConfig.WriteFile("orvane/registry", "[HKEY_CURRENT_USER\\K]\nv=dword:99999999999\nw=hex:0g\nx=nothing\n");
  for (const char* name : {"v", "w", "x"}) {
    EXPECT_EQ(QueryRegistryValue(RegistryRoot::kCurrentUser, "K", name, &type, nullptr, 0, &size), -1) << name;
  }
}

// The read command, from a store the test writes.
class RegistryReadTest : public RegistryStoreTest {
 protected:
  void Read(std::vector<std::pair<std::string, std::string>> reads, uint32_t out) {
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    for (const auto& [key, name] : reads) {
      code.Op("registry", {{"key", Str(key)}, {"value", Str(name)}, {"out", Var(out)}});
    }
    code.Op("wait", {{"frames", Num(1)}});
    mGame.Add(code);
    ASSERT_TRUE(mGame.Load());
    mGame.Frame();
  }
  ScriptRunner mGame;
};

TEST_F(RegistryReadTest, AStringValueReachesAStringVariable) {
  ASSERT_EQ(Set("Software\\Game\\\x83\x51", "Name", kRegistryString, Text("\x8e\x84\x82\xcc\x96\xbc\x91\x4f")), 0);
  Read({{"HKEY_CURRENT_USER/Software/Game/\x83\x51", "Name"}}, kRunText);
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(TextVar(kRunText), "\x8e\x84\x82\xcc\x96\xbc\x91\x4f");
}

TEST_F(RegistryReadTest, ANumberVariableIsLeftAsItWasAfterASuccessfulRead) {
  ASSERT_EQ(Set("Software\\Game", "Count", kRegistryDword, {7, 0, 0, 0}), 0);
  ScriptAssembler code = mGame.Script(0);
  code.Label("SYSTEM_START");
  code.Op("assign", {{"target", Var(kRunInt)}, {"value", Num(42)}});
  code.Op("registry", {{"key", Str("HKEY_CURRENT_USER\\Software\\Game")}, {"value", Str("Count")}, {"out", Var(kRunInt)}});
  code.Op("assign", {{"target", Var(kRunInt2)}, {"value", Num(42)}});
  code.Op("registry", {{"key", Str("HKEY_CURRENT_USER\\Software\\Game")}, {"value", Str("None")}, {"out", Var(kRunInt2)}});
  code.Op("wait", {{"frames", Num(1)}});
  mGame.Add(code);
  ASSERT_TRUE(mGame.Load());
  mGame.Frame();
  EXPECT_EQ(IntVar(kRunInt), 42);
  EXPECT_EQ(IntVar(kRunInt2), 0) << "a missing value clears the element";
}

struct ReadCase {
  const char* mName;
  std::string mKey;
  std::string mValueName;
  std::string mExpected;
};

class RegistryReadCaseTest : public RegistryReadTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(RegistryReadCaseTest, ReadsTheValueOrClearsTheElement) {
  ASSERT_EQ(Set("Software\\Game", "Short", kRegistryString, Text("abc")), 0);
  ASSERT_EQ(Set("Software\\Game", "Full", kRegistryBinary, std::vector<uint8_t>(1024, 'x')), 0);
  ASSERT_EQ(Set("Software\\Game", "Over", kRegistryString, Text(std::string(1024, 'y'))), 0);
  ASSERT_EQ(Set("Software\\Game", "Number", kRegistryDword, {'1', '2', 0, 0}), 0);
  const ReadCase& c = GetParam();
  ScriptAssembler code = mGame.Script(0);
  code.Label("SYSTEM_START");
  code.Op("assign", {{"target", Var(kRunText)}, {"value", Str("before")}});
  code.Op("registry", {{"key", Str(c.mKey)}, {"value", Str(c.mValueName)}, {"out", Var(kRunText)}});
  code.Op("wait", {{"frames", Num(1)}});
  mGame.Add(code);
  ASSERT_TRUE(mGame.Load());
  mGame.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(TextVar(kRunText), c.mExpected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistryReadCaseTest,
    ::testing::Values(
        ReadCase{"Short", "HKEY_CURRENT_USER\\Software\\Game", "Short", "abc"},
        ReadCase{"SlashesBecomeBackslashes", "HKEY_CURRENT_USER/Software/Game", "Short", "abc"},
        // 1024 bytes fill the buffer and still end.
        ReadCase{"ExactlyTheBuffer", "HKEY_CURRENT_USER\\Software\\Game", "Full", std::string(1024, 'x')},
        ReadCase{"LongerThanTheBufferClears", "HKEY_CURRENT_USER\\Software\\Game", "Over", ""},
        ReadCase{"DwordBytesAsText", "HKEY_CURRENT_USER\\Software\\Game", "Number", "12"},
        ReadCase{"MissingValueClears", "HKEY_CURRENT_USER\\Software\\Game", "None", ""},
        ReadCase{"MissingKeyClears", "HKEY_CURRENT_USER\\Software\\Other", "Short", ""},
        ReadCase{"OtherRootIsApart", "HKEY_LOCAL_MACHINE\\Software\\Game", "Short", ""},
        // A root not written exactly does nothing at all.
        ReadCase{"LowerCaseRootDoesNothing", "hkey_current_user\\Software\\Game", "Short", "before"},
        ReadCase{"RootWithoutSeparatorDoesNothing", "HKEY_CURRENT_USER", "Short", "before"}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.mName); });

}  // namespace
