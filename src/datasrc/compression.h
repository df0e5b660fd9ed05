#pragma once
// The compression library bound at start-up.
#include <cstddef>
#include <cstdint>

struct SnpApi {
  size_t (*mCompressedLength)(size_t length) = nullptr;
  int (*mCompress)(const char* source, size_t length, char* destination, size_t* destinationLength) = nullptr;
  int (*mUncompressedLength)(const char* source, size_t length, size_t* result) = nullptr;
  int (*mUncompress)(const char* source, size_t length, char* destination, size_t* destinationLength) = nullptr;
};

extern SnpApi g_SnpApi;
extern bool g_SnpModule;  // the library is loaded
// What goes through the library: variable records always; memory slots,
// images and packs use zlib.
extern uint8_t g_UseSnpVariables;
extern uint8_t g_UseSnpSlots;
extern uint8_t g_UseSnpImages;
extern uint8_t g_UseSnpPacks;

bool IsCompressionLibraryWanted();
// Binds the library (linked in: every entry point is present); 0.
int LoadCompressionLibrary();
void ReleaseCompressionLibrary();
