// Saving and loading in a hostile save folder: the save file's place holds
// a folder, a file too large to read or a FIFO; a save folder that cannot
// be made; temporaries left by saves that a hard kill cut off. Each failure
// is reported with its own reason; nothing hangs, nothing ends the program,
// and the place and the prepared records stay as they were.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/resource.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/process_state.h"
#include "savedata/save_slots.h"
#include "savedata/save_test_util.h"

namespace {

namespace fs = std::filesystem;

SaveOp Save(std::vector<Arg> args) { return {"save", std::move(args)}; }
SaveOp Load(std::vector<Arg> args) { return {"load", std::move(args)}; }

// The names in the save folder.
std::set<std::string> SaveFolderNames() {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator("save")) names.insert(entry.path().filename().string());
  return names;
}

// True when the last report was a failed save of name with that errno.
bool ReportedSaveFailure(const std::string& name, int error) {
  return LastReportIs(kMsgSaveFileWriteFailed) &&
         LastReportTag().find("[" + name + "][" + std::to_string(error) + "]") != std::string::npos;
}

void MakeSparseFile(const std::string& path, uint64_t size) {
  std::ofstream(path, std::ios::binary).put('Q');
  fs::resize_file(path, size);
}

TEST(SavePlaceTest, AnOddThingWhereTheSaveFileGoesIsReportedWithItsReasonAndKept) {
  struct PlaceCase {
    const char* mWhat;
    std::function<void()> mMake;  // puts it at save/odd.sd
    int mError;
  };
  const PlaceCase cases[] = {
      {"a folder", [] { fs::create_directories("save/odd.sd/inside"); }, EISDIR},
      // Sparse: it takes no room on the disk, but reading it would take 5 GiB.
      {"a file larger than a save file can be", [] { MakeSparseFile("save/odd.sd", uint64_t{5} << 30); }, EFBIG},
  };
  for (const PlaceCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    ScriptRunner game;
    ASSERT_TRUE(LoadSavePhases(game, {{Save({{"dno", Num(1)}, {"var", Var(kRunInt)}})},
                                      {Save({{"file", Str("odd")}})},
                                      {Save({{"file", Str("fine")}})}}));
    fs::create_directories("save");
    c.mMake();
    FillSaveVariables(1);
    ASSERT_TRUE(game.Frame());
    std::vector<uint8_t> pending = g_PendingSaveRecords[0];
    std::set<std::string> names = SaveFolderNames();
    bool folder = fs::is_directory("save/odd.sd");
    uintmax_t size = folder ? 0 : fs::file_size("save/odd.sd");

    game.Frame();
    EXPECT_TRUE(ReportedSaveFailure("odd.sd", c.mError)) << LastReportTag();
    EXPECT_EQ(g_PendingSaveRecords[0], pending);
    EXPECT_EQ(SaveFolderNames(), names) << "no temporary file is left behind";
    EXPECT_EQ(fs::is_directory("save/odd.sd"), folder);
    if (!folder) {
      EXPECT_EQ(fs::file_size("save/odd.sd"), size);
    }

    // The records kept are still good for a save elsewhere.
    g_QuitFlag.store(0);
    game.Frame();  // the phase's wait
    g_LastErrorText.clear();
    game.Frame();
    EXPECT_EQ(g_LastErrorText, "");
    EXPECT_FALSE(ReadSaveBytes("fine.sd").empty());
  }
}

// Frees a reader stuck in opening a FIFO: unless finished within two
// seconds, it opens the FIFO's writing end (which lets the open return) and
// notes that it had to.
class FifoWatchdog {
 public:
  explicit FifoWatchdog(const std::string& path)
      : mThread([this, path] {
          std::unique_lock<std::mutex> lock(mMutex);
          if (mWake.wait_for(lock, std::chrono::seconds(2), [this] { return mFinished; })) return;
          mFired = true;
          int descriptor = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
          if (descriptor >= 0) ::close(descriptor);
        }) {}
  ~FifoWatchdog() { Finish(); }
  // Stops the watch; true when it had to free a reader.
  bool Finish() {
    {
      std::lock_guard<std::mutex> guard(mMutex);
      mFinished = true;
    }
    mWake.notify_all();
    if (mThread.joinable()) mThread.join();
    return mFired;
  }

 private:
  std::mutex mMutex;
  std::condition_variable mWake;
  bool mFinished = false;
  bool mFired = false;
  std::thread mThread;
};

TEST(SavePlaceTest, AFifoWhereTheSaveFileGoesIsReportedWithoutWaitingForAWriter) {
  struct FifoCase {
    const char* mWhat;
    SaveOp mOp;
    std::function<bool()> mReported;
  };
  const FifoCase cases[] = {
      {"a save", Save({{"file", Str("pipe")}, {"dno", Num(1)}, {"var", Var(kRunInt)}}),
       [] { return ReportedSaveFailure("pipe.sd", EINVAL); }},
      {"a load", Load({{"file", Str("pipe")}, {"dno", Num(1)}, {"var", Var(kRunInt)}}),
       [] { return LastReportIs(kMsgSaveFileOpenFailed); }},
  };
  for (const FifoCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    ScriptRunner game;
    ASSERT_TRUE(LoadSavePhases(game, {{c.mOp}}));
    fs::create_directories("save");
    ASSERT_EQ(::mkfifo("save/pipe.sd", 0644), 0);
    FifoWatchdog watchdog("save/pipe.sd");
    game.Frame();
    EXPECT_FALSE(watchdog.Finish()) << "the command waited in the FIFO's open";
    EXPECT_TRUE(c.mReported()) << LastReportTag();
    EXPECT_TRUE(fs::is_fifo("save/pipe.sd"));
    EXPECT_EQ(SaveFolderNames(), std::set<std::string>{"pipe.sd"});
  }
}

// A child process that lives until the object ends.
class LiveProcess {
 public:
  LiveProcess() : mPid(::fork()) {
    if (mPid == 0) {
      for (;;) ::pause();
    }
  }
  ~LiveProcess() {
    if (mPid <= 0) return;
    ::kill(mPid, SIGKILL);
    ::waitpid(mPid, nullptr, 0);
  }
  pid_t mPid;
};

// The id of a process that has ended (and been reaped).
pid_t EndedProcess() {
  pid_t pid = ::fork();
  if (pid == 0) _exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

TEST(SavePlaceTest, ASaveRemovesItsFilesTemporariesLeftByEndedProcessesOnly) {
  LiveProcess live;
  ASSERT_GT(live.mPid, 0);
  const std::string ended = std::to_string(EndedProcess());
  const std::string running = std::to_string(live.mPid);
  struct TemporaryCase {
    std::string mName;
    bool mStays;
  };
  const TemporaryCase cases[] = {
      {"keep.sd.tmp" + ended, false},   // a save of this file cut off by a kill
      {"keep.sd.tmp" + running, true},  // another copy of the game saving it now
      {"other.sd.tmp" + ended, true},   // another save file's: its own save removes it
      {"keep.sd.tmp" + ended + "x", true},
      {"keep.sd.tmpx" + ended, true},
      {"keep.sd.tmp", true},
  };
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {{Save({{"file", Str("keep")}, {"dno", Num(1)}, {"var", Var(kRunInt)}})}}));
  fs::create_directories("save");
  std::set<std::string> expected = {"keep.sd"};
  for (const TemporaryCase& c : cases) {
    std::ofstream("save/" + c.mName) << "partial";
    if (c.mStays) expected.insert(c.mName);
  }
  game.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(SaveFolderNames(), expected);
}

// While it lives, this thread obeys file permissions even as root (which
// would otherwise write into a read-only folder all the same).
class FilePermissionsObeyed {
 public:
  FilePermissionsObeyed() {
    mHeld = ::syscall(SYS_capget, &mHeader, mSaved) == 0;
    if (!mHeld) return;
    __user_cap_data_struct reduced[2] = {mSaved[0], mSaved[1]};
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
    mHeld = ::syscall(SYS_capset, &mHeader, reduced) == 0;
  }
  ~FilePermissionsObeyed() {
    if (mHeld) ::syscall(SYS_capset, &mHeader, mSaved);
  }

 private:
  __user_cap_header_struct mHeader = {_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct mSaved[2] = {};
  bool mHeld = false;
};

TEST(SavePlaceTest, ASaveFolderThatCannotBeMadeReportsWhyNotTheMissingFolder) {
  struct FolderCase {
    const char* mWhat;
    std::function<void(const std::string& gameFolder)> mMake;
    int mError;
  };
  const FolderCase cases[] = {
      {"a read-only game folder", [](const std::string& game) { fs::permissions(game, fs::perms(0555)); }, EACCES},
      {"a file where the save folder goes", [](const std::string&) { std::ofstream("save") << "x"; }, EEXIST},
  };
  for (const FolderCase& c : cases) {
    SCOPED_TRACE(c.mWhat);
    ScriptRunner game;
    ASSERT_TRUE(LoadSavePhases(game, {{Save({{"file", Str("new")}, {"dno", Num(1)}, {"var", Var(kRunInt)}})}}));
    fs::remove_all("save");
    {
      FilePermissionsObeyed obeyed;
      c.mMake(game.mEnv.Folder());
      game.Frame();
      fs::permissions(game.mEnv.Folder(), fs::perms(0755));
    }
    EXPECT_TRUE(ReportedSaveFailure("new.sd", c.mError)) << LastReportTag();
    EXPECT_GT(PendingSaveLength(1), 0u);
  }
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Current address space in bytes.
uint64_t AddressSpaceInUse() {
  unsigned long long pages = 0;
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  if (std::fscanf(statm, "%llu", &pages) != 1) pages = 0;
  std::fclose(statm);
  return pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

// Runs the save in a child whose address space leaves 128 MiB free: the old
// file's 512 MiB cannot be held. Exits 0 when it was reported and nothing
// was lost.
[[noreturn]] void SaveWithLittleMemory(ScriptRunner& game, uint64_t oldSize) {
  uint64_t limit = AddressSpaceInUse() + (uint64_t{128} << 20);
  struct rlimit space = {limit, limit};
  if (setrlimit(RLIMIT_AS, &space) != 0) _exit(2);
  game.Frame();
  bool reported = ReportedSaveFailure("big.sd", ENOMEM);
  bool kept = PendingSaveLength(1) > 0 && fs::file_size("save/big.sd") == oldSize;
  _exit(reported && kept ? 0 : 1);
}

TEST(SavePlaceTest, AnOldFileTooLargeForTheMemoryLeftIsReportedNotFatal) {
  ScriptRunner game;
  ASSERT_TRUE(LoadSavePhases(game, {{Save({{"file", Str("big")}, {"dno", Num(1)}, {"var", Var(kRunInt)}})}}));
  fs::create_directories("save");
  const uint64_t size = uint64_t{512} << 20;
  MakeSparseFile("save/big.sd", size);
  EXPECT_EXIT(SaveWithLittleMemory(game, size), testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
