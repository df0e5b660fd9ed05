#include "core/process_state.h"

#include <cstring>
#include <thread>
#include <vector>

#include "core/file_names.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/game_files.h"
#include "platform/text_codec.h"

std::recursive_mutex g_GlobalLock;
uint8_t g_FolderReadOnly;
std::atomic<uint8_t> g_QuitFlag{0};
std::atomic<uint8_t> g_Running{1};
std::atomic<uint8_t> g_ThreadedStep{0};
std::atomic<uint8_t> g_ScriptThreadState{0xFF};
std::atomic<uint8_t> g_SoundThreadState{0xFF};
std::atomic<uint8_t> g_RelaunchOnExit{0};
int32_t g_ShowCommand = 1;

std::recursive_mutex g_FrameLock;
std::atomic<int32_t> g_DispatchWaiting{0};
std::atomic<int32_t> g_PacingSleep{0};
std::atomic<int32_t> g_WorkersIdle{0};
std::atomic<int32_t> g_InWindowProc{0};

InstanceLock g_InstanceMutexes[3];

char g_ExePath[kPathBytes];
char g_ExeFolder[kPathBytes];
char g_InstanceName[kPathBytes];
char g_FolderMutexName[kPathBytes];
char g_AppDataFolder[kPathBytes];
char g_MyDocumentsFolder[kPathBytes];
std::string g_GameFolderNative;
int g_ArgumentCount = 0;
char** g_ArgumentVector = nullptr;

namespace {

// The arguments g_ArgumentVector points into.
std::vector<char*> g_ArgumentStore;

std::string ToEngineForm(const std::string& native) {
  std::string text = ConvertUtf8ToCp932(native);
  ReplaceSlashesWithBackslashes(text);
  return text;
}

bool StoreFitting(char* destination, const std::string& text) {
  if (text.size() >= kPathBytes) return false;
  std::memcpy(destination, text.c_str(), text.size() + 1);
  return true;
}

void ReplaceChar(std::string& text, char from, char to) {
  for (size_t index = 0; index < text.size();) {
    size_t length = SjisCharLength(text, index);
    if (length == 1 && text[index] == from) text[index] = to;
    index += length;
  }
}

}  // namespace

void ChooseGameFolder(int argc, char** argv, std::string* programFileName) {
  std::vector<char*>& arguments = g_ArgumentStore;
  arguments.assign(argv, argv + argc);
  std::string program = GetProgramPath();
  size_t slash = program.rfind('/');
  *programFileName = slash == std::string::npos ? program : program.substr(slash + 1);

  std::string folder;
  if (argc >= 2 && IsNativeFolder(argv[1])) {
    folder = GetCanonicalPath(argv[1]);
    arguments.erase(arguments.begin() + 1);
  }
  if (folder.empty()) folder = GetCanonicalPath(GetCurrentFolder());
  if (folder.empty()) folder = GetCurrentFolder();
  g_GameFolderNative = folder;
  arguments.push_back(nullptr);
  g_ArgumentCount = static_cast<int>(arguments.size()) - 1;
  g_ArgumentVector = arguments.data();
}

bool InitProcessPaths(const std::string& programFileName) {
  std::string nativeFolder = g_GameFolderNative;
  if (nativeFolder.empty() || nativeFolder.back() != '/') nativeFolder.push_back('/');

  std::string exePath = ToEngineForm(nativeFolder + programFileName);
  LowerCaseName(exePath);
  std::string exeFolder = ToEngineForm(nativeFolder);
  LowerCaseName(exeFolder);
  if (exeFolder.empty() || exeFolder.back() != '\\') exeFolder.push_back('\\');
  std::string instanceName = exePath;
  ReplaceChar(instanceName, '\\', ':');
  std::string folderMutexName = exeFolder;
  ReplaceChar(folderMutexName, '\\', ':');

  bool fits = StoreFitting(g_ExePath, exePath) && StoreFitting(g_ExeFolder, exeFolder) &&
              StoreFitting(g_InstanceName, instanceName) && StoreFitting(g_FolderMutexName, folderMutexName);
  // The user's folders only serve the save locations; one that does not fit is
  // left empty and those locations fall back to the game folder.
  if (!StoreFitting(g_AppDataFolder, ToEngineForm(GetUserDataFolder()))) g_AppDataFolder[0] = '\0';
  if (!StoreFitting(g_MyDocumentsFolder, ToEngineForm(GetDocumentsFolder()))) g_MyDocumentsFolder[0] = '\0';
  SetFolderAlias(exeFolder, nativeFolder);
  return fits;
}

void ReleaseInstanceMutex(int slot) {
  if (slot < 0 || slot > 2) return;
  ReleaseInstanceLock(&g_InstanceMutexes[slot]);
}

void ReleaseInstanceMutexes() {
  for (int slot = 0; slot < 3; ++slot) ReleaseInstanceMutex(slot);
}

namespace {
// Set on the thread that runs the frame steps under g_FrameLock.
thread_local bool t_holdsFrameLock = false;
}  // namespace

void TakeFrameLockForStepping() {
  g_FrameLock.lock();
  t_holdsFrameLock = true;
}

void ReleaseFrameLockAfterStepping() {
  t_holdsFrameLock = false;
  g_FrameLock.unlock();
}

bool ReleaseFrameLockForPacing() {
  if (!t_holdsFrameLock) return false;
  g_FrameLock.unlock();
  return true;
}

void RetakeFrameLockAfterPacing() {
  // A main thread that waits for the lock gets it first, so a frame step
  // that never sleeps still lets window messages through.
  while (g_DispatchWaiting.load() != 0) std::this_thread::yield();
  g_FrameLock.lock();
}

uint32_t g_LastFrameTime;

void ResetFrameClock() { g_LastFrameTime = GetTimeMs(); }

void ResetProcessState() {
  g_QuitFlag.store(0);
  g_Running.store(1);
  g_ThreadedStep.store(0);
  g_ScriptThreadState.store(0xFF);
  g_SoundThreadState.store(0xFF);
  g_RelaunchOnExit.store(0);
  g_ShowCommand = 1;
  g_DispatchWaiting.store(0);
  g_PacingSleep.store(0);
  g_WorkersIdle.store(0);
  g_InWindowProc.store(0);
  ReleaseInstanceMutexes();
  for (char* path : {g_ExePath, g_ExeFolder, g_InstanceName, g_FolderMutexName, g_AppDataFolder, g_MyDocumentsFolder}) {
    path[0] = '\0';
  }
  g_GameFolderNative.clear();
  g_ArgumentStore = {};
  g_ArgumentCount = 0;
  g_ArgumentVector = nullptr;
  ClearFolderAliases();
  g_LastFrameTime = 0;
  g_FolderReadOnly = 0;
}
