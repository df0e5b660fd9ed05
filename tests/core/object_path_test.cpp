#include "core/object_path.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/errors.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "support/script_test_env.h"

namespace {

struct PathCase {
  const char* mPath;
  const char* mBase;
  uint8_t mAllowBlanks;
  const char* mExpected;
  int mResult;
};

TEST(NormalizeObjectPathTest, Table) {
  ScriptTestEnvironment env;
  const PathCase cases[] = {
      {"bg", "W0", 0, "W0/bg", kPathLeaf},
      {"bg/", "W0", 0, "W0/bg", kPathGroup},
      {"bg", "", 0, "bg", kPathLeaf},
      {"/bg", "W0", 0, "W0/bg", kPathLeaf},
      {"/bg", "", 0, "bg", kPathLeaf},
      {":bg", "W0", 0, "bg", kPathLeaf},
      {":/bg", "W0", 0, "bg", kPathLeaf},
      {":ui/", "W0", 0, "ui", kPathGroup},
      {"a/b/../c", "W0", 0, "W0/a/c", kPathLeaf},
      {"../x", "W0", 0, "x", kPathLeaf},
      {"../../x", "W0", 0, "x", kPathLeaf},
      {"./x", "W0", 0, "W0/x", kPathLeaf},
      {"a/./b/", "W0", 0, "W0/a/b", kPathGroup},
      {"a/..", "W0", 0, "W0/a/..", kPathLeaf},
      {"a/.", "W0", 0, "W0/a/.", kPathLeaf},
      {"a//b", "W0", 0, "W0/a//b", kPathLeaf},
      {".hidden", "W0", 0, "W0/.hidden", kPathLeaf},
      {"a/../", "W0", 0, "W0", kPathGroup},
      {"", "W0", 0, "W0/", kPathLeaf},
      {"", "", 0, "", kPathLeaf},
      {":", "W0", 0, "", kPathLeaf},
      {"a b/c", "W0", 1, "W0/a b/c", kPathLeaf},
      // Without ".", "/" or ":" the path is joined as it is.
      {"a b", "W0", 0, "W0/a b", kPathLeaf},
      // Double-byte characters stay whole (0x5C as a trail byte is no
      // separator of any kind), and a lead byte before the end ends the text.
      {"\x83\x5c/\x83\x5c", "W0", 0, "W0/\x83\x5c/\x83\x5c", kPathLeaf},
      {"x/\x81", "W0", 0, "W0/x/\x81", kPathLeaf},
      {"\x81", "W0", 0, "W0/\x81", kPathLeaf},
  };
  for (const PathCase& entry : cases) {
    char output[kObjectPathBytes];
    std::memset(output, 'Z', sizeof(output));
    int result = NormalizeObjectPath(output, entry.mPath, entry.mBase, entry.mAllowBlanks);
    EXPECT_EQ(result, entry.mResult) << entry.mPath;
    EXPECT_STREQ(output, entry.mExpected) << entry.mPath;
  }
  EXPECT_EQ(g_QuitFlag.load(), 0);
}

TEST(NormalizeObjectPathTest, BlankInASegmentIsRefused) {
  ScriptTestEnvironment env;
  InstallTaggedMessages({100242});
  char output[kObjectPathBytes];
  EXPECT_EQ(NormalizeObjectPath(output, "ui/a b", "W0", 0), kPathError);
  EXPECT_EQ(g_LastErrorText, ExpectedReport(100242, {"W0/ui/a b"}));
  EXPECT_EQ(g_QuitFlag.load(), 1);
}

TEST(NormalizeObjectPathTest, OverlongPathsAreRefused) {
  ScriptTestEnvironment env;
  InstallTaggedMessages({100242});
  char output[kObjectPathBytes];
  // The joined text may hold 255 bytes: base "W0", "/" and 252 more.
  std::string fits = "x/" + std::string(250, 'a');
  EXPECT_EQ(NormalizeObjectPath(output, fits.c_str(), "W0", 0), kPathLeaf);
  EXPECT_EQ(std::strlen(output), 255u);
  EXPECT_EQ(g_QuitFlag.load(), 0);

  std::string tooLong = fits + "a";
  EXPECT_EQ(NormalizeObjectPath(output, tooLong.c_str(), "W0", 0), kPathError);
  EXPECT_EQ(g_QuitFlag.load(), 1);
  EXPECT_STREQ(output, "");

  // A plain name is joined without the 255-byte text, but the result still
  // must fit the caller's buffer.
  g_QuitFlag.store(0);
  std::string plain(1020, 'b');
  EXPECT_EQ(NormalizeObjectPath(output, plain.c_str(), "W0", 0), kPathLeaf);
  EXPECT_EQ(std::strlen(output), 1023u);
  std::string plainTooLong(1021, 'b');
  EXPECT_EQ(NormalizeObjectPath(output, plainTooLong.c_str(), "W0", 0), kPathError);
  EXPECT_EQ(g_QuitFlag.load(), 1);
}

class FindObjectByPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mRoot = static_cast<ObjectTreeNode*>(std::calloc(1, sizeof(ObjectTreeNode)));
    mWindow = CreateTreeNode(mRoot, "W0", 1, 1);
    mGroupX = CreateTreeNode(mRoot, "W0/x", 1, 1);
    mLeafX = CreateTreeNode(mRoot, "W0/x", 2, 0);
    mInner = CreateTreeNode(mRoot, "W0/x/inner", 1, 0);
  }
  void TearDown() override {
    for (ObjectTreeNode* node : {mInner, mLeafX, mGroupX, mWindow}) {
      DetachTreeNode(node);
      FreeTreeNode(node);
    }
    FreeTreeNode(mRoot);
  }
  ScriptTestEnvironment mEnv;
  ObjectTreeNode* mRoot = nullptr;
  ObjectTreeNode* mWindow = nullptr;
  ObjectTreeNode* mGroupX = nullptr;
  ObjectTreeNode* mLeafX = nullptr;
  ObjectTreeNode* mInner = nullptr;
};

TEST_F(FindObjectByPathTest, ModesChooseLeafGroupOrFirst) {
  EXPECT_EQ(FindObjectByPath(mRoot, "W0/x", kPathLeaf), mLeafX);
  EXPECT_EQ(FindObjectByPath(mRoot, "W0/x", kPathGroup), mGroupX);
  EXPECT_EQ(FindObjectByPath(mRoot, "W0/x", kPathAny), mGroupX);
  EXPECT_EQ(FindObjectByPath(mRoot, "W0/x/inner", kPathLeaf), mInner);
  EXPECT_EQ(FindObjectByPath(mRoot, "W0", kPathGroup), mWindow);
}

TEST_F(FindObjectByPathTest, MissingAndOddPathsFindNothing) {
  EXPECT_EQ(FindObjectByPath(mRoot, "W0/X", kPathLeaf), nullptr);  // case matters
  EXPECT_EQ(FindObjectByPath(mRoot, "W0/y/inner", kPathLeaf), nullptr);
  EXPECT_EQ(FindObjectByPath(mRoot, "W0//x", kPathLeaf), nullptr);
  EXPECT_EQ(FindObjectByPath(mRoot, "W0/x/..", kPathLeaf), nullptr);
  EXPECT_EQ(FindObjectByPath(mRoot, "W0/", kPathLeaf), nullptr);
  EXPECT_EQ(FindObjectByPath(mRoot, "W0/x/inner/more", kPathLeaf), nullptr);
}

TEST_F(FindObjectByPathTest, NormalizedPathsRoundTrip) {
  char path[kObjectPathBytes];
  int mode = NormalizeObjectPath(path, "x/", "W0", 0);
  EXPECT_EQ(FindObjectByPath(mRoot, path, mode), mGroupX);
  mode = NormalizeObjectPath(path, "x/../x", "W0", 0);
  EXPECT_EQ(FindObjectByPath(mRoot, path, mode), mLeafX);
  mode = NormalizeObjectPath(path, ":W0/x/inner", "S0", 0);
  EXPECT_EQ(FindObjectByPath(mRoot, path, mode), mInner);
  EXPECT_EQ(FindChildByName(mWindow, "x", 1), mGroupX);
  EXPECT_EQ(FindChildByName(mWindow, "x", 0), nullptr);
  EXPECT_EQ(FindLeafChildByName(mWindow, "x", 1), mLeafX);
}

}  // namespace
