// Writes the demo game into a folder: the compiled script data and its
// pictures in one pack, and the movie beside it.
//   orvane_make_demo FOLDER
#include <cstdio>
#include <string>
#include <vector>

#include "demo/demo_game.h"
#include "demo/demo_movie.h"
#include "support/fixture_game.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  std::vector<GameFile> files = BuildScriptDataFiles(DemoScript());
  for (GameFile& picture : DemoPictures()) files.push_back(std::move(picture));
  for (GameFile& sound : DemoSounds()) files.push_back(std::move(sound));
  std::string pack = std::string(argv[1]) + "/data.qpf";
  if (!WriteGamePack(pack, files)) {
    std::fprintf(stderr, "cannot write %s\n", pack.c_str());
    return 1;
  }
  WriteGameFiles(argv[1], DemoMovieFiles());
  return 0;
}
