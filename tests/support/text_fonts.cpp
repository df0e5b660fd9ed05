#include "support/text_fonts.h"

#include <filesystem>
#include <string>

#include "platform/font_faces.h"

namespace {

const char* const kFontFiles[] = {
    "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",  "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf",
    "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf",  "/usr/share/fonts/opentype/ipafont-mincho/ipamp.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf",
};

}  // namespace

ProjectFonts::ProjectFonts() {
  namespace fs = std::filesystem;
  fs::path fonts = fs::path(mFolder.Path()) / "fonts";
  fs::create_directories(fonts);
  for (const char* file : kFontFiles) {
    std::error_code error;
    fs::create_symlink(file, fonts / fs::path(file).filename(), error);
  }
  std::string config = "<?xml version=\"1.0\"?>\n<fontconfig>\n  <dir>" + fonts.string() +
                       "</dir>\n  <cachedir>" + (fs::path(mFolder.Path()) / "cache").string() +
                       "</cachedir>\n  <alias><family>sans-serif</family><prefer><family>IPAGothic</family>"
                       "</prefer></alias>\n  <alias><family>serif</family><prefer><family>IPAMincho</family>"
                       "</prefer></alias>\n</fontconfig>\n";
  mFolder.WriteFile("fonts.conf", config);
  mLoaded = UseFontConfiguration((fs::path(mFolder.Path()) / "fonts.conf").string());
}

ProjectFonts::~ProjectFonts() { UseFontConfiguration(""); }
