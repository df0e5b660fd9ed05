#include "datasrc/compression.h"

#include "platform/block_codec.h"

SnpApi g_SnpApi;
bool g_SnpModule = false;
uint8_t g_UseSnpVariables = 1;
uint8_t g_UseSnpSlots = 0;
uint8_t g_UseSnpImages = 0;
uint8_t g_UseSnpPacks = 0;

bool IsCompressionLibraryWanted() {
  return g_UseSnpVariables == 1 || g_UseSnpSlots == 1 || g_UseSnpImages == 1 || g_UseSnpPacks == 1;
}

int LoadCompressionLibrary() {
  // The library is linked into the program, so it always loads and every
  // entry point is present.
  g_SnpModule = true;
  g_SnpApi.mCompressedLength = BlockCodecMaxCompressedLength;
  g_SnpApi.mCompress = BlockCodecCompress;
  g_SnpApi.mUncompressedLength = BlockCodecUncompressedLength;
  g_SnpApi.mUncompress = BlockCodecUncompress;
  return 0;
}

void ReleaseCompressionLibrary() {
  g_SnpModule = false;
  g_SnpApi = SnpApi();
}
