// Fuzz target of the sound loader: the first byte picks the source kind
// (Ogg Vorbis or WAV), the rest is the file image. The source is opened on
// the mixer, sought and streamed for a few halves with loops, then released.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/audio_device.h"
#include "platform/audio_mixer.h"
#include "sound/sound_controls.h"
#include "sound/sound_device.h"
#include "sound/sound_record.h"
#include "sound/sound_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    ready = true;
    SetAudioOutputMode(AudioOutputMode::Manual);
    g_SoundSetting = 1;
    InitDirectSound();
  }
  if (size < 2 || size > (1u << 20)) return -1;
  SoundRecord record{};
  record.mSourceKind = (data[0] & 1) != 0 ? SOUND_SOURCE_OGG : SOUND_SOURCE_WAV;
  record.mFileData = static_cast<uint8_t*>(std::malloc(size - 1));
  std::memcpy(record.mFileData, data + 1, size - 1);
  record.mFileSize = static_cast<int32_t>(size - 1);
  record.mEndMs = 0;
  if (OpenSoundSource(&record) == 0) {
    record.mLoopBackMs = data[0] >> 1;
    record.mDecoderLoopsLeft = 3;
    int32_t start = static_cast<int32_t>(data[0]) * 7 - 500;
    if (SeekSoundMs(&record, start) == 0) {
      for (int half = 0; half < 4; ++half) {
        record.mLockOffset = (half & 1) != 0 ? record.mBufferBytes / 2 : 0;
        if (RefillSoundHalf(&record) != 0) break;
      }
    }
    float mix[2 * 256];
    PlayAudioBuffer(record.mBuffer, true);
    RenderAudioMix(mix, 256);
  }
  ReleaseSoundChannel(&record);
  return 0;
}
