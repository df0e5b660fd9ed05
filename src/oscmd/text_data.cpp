#include "oscmd/text_data.h"

#include <cstring>

#include "core/file_names.h"
#include "core/sjis.h"
#include "datasrc/resource_lookup.h"

namespace {

std::string_view Bounded(std::string_view text, size_t limit) { return text.substr(0, SjisCutLength(text, limit)); }

// The length of the line end at `at` (2 for CR LF), 0 when there is none.
size_t LineEndLength(std::string_view text, size_t at) {
  if (text[at] == '\r') return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
  return text[at] == '\n' ? 1 : 0;
}

// The one scan behind reading and counting. An empty line (nothing but
// blanks, tabs and quotes) gives an empty field only when `emptyLines`.
void ScanFields(std::string_view text, bool emptyLines, const std::function<void(std::string_view)>& store) {
  size_t fieldStart = 0;
  bool commaSeen = false;
  bool lineEmpty = true;
  bool fieldStarted = false;
  bool doubleQuote = false;
  bool singleQuote = false;  // kept across lines
  auto field = [&](size_t end) { store(Bounded(text.substr(fieldStart, end - fieldStart), kTextFieldBytes)); };
  size_t at = 0;
  while (at < text.size()) {
    char c = text[at];
    if (size_t endLength = LineEndLength(text, at); endLength != 0) {
      // A line holding text but no comma is one field, as the count says.
      if (commaSeen || fieldStarted) {
        field(at);
      } else if (lineEmpty && emptyLines) {
        store({});
      }
      doubleQuote = false;
      commaSeen = false;
      fieldStarted = false;
      lineEmpty = true;
      at += endLength;
      fieldStart = at;
      continue;
    }
    if (c == '"' || c == '\'') {
      (c == '"' ? doubleQuote : singleQuote) = !(c == '"' ? doubleQuote : singleQuote);
      ++at;
      continue;
    }
    if (c == ' ' || c == '\t') {
      ++at;
      if (!fieldStarted) fieldStart = at;
      continue;
    }
    if (c == ',' && !doubleQuote && !singleQuote) {
      field(at);
      commaSeen = true;
      lineEmpty = false;
      fieldStarted = false;
      fieldStart = ++at;
      continue;
    }
    fieldStarted = true;
    lineEmpty = false;
    at += SjisCharLength(text, at);
  }
}

}  // namespace

int ReadScriptTextFile(const char* name, std::string* text) {
  std::string lookup(name != nullptr ? name : "");
  LowerCaseName(lookup);
  ReplaceSlashesWithBackslashes(lookup);
  ResourceLocation location;
  if (LoadResourceWhole(&location, lookup.c_str()) != 0 || location.mData == nullptr) {
    ReleaseResourceData(&location);
    return -1;
  }
  text->assign(reinterpret_cast<const char*>(location.mData), location.mSize);
  text->append("\r\n");
  ReleaseResourceData(&location);
  return 0;
}

void ScanTextDataFields(std::string_view text, const std::function<void(std::string_view)>& store) {
  ScanFields(text, true, store);
}

int64_t CountTextDataFields(std::string_view text) {
  int64_t count = 0;
  ScanFields(text, false, [&count](std::string_view) { ++count; });
  return count;
}

void ScanTextLines(std::string_view text, const std::function<void(std::string_view line)>& storeLine,
                   const std::function<void(std::string_view rest)>& storeRest) {
  size_t lineStart = 0;
  size_t at = 0;
  std::string line;
  while (at < text.size()) {
    size_t endLength = LineEndLength(text, at);
    if (endLength == 0) {
      at += SjisCharLength(text, at);
      continue;
    }
    line.assign(Bounded(text.substr(lineStart, at - lineStart), kTextLineBytes));
    line.push_back('\r');
    storeLine(line);
    at += endLength;
    lineStart = at;
  }
  storeRest(Bounded(text.substr(lineStart), kTextLineBytes));
}
