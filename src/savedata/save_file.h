#pragma once
// Save files on disk. A save never changes a file in place: the new image is
// written to a temporary file in the same folder, checked write by write,
// flushed to the disk and renamed over the old file, so a save cut off at any
// point leaves either the old file or the new one.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Fault injection for tests: the write step (0-based) that fails, or -1.
// Steps are the temporary file's creation, each chunk written, the flush, the
// sync, the close and the rename. g_SaveWriteSteps counts the steps of the
// last write.
extern int g_SaveWriteFaultStep;
extern int g_SaveWriteSteps;

// Writes image as the file at path (native). 0, or -1 with *error set to
// the failing call's errno; the old file is then untouched. Stale temporary
// files of the same path are removed first.
int WriteSaveFileAtomically(const std::string& path, const std::vector<uint8_t>& image, int* error);

// Reads a whole save file. 0; 1 when it does not exist (also when a part of
// its folder is no folder); -1 when it cannot be read (*error holds errno:
// EISDIR for a folder, EINVAL for any other place that is not a regular
// file, EFBIG for a file larger than a save image can be, ENOMEM when its
// bytes do not fit in memory).
int ReadSaveFile(const std::string& path, std::vector<uint8_t>* bytes, int* error);

// Reads a save file's header and table, then the record that the table names
// for dno: the 4112 header bytes into *header and the record's DNO word with
// its record proper (as far as the file holds it, at most what its header
// says) into *record. 0; 1 when the file cannot be opened or is no regular
// file (a FIFO there is not waited on); -1 on a read
// error. Checking is left to the caller.
int ReadSaveFileRecord(const std::string& path, uint32_t dno, std::vector<uint8_t>* header,
                       std::vector<uint8_t>* record);
