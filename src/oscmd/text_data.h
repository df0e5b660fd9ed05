#pragma once
// Text files that scripts read into arrays: comma-separated text data (its
// fields, or their count) and plain lines. The scanners work on the bytes of
// a file after ReadScriptTextFile, which always end in CR LF.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// A field or a line is stored with at most this many bytes (a terminator
// follows in the 4096-byte buffers they are built in), cut on a character
// boundary.
constexpr size_t kTextFieldBytes = 4095;
constexpr size_t kTextLineBytes = 4094;  // the line, then its CR

// Finds a game file (name lower-cased, '/' turned into '\'), reads it whole
// from its data source and appends CR LF. 0, or -1 after the fatal report
// (104060 missing, 104010 unreadable, 901040 a pack that will not open).
int ReadScriptTextFile(const char* name, std::string* text);

// Each field of a text-data text in order, blanks before a field dropped,
// commas inside double or single quotes kept. A line without a comma is one
// field; an empty line gives one empty field.
void ScanTextDataFields(std::string_view text, const std::function<void(std::string_view)>& store);
// The number of fields: one per unquoted comma and one per line that holds
// more than blanks, tabs and quote characters.
int64_t CountTextDataFields(std::string_view text);
// Each line (ended by CR LF, CR or LF) with one CR appended, then the text
// left after the last line end (without a CR).
void ScanTextLines(std::string_view text, const std::function<void(std::string_view line)>& storeLine,
                   const std::function<void(std::string_view rest)>& storeRest);
