#pragma once
// Game file names: lower-casing and separators, Shift-JIS aware.
#include <string>

#include "core/sjis.h"

// ASCII A-Z become a-z in place; double-byte characters are stepped over and
// the scan stops at the terminator.
void LowerCaseName(char* name);
void LowerCaseName(std::string& name);
// Every "/" becomes "\" (trail bytes untouched).
void ReplaceSlashesWithBackslashes(std::string& name);
void ReplaceSlashesWithBackslashes(char* name);
// Every "\" becomes "/" (trail bytes untouched).
void ReplaceBackslashesWithSlashes(char* name);
