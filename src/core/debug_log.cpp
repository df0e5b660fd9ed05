#include "core/debug_log.h"

#include <atomic>
#include <cstdio>
#include <ctime>

#include "core/errors.h"
#include "core/process_state.h"
#include "platform/game_files.h"

namespace {

std::atomic<bool> g_headerPending{true};

constexpr const char* kHeaderFormat =
    "//----------------------------------------------------------------------------\n"
    "//■%02d/%02d/%02d time=%02d:%02d:%02d\n"
    "//----------------------------------------------------------------------------";
constexpr const char* kSizeWarningFormat =
    "log が 10MB を超えました。\n\nこのまま続けていくと動作が遅くなっていく可能性があります。\n\n"
    "\t\t\t\t\t\t\t\t\t%s を削除していただくか、\n別の場所に待避させてください。";

}  // namespace

int64_t AppendLogText(const std::string& path, std::string_view text) {
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  FILE* file = OpenGameFile(path, "ab");
  if (file == nullptr) return 0;
  std::string line(text);
  line.push_back('\n');
  size_t written = std::fwrite(line.data(), 1, line.size(), file);
  std::fclose(file);
  return static_cast<int64_t>(written);
}

int64_t WriteDebugLogArgs(const char* fileName, bool eraseFirst, int64_t budget, std::string_view format,
                          std::initializer_list<FormatArgument> arguments) {
  // Without a game folder there is no log to write (never the file system's root).
  if (g_ExeFolder[0] == '\0') return 0;
  std::string path = FormatBounded(kPathBytes * 2, "%s\\%s", g_ExeFolder, fileName);
  int64_t appended = 0;
  if (g_headerPending.exchange(false)) {
    if (eraseFirst) RemoveGameFile(path);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::string header = FormatBounded(kDebugLogTextLimit, kHeaderFormat, local.tm_year % 100, local.tm_mon + 1,
                                       local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    appended += AppendLogText(path, header);
  }
  appended += AppendLogText(path, FormatTextArgs(format, arguments, kDebugLogTextLimit));
  if (budget <= 0) {
    std::string warning = FormatBounded(kDebugLogTextLimit, kSizeWarningFormat, fileName);
    appended += AppendLogText(path, warning);
    ShowMessageBox("", "%s", warning);
  }
  return appended;
}

void ResetDebugLog() { g_headerPending.store(true); }
