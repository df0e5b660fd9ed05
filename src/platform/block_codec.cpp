#include "platform/block_codec.h"

#include <snappy-c.h>

size_t BlockCodecMaxCompressedLength(size_t length) { return snappy_max_compressed_length(length); }

int BlockCodecCompress(const char* source, size_t length, char* destination, size_t* destinationLength) {
  if (*destinationLength < snappy_max_compressed_length(length)) return 1;
  return snappy_compress(source, length, destination, destinationLength) == SNAPPY_OK ? 0 : 1;
}

int BlockCodecUncompressedLength(const char* source, size_t length, size_t* result) {
  return snappy_uncompressed_length(source, length, result) == SNAPPY_OK ? 0 : 1;
}

int BlockCodecUncompress(const char* source, size_t length, char* destination, size_t* destinationLength) {
  size_t needed = 0;
  if (snappy_uncompressed_length(source, length, &needed) != SNAPPY_OK) return 1;
  if (needed > *destinationLength) return 1;
  if (snappy_validate_compressed_buffer(source, length) != SNAPPY_OK) return 1;
  return snappy_uncompress(source, length, destination, destinationLength) == SNAPPY_OK ? 0 : 1;
}
