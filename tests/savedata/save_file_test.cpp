// Writing save files: a save cut off at any write step (fault injection in
// the writer) reports its failure, keeps the prepared records and leaves the
// old file whole and loadable, or no file at all where there was none.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/process_state.h"
#include "savedata/save_file.h"
#include "savedata/save_format.h"
#include "savedata/save_slots.h"
#include "savedata/save_test_util.h"
#include "script/variables.h"
#include "support/save_file_builder.h"

namespace {

SaveOp Save(std::vector<Arg> args) { return {"save", std::move(args)}; }
SaveOp Load(std::vector<Arg> args) { return {"load", std::move(args)}; }

constexpr int kAttempts = 40;

struct FaultCase {
  const char* mWhat;
  bool mOldFile;    // a file exists before the save
  uint32_t mDno;    // the record prepared, written by the attempts
};

size_t FilesInSaveFolder() {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("save")) {
    (void)entry;
    ++count;
  }
  return count;
}

TEST(SaveFileTest, ASaveCutOffAtAnyWriteLeavesTheOldFileAndThePendingRecords) {
  const FaultCase cases[] = {
      {"a record appended", true, 2},
      {"a record rewritten", true, 1},
      {"a new file", false, 2},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    ScriptRunner game;
    std::vector<SavePhase> phases;
    phases.push_back({Save({{"file", Str(c.mOldFile ? "f" : "other")}, {"dno", Num(1)}, {"var", Var(kRunInt)}})});
    phases.push_back({Save({{"dno", Num(c.mDno)}, {"var", Whole(kRunIntArray)}})});
    for (int attempt = 0; attempt < kAttempts; ++attempt) phases.push_back({Save({{"file", Str("f")}})});
    ASSERT_TRUE(LoadSavePhases(game, phases));
    FillSaveVariables(1);
    ASSERT_TRUE(game.Frame());
    ASSERT_TRUE(game.Frame());
    std::vector<uint8_t> old = ReadSaveBytes("f.sd");
    size_t files = FilesInSaveFolder();
    std::vector<uint8_t> pending = g_PendingSaveRecords[c.mDno - 1];
    ASSERT_FALSE(pending.empty());
    bool succeeded = false;
    int step = 0;
    for (; step < kAttempts && !succeeded; ++step) {
      g_SaveWriteFaultStep = step;
      g_QuitFlag.store(0);
      g_LastErrorText.clear();
      game.Frame();
      if (g_LastErrorText.empty()) {
        succeeded = true;
        break;
      }
      EXPECT_TRUE(LastReportIs(kMsgSaveFileWriteFailed)) << "step " << step << ": " << LastReportTag();
      EXPECT_EQ(ReadSaveBytes("f.sd"), old) << "step " << step;
      EXPECT_EQ(FilesInSaveFolder(), files) << "no temporary file is left behind, step " << step;
      EXPECT_EQ(g_PendingSaveRecords[c.mDno - 1], pending) << "step " << step;
      // The failed instruction ended the task's turn; the phase's wait is next.
      g_QuitFlag.store(0);
      game.Frame();
    }
    g_SaveWriteFaultStep = -1;
    ASSERT_TRUE(succeeded);
    EXPECT_GE(step, 5) << "creation, a write, the flush, the sync and the rename each failed once";
    EXPECT_NE(ReadSaveBytes("f.sd"), old);
    EXPECT_EQ(PendingSaveLength(c.mDno), 0u);
  }
}

TEST(SaveFileTest, TheOldFileStillLoadsAfterAFailedSave) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {{Save({{"file", Str("keep")}, {"dno", Num(3)}, {"var", Whole(kRunTextArray)}})},
                                    {Save({{"file", Str("keep")}, {"dno", Num(3)}, {"var", Whole(kRunTextArray)}})},
                                    {Load({{"file", Str("keep")}, {"dno", Num(3)}, {"var", Whole(kRunTextArray)}})}}));
  FillSaveVariables(1);
  std::string first = ValuesOf(kRunTextArray);
  ASSERT_TRUE(game.Frame());
  FillSaveVariables(2);
  g_SaveWriteFaultStep = 1;
  game.Frame();
  g_SaveWriteFaultStep = -1;
  EXPECT_TRUE(LastReportIs(kMsgSaveFileWriteFailed));
  g_QuitFlag.store(0);
  game.Frame();  // the phase's wait
  g_LastErrorText.clear();
  FillSaveVariables(3);
  game.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(ValuesOf(kRunTextArray), first);
}

TEST(SaveFileTest, ARewriteRefusesRecordNumbersAndSizesTheFileCannotHold) {
  struct WalkCase {
    const char* mWhat;
    std::function<void(BuiltSaveFile&)> mDamage;
    std::string mBox;  // empty: a numbered report
  };
  const WalkCase cases[] = {
      {"a record number of 1025", [](BuiltSaveFile& f) { WriteLe32At(f.mBytes, f.mRecordOffsets[1], 1025); },
       "( DNO = 1025 ) 不正なDNO番号を検出しました。"},
      {"a record number of 0", [](BuiltSaveFile& f) { WriteLe32At(f.mBytes, f.mRecordOffsets[1], 0); },
       "( DNO = 0 ) 不正なDNO番号を検出しました。"},
      {"a size past the end", [](BuiltSaveFile& f) { WriteLe32At(f.mBytes, f.mRecordOffsets[1] + 8, 0xFFFFFFF0u); }, ""},
      {"a file cut inside a record", [](BuiltSaveFile& f) { f.mBytes.pop_back(); }, ""},
  };
  for (const WalkCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    SaveFileSpec spec;
    spec.mRecords.push_back(VariableRecordSpec(1, kRunInt, IntPayload({}, {1})));
    spec.mRecords.push_back(VariableRecordSpec(2, kRunInt, IntPayload({}, {2})));
    BuiltSaveFile built = BuildSaveFile(spec);
    c.mDamage(built);
    ScriptRunner game;
    ASSERT_TRUE(LoadSavePhases(game, {{Save({{"file", Str("walk")}, {"dno", Num(1)}, {"var", Var(kRunInt)}})}}));
    WriteSaveBytes("walk.sd", built.mBytes);
    game.Frame();
    if (c.mBox.empty()) {
      EXPECT_TRUE(LastReportIs(kMsgNotASaveFile)) << LastReportTag();
    } else {
      ASSERT_FALSE(game.mEnv.mDialogs.mBoxes.empty());
      EXPECT_EQ(game.mEnv.mDialogs.mBoxes.back().mText, c.mBox);
    }
    EXPECT_EQ(ReadSaveBytes("walk.sd"), built.mBytes);
    EXPECT_GT(PendingSaveLength(1), 0u);
  }
}

}  // namespace
