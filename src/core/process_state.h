#pragma once
// Process-wide state of the shell: the lock, the stop signal, the thread
// states and the process paths.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/instance_lock.h"

// The process-wide lock (re-entrant).
extern std::recursive_mutex g_GlobalLock;
// Non-zero: quit requested; the one stop signal of every loop and thread.
extern std::atomic<uint8_t> g_QuitFlag;
// Cleared when the message loop receives the quit message.
extern std::atomic<uint8_t> g_Running;
// Frame steps run on the script thread.
extern std::atomic<uint8_t> g_ThreadedStep;
// 0xFF never started, 0 running, 9 ended (written under g_GlobalLock).
extern std::atomic<uint8_t> g_ScriptThreadState;
// 0xFF never started, 0 running, 1 ended (written under g_GlobalLock).
extern std::atomic<uint8_t> g_SoundThreadState;
// Start the program again after shutdown.
extern std::atomic<uint8_t> g_RelaunchOnExit;
extern int32_t g_ShowCommand;
// Frames stepped since the start (the frame step counts them).
extern int64_t g_FrameCounter;
// 1 when the game folder refused a test file.
extern uint8_t g_FolderReadOnly;

// The threaded-stepping hand-over. The thread that runs the frame steps holds
// g_FrameLock except while it sleeps in frame pacing; the main thread takes it
// around every message it dispatches, so window work and frame work never
// overlap. g_DispatchWaiting tells the stepping thread that the main thread
// waits for the lock, so a frame that never sleeps still lets it in.
extern std::recursive_mutex g_FrameLock;
extern std::atomic<int32_t> g_DispatchWaiting;
// 1 while frame pacing runs; 1 while a pixel worker waits for work; the
// nesting depth of the window procedure.
extern std::atomic<int32_t> g_PacingSleep;
extern std::atomic<int32_t> g_WorkersIdle;
extern std::atomic<int32_t> g_InWindowProc;

// Called by frame pacing: when this thread runs the frame steps under
// g_FrameLock, lets the main thread in while it sleeps. True when the lock
// was released and must be taken back.
bool ReleaseFrameLockForPacing();
void RetakeFrameLockAfterPacing();
// The thread that runs the frame steps in threaded-stepping mode holds the
// frame lock through these.
void TakeFrameLockForStepping();
void ReleaseFrameLockAfterStepping();

// Instance locks: 0 start-up, 1 per program, 2 per folder.
extern InstanceLock g_InstanceMutexes[3];

// Process paths, Shift-JIS, at most kPathBytes - 1 bytes each. The program
// path is the game folder joined with the program's file name.
constexpr size_t kPathBytes = 260;
extern char g_ExePath[kPathBytes];          // lower-cased, "\" separators
extern char g_ExeFolder[kPathBytes];        // lower-cased, ends in "\"
extern char g_InstanceName[kPathBytes];     // g_ExePath with "\" turned into ":"
extern char g_FolderMutexName[kPathBytes];  // g_ExeFolder with "\" turned into ":"
extern char g_AppDataFolder[kPathBytes];    // the user's data folder
extern char g_MyDocumentsFolder[kPathBytes];
// The game folder as the system names it.
extern std::string g_GameFolderNative;
// The arguments after the game folder (the first is the program name).
extern int g_ArgumentCount;
extern char** g_ArgumentVector;

// Chooses the game folder from the arguments: a first argument that names an
// existing folder is the game folder and is taken out; otherwise the current
// folder. Sets g_GameFolderNative, g_ArgumentCount and g_ArgumentVector.
void ChooseGameFolder(int argc, char** argv, std::string* programFileName);
// Fills the process paths. False when a path does not fit kPathBytes.
bool InitProcessPaths(const std::string& programFileName);

void ReleaseInstanceMutex(int slot);
void ReleaseInstanceMutexes();

// The time the frame pacing counts the current frame from; a slow load (an
// image, a file) sets it to now, so the next frame is timed from there.
extern uint32_t g_LastFrameTime;
void ResetFrameClock();

// Back to the state of a new process: the flags and thread states, the
// instance locks released, the process paths, the arguments and the game
// folder's alias forgotten.
void ResetProcessState();
