#pragma once
// Sound files for the tests, made in the tests: PCM WAV by a small writer,
// other WAV formats by libsndfile, Ogg Vorbis by libvorbisenc; and a clean
// sound side on the mixer without a device thread.
#include <cstdint>
#include <string>
#include <vector>

#include "support/script_test_env.h"

struct ObjectTreeNode;
struct SoundRecord;

// A PCM WAV image; samples are the raw little-endian sample bytes.
std::vector<uint8_t> MakePcmWav(uint16_t channels, uint32_t rate, uint16_t bits, const std::vector<uint8_t>& samples);
// 16-bit samples as little-endian bytes.
std::vector<uint8_t> Pcm16Bytes(const std::vector<int16_t>& samples);
// A sine of `frames` frames per channel (interleaved), amplitude 12000.
std::vector<int16_t> SineTone(uint16_t channels, uint32_t rate, uint32_t frames, double hertz);
// An Ogg Vorbis image of the interleaved samples (one logical stream).
std::vector<uint8_t> EncodeVorbis(const std::vector<int16_t>& samples, uint16_t channels, uint32_t rate, int serial = 1);
// Every sample vorbisfile decodes from an image, interleaved.
std::vector<int16_t> DecodeVorbis(const std::vector<uint8_t>& image);
// A WAV image written by libsndfile in the given subformat (SF_FORMAT_*), in
// the plain container or, with SF_FORMAT_WAVEX, the extensible one.
std::vector<uint8_t> MakeSndfileWav(const std::vector<int16_t>& samples, uint16_t channels, uint32_t rate, int subformat,
                                    int container = 0);
// What libsndfile decodes from a WAV image, as 16-bit samples.
std::vector<int16_t> DecodeSndfile(const std::vector<uint8_t>& image);

// A clean engine with object trees, sound on the manual mixer (no device
// thread pulls it), the request ring, the game running in the background
// (the default: no automatic pause) and no sound thread: tests step the poll.
class SoundTestEnvironment {
 public:
  SoundTestEnvironment();
  ~SoundTestEnvironment();
  // A leaf or group under "S0" with a record.
  ObjectTreeNode* Add(const char* path, bool group = false);
  // Writes a file into the game folder.
  void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const;
  // Posts a load of `name` for a node of the given source kind.
  void Load(ObjectTreeNode* node, const char* name, uint8_t sourceKind) const;
  // One poll; fails the test on an error result.
  int32_t Poll() const;
  // Renders `frames` frames, polling after every 480 (10 ms); the left and
  // right channels appended to left/right.
  void RenderAndPoll(uint32_t frames, std::vector<float>* left, std::vector<float>* right = nullptr) const;

  ScriptTestEnvironment mScript;
};
