#pragma once
// Process entry, the message loop, the script thread and shutdown.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The process entry: returns the exit code.
int WinMain(int argc, char** argv);
// Ends the program from any thread: quit flag, close without asking, close
// message to the main window.
void RequestClose();
int ActivateRunningInstance(const char* className);
int StartScriptThread();
void ScriptThreadMain();
void RunFrameLoop();
void ShutdownEngine();
// Starts the program again, detached, with the game folder as its argument.
void LaunchProcess(const std::vector<std::string>& arguments);
// The command line that starts this program again for the same game.
std::vector<std::string> BuildRelaunchArguments();
// Ends the script thread, when one runs, on the quit flag and joins it.
void EndScriptThread();
// The script thread ended and the state of the entry back to that of a new
// process (shell/engine_reset.h brings back all of it).
void ResetEntryState();
// Runs the message loop until the quit message; returns its exit code.
int RunMessageLoop();
// Waits, polling under g_GlobalLock, until a thread state leaves `running`
// values; false when the time ran out.
bool WaitForThreadState(const std::atomic<uint8_t>& state, uint8_t endState, uint32_t timeoutMs);
