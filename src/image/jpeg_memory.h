#pragma once
// libjpeg helpers shared by the JPEG decoder, the JPEG writer and the frame
// animation: an error exit that jumps back to the caller and a source that
// reads a file image held in memory.
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

// The library's error record followed by the jump point of the error exit.
struct JpegErrorManager {
  jpeg_error_mgr mPublic;
  std::jmp_buf mJump;
};

// Installs the standard error routines with JpegErrorExit and a silent
// message output (library warnings are not shown); returns cinfo->err.
jpeg_error_mgr* InitJpegErrorManager(JpegErrorManager* manager);
// error_exit: jumps to the manager's jump point with value 1.
[[noreturn]] void JpegErrorExit(j_common_ptr info);

// Reads from `data` (size bytes). Past the end the source gives an end-of-image
// marker, so a truncated file ends its image instead of reading further; a
// skip past the end stops at the end. The record lives in the decompressor's
// permanent pool.
void SetJpegMemorySource(j_decompress_ptr info, const uint8_t* data, size_t size);

// The start every decoder shares, run after the caller has set the jump
// point of info's error manager: creates the decompressor on `data` (size
// bytes), reads the header and says whether both sides are within the
// largest image side, before the library allocates anything for them. The
// caller destroys the decompressor either way.
bool ReadJpegHeaderWithinLimits(j_decompress_ptr info, const uint8_t* data, size_t size);
