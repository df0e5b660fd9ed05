// Makes a single-file game from the engine's program file and a game's pack.
//   orvane_make_single_file ENGINE PACK OUTPUT [PREVIEW.bmp]
// With a preview picture (a 24-bit bitmap) the game is a screen saver.
#include <cstdio>
#include <string>

#include "single_file/single_file.h"

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: %s ENGINE PACK OUTPUT [PREVIEW.bmp]\n", argv[0]);
    return 2;
  }
  SingleFileParts parts;
  parts.mEngine = argv[1];
  parts.mPack = argv[2];
  if (argc == 5 && !ReadFileBytes(argv[4], &parts.mPreview)) {
    std::fprintf(stderr, "cannot read %s\n", argv[4]);
    return 1;
  }
  std::string failure = MakeSingleFileGame(parts, argv[3]);
  if (!failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    return 1;
  }
  return 0;
}
