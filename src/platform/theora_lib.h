#pragma once
// The Theora movie decoder that the layer movie loads when a movie opens:
// libtheora with libogg for the pictures and libvorbis for the sound track,
// behind the call shapes the engine binds by name. The decoder reads the
// movie through the caller's read and size callbacks and writes each decoded
// picture row by row through the row callback, as 32-bit B, G, R, A pixels
// (alpha 255).
#include <cstdint>

struct TheoraVideo;
struct TheoraAudio;

// Copies up to count bytes of the movie at offset into destination; the
// number copied.
using TheoraReadCallback = uint32_t (*)(const uint8_t* data, uint8_t* destination, uint32_t offset, uint32_t count);
using TheoraSizeCallback = uint32_t (*)();
// The start of picture row `row` (top-down once rows are reversed).
using TheoraRowCallback = uint8_t* (*)(void* any, int32_t row);
// The picture size, told before the first row is written.
using TheoraFrameSizeCallback = void (*)(void* any, int32_t width, int32_t height);

// The entry points the engine calls, bound when the library loads.
struct TheoraLibApi {
  TheoraVideo* (*m_create)();
  void (*m_free)(TheoraVideo* video);
  // 1: rows are delivered top-down; 0: bottom-up.
  void (*m_setvrevers)(TheoraVideo* video, int32_t reverse);
  // 0 when the movie holds a Theora stream whose headers decode; negative
  // otherwise (nothing can be decoded then).
  int32_t (*m_load)(TheoraVideo* video, const uint8_t* data, TheoraReadCallback read, TheoraSizeCallback size,
                    void* any, TheoraRowCallback row, TheoraFrameSizeCallback frameSize, int32_t mode);
  int32_t (*m_totalframe)(TheoraVideo* video);
  // 1 when the picture of that frame was written through the row callback;
  // when the last call wrote that same frame (in the same row order) the
  // rows already hold it and nothing is written again.
  int32_t (*m_decodeframe)(TheoraVideo* video, int32_t frame);
  TheoraAudio* (*w_create)();
  void (*w_free)(TheoraAudio* audio);
  // 0 when the movie holds a Vorbis stream whose headers decode.
  int32_t (*w_load)(TheoraAudio* audio, const uint8_t* data, TheoraReadCallback read, TheoraSizeCallback size);
  // The sample position of the sound track (it is never played: 0).
  int64_t (*w_nowsample)(TheoraAudio* audio);
  int32_t (*w_totalsample)(TheoraAudio* audio);
};

// Loads the library: its entry points, or null when it is missing. Each load
// is matched by one UnloadTheoraLibrary.
const TheoraLibApi* LoadTheoraLibrary();
void UnloadTheoraLibrary();
// Loads not yet matched by an unload.
int CountTheoraLibraryLoads();
// Tests make the library missing.
void SetTheoraLibraryMissing(bool missing);
