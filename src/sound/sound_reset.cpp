#include "sound/sound_reset.h"

#include "core/process_state.h"
#include "platform/audio_device.h"
#include "platform/audio_mixer.h"
#include "sound/sound_controls.h"
#include "sound/sound_device.h"
#include "sound/sound_thread.h"

void ResetSoundState() {
  ResetSoundThread();
  {
    // The channels still open belong to records the script engine frees.
    std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
    ReleaseSoundTree(FirstSoundNode());
  }
  ReleaseSoundDevice();
  ReleaseAllAudioBuffers();
  SetAudioOutputMode(AudioOutputMode::System);
  g_SoundSetting = 0;
}
