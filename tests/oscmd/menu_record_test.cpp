#include "oscmd/menu_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/object_tree.h"
#include "sound/sound_record.h"
#include "support/script_test_env.h"

namespace {

// Sound and menu records of nodes made outside the trees' start-up.
class RecordNodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CreateObjectTrees(), 0);
    mNode = CreateTreeNode(g_MenuRoot, "M0/item", 1, 0);
    ASSERT_NE(mNode, nullptr);
  }
  ScriptTestEnvironment mEnv;
  ObjectTreeNode* mNode = nullptr;
};

TEST_F(RecordNodeTest, AMenuTextIsCutOnACharacterBoundary) {
  // 259 single bytes and a double-byte character: the character does not fit.
  std::string text(259, 'a');
  text += "\x82\xa0";
  MenuItemRecord* record = CreateMenuItemRecord(mNode, text.c_str());
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(mNode->mPayload, record);
  EXPECT_EQ(std::strlen(record->mText), 259u);
  EXPECT_EQ(record->mVisible, 1);
  EXPECT_EQ(record->mEnabled, 256);

  ObjectTreeNode* separator = CreateTreeNode(g_MenuRoot, "M0/separator", 2, 0);
  MenuItemRecord* empty = CreateMenuItemRecord(separator, nullptr);
  ASSERT_NE(empty, nullptr);
  EXPECT_STREQ(empty->mText, "");
  EXPECT_EQ(CreateMenuItemRecord(nullptr, "x"), nullptr);
}

TEST_F(RecordNodeTest, ASoundRecordNeedsANode) {
  EXPECT_EQ(CreateSoundRecord(nullptr), nullptr);
  ObjectTreeNode* node = CreateTreeNode(g_SoundRoot, "S0/voice", 1, 0);
  SoundRecord* record = CreateSoundRecord(node);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(node->mPayload, record);
  EXPECT_EQ(record->mFileName[0], '\0');
  EXPECT_EQ(record->mSourceKind, SOUND_SOURCE_NONE);
  EXPECT_EQ(record->mVolume, 256);
  EXPECT_EQ(record->mEnabled, 1);
}

}  // namespace
