#include "sound/sound_reset.h"

#include "sound/sound_device.h"

void ResetSoundState() {
  JoinSoundThread();
  ReleaseSoundDevice();
  g_SoundSetting = 0;
}
