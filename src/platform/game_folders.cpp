#include "platform/game_folders.h"

#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/game_files.h"
#include "platform/process.h"
#include "platform/text_codec.h"

bool CreateGameFolder(std::string_view name) {
  std::string path = ResolveGamePath(name);
  if (path.empty()) return false;
  mkdir(path.c_str(), 0755);
  struct stat facts {};
  return stat(path.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode);
}

bool RemoveGameFolder(std::string_view name) {
  std::string path = ResolveGamePath(name);
  return !path.empty() && rmdir(path.c_str()) == 0;
}

bool CopyGameFile(std::string_view from, std::string_view to) {
  FILE* source = OpenGameFile(from, "rb");
  if (source == nullptr) return false;
  FILE* target = OpenGameFile(to, "wb");
  if (target == nullptr) {
    std::fclose(source);
    return false;
  }
  char buffer[65536];
  bool ok = true;
  for (;;) {
    size_t read = std::fread(buffer, 1, sizeof buffer, source);
    if (read > 0 && std::fwrite(buffer, 1, read, target) != read) ok = false;
    if (read < sizeof buffer) break;
  }
  ok = ok && std::ferror(source) == 0;
  std::fclose(source);
  return std::fclose(target) == 0 && ok;
}

bool IsGameFileExecutable(std::string_view name) {
  std::string path = ResolveGamePath(name);
  struct stat facts {};
  return stat(path.c_str(), &facts) == 0 && S_ISREG(facts.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool RunGameProgramAndWait(std::string_view name, const std::vector<std::string>& arguments) {
  std::vector<std::string> vector{ResolveGamePath(name)};
  for (const std::string& argument : arguments) vector.push_back(ConvertCp932ToUtf8(argument));
  ChildProcess child;
  if (!SpawnChildProcess(vector, "", &child)) return false;
  WaitForChildProcess(&child);
  return true;
}

std::string FindDefaultProgram(std::string_view name) {
  std::string path = ResolveGamePath(name);
  gboolean uncertain = FALSE;
  gchar* type = g_content_type_guess(path.c_str(), nullptr, 0, &uncertain);
  if (type == nullptr) return {};
  std::string program;
  if (GAppInfo* app = g_app_info_get_default_for_type(type, FALSE)) {
    if (const char* executable = g_app_info_get_executable(app)) program = ConvertUtf8ToCp932(executable);
    g_object_unref(app);
  }
  g_free(type);
  return program;
}
