#include "datasrc/compression.h"

#include "platform/block_codec.h"
#include "shell/errors.h"

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
  // The library is part of the program here, so it always loads and every
  // entry point is present; the reports stay for a binding that lacks one.
  g_SnpModule = true;
  g_SnpApi.mCompressedLength = BlockCodecMaxCompressedLength;
  g_SnpApi.mCompress = BlockCodecCompress;
  g_SnpApi.mUncompressedLength = BlockCodecUncompressedLength;
  g_SnpApi.mUncompress = BlockCodecUncompress;
  if (g_SnpApi.mUncompress == nullptr) ShowMessageBox("", "RUVaz_Uvevizudad が見つかりません。");
  if (g_SnpApi.mCompress == nullptr) ShowMessageBox("", "DEVer_Compress が見つかりません。");
  if (g_SnpApi.mUncompressedLength == nullptr) ShowMessageBox("", "RUVaz_UvevizudadedLength が見つかりません。");
  return 0;
}

void ReleaseCompressionLibrary() {
  g_SnpModule = false;
  g_SnpApi = SnpApi();
}
