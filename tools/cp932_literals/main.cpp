// The build step of the Clang build: writes a copy of one source file whose
// narrow literals hold CP932 bytes (see cp932_literals.h). The copy starts
// with a #line directive naming the original, so diagnostics, __FILE__ and
// debug information point at the original's lines.
//   orvane_cp932_literals INPUT OUTPUT
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "cp932_literals/cp932_literals.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s INPUT OUTPUT\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
    return 1;
  }
  std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string converted;
  std::string error;
  if (!ConvertLiteralsToCp932(source, &converted, &error)) {
    std::fprintf(stderr, "%s: %s: %s\n", argv[0], argv[1], error.c_str());
    return 1;
  }
  std::string path = std::filesystem::absolute(argv[1]).lexically_normal().string();
  std::string quoted;
  for (char c : path) {
    if (c == '\\' || c == '"') quoted.push_back('\\');
    quoted.push_back(c);
  }
  std::filesystem::path output(argv[2]);
  std::error_code ignored;
  if (output.has_parent_path()) std::filesystem::create_directories(output.parent_path(), ignored);
  std::string temporary = output.string() + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << "#line 1 \"" << quoted << "\"\n" << converted;
    if (!out) {
      std::fprintf(stderr, "%s: cannot write %s\n", argv[0], temporary.c_str());
      return 1;
    }
  }
  std::filesystem::rename(temporary, output);
  return 0;
}
