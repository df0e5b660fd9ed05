#pragma once
// A fontconfig configuration of the fonts the project installs (IPA Gothic,
// IPA P Gothic, IPA Mincho, IPA P Mincho and the DejaVu core faces), with
// sans-serif bound to IPA Gothic, so that the font list and every glyph are
// the same on every machine. The system's configuration comes back when it
// ends.
#include "support/temp_folder.h"

class ProjectFonts {
 public:
  ProjectFonts();
  ~ProjectFonts();
  ProjectFonts(const ProjectFonts&) = delete;
  ProjectFonts& operator=(const ProjectFonts&) = delete;
  bool Loaded() const { return mLoaded; }

 private:
  TempFolder mFolder{false};
  bool mLoaded = false;
};
