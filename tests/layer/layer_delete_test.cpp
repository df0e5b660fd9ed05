#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "core/window_table.h"
#include "layer/composition.h"
#include "layer/layer_commands.h"
#include "layer/layer_record.h"
#include "support/layer_tree_env.h"
#include "support/script_assembler.h"
#include "support/script_runner.h"

namespace {

ObjectTreeNode* AddNode(const char* path, bool group, int64_t x = 0, int64_t y = 0, int32_t width = 0,
                        int32_t height = 0) {
  ObjectTreeNode* node = CreateTreeNode(g_LayerRoot, path, 1, group ? 1 : 0);
  EXPECT_NE(node, nullptr);
  LayerRecord* record = GetLayerRecord(node);
  if (record == nullptr) return node;
  record->mX = x;
  record->mY = y;
  record->mWidth = width;
  record->mHeight = height;
  return node;
}

ObjectTreeNode* Find(const char* path, int mode) {
  char normalised[kObjectPathBytes];
  if (NormalizeObjectPath(normalised, path, "", 0) < 0) return nullptr;
  return FindObjectByPath(g_LayerRoot, normalised, mode);
}

// Runs one frame of a script that deletes each path in turn.
void RunDeletes(ScriptRunner& game, std::initializer_list<const char*> paths, void (*build)()) {
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  for (const char* path : paths) code.Op("layer_delete", {{"path", Str(path)}});
  code.Op("wait", {{"frames", Num(1)}});
  game.Add(code);
  ASSERT_TRUE(game.Load());
  build();
  ResetDirtyRects(GetFirstLayerChild());
  game.Frame();
}

TEST(LayerDeleteTest, GroupPathRemovesTheGroupAndLeafPathOnlyTheLeaf) {
  ScriptRunner game;
  RunDeletes(game, {"grp", "missing", "missing/"}, [] {
    AddNode("W0/grp", true);
    AddNode("W0/grp/sub", true);
    AddNode("W0/grp/sub/deep", false, 1, 1, 2, 2);
    AddNode("W0/grp/a", false, 0, 0, 2, 2);
    AddNode("W0/grp", false, 0, 0, 2, 2);
  });
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(Find("W0/grp", kPathLeaf), nullptr);
  ASSERT_NE(Find("W0/grp", kPathGroup), nullptr);
  EXPECT_NE(Find("W0/grp/sub/deep", kPathLeaf), nullptr);
}

TEST(LayerDeleteTest, DeletingASizelessGroupInvalidatesItsMembers) {
  ScriptRunner game;
  RunDeletes(game, {"grp/"}, [] {
    AddNode("W0/grp", true, 10, 10, 0, 0);
    AddNode("W0/grp/sub", true, 0, 0, 0, 0);
    AddNode("W0/grp/sub/deep", false, 5, 5, 4, 4);
    AddNode("W0/keep", false, 0, 0, 1, 1);
  });
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(Find("W0/grp", kPathGroup), nullptr);
  EXPECT_EQ(Find("W0/grp/sub/deep", kPathLeaf), nullptr);
  EXPECT_NE(Find("W0/keep", kPathLeaf), nullptr);
  ObjectTreeNode* w0 = Find("W0", kPathGroup);
  ASSERT_NE(w0, nullptr);
  EXPECT_EQ(RecordOf(w0)->mDirty, 1);
  EXPECT_EQ(DirtyRect(w0), (Rect{15, 15, 18, 18}));
}

TEST(LayerDeleteTest, NthChildCountsFromTheBottom) {
  LayerTreeEnvironment env(8, 8);
  ObjectTreeNode* a = env.Add(env.mW0, "a", 0, 0, 1, 1);
  ObjectTreeNode* b = env.Add(env.mW0, "b", 0, 0, 1, 1);
  EXPECT_EQ(GetNthChild(env.mW0, 1), a);
  EXPECT_EQ(GetNthChild(env.mW0, 2), b);
  EXPECT_EQ(GetNthChild(env.mW0, 3), nullptr);
  EXPECT_EQ(GetNthChild(env.mW0, 0), nullptr);
}

}  // namespace
