#pragma once
// The block compressor of variable save records and qcg images (Snappy).
#include <cstddef>

// Upper bound of the compressed size of n bytes.
size_t BlockCodecMaxCompressedLength(size_t length);
// in/out length: room of the destination in, bytes written out. 0 success.
int BlockCodecCompress(const char* source, size_t length, char* destination, size_t* destinationLength);
// The unpacked size stored in a compressed block. 0 success.
int BlockCodecUncompressedLength(const char* source, size_t length, size_t* result);
// in/out length as above. 0 success; non-zero for damaged data or too little
// room.
int BlockCodecUncompress(const char* source, size_t length, char* destination, size_t* destinationLength);
