// Stand-ins until the sound subsystem is built: the engine runs silent.
#include "core/stand_in.h"
#include "sound/sound_device.h"

uint8_t g_SoundSetting = 0;
int InitDirectSound() {
  STAND_IN();
  return 0;
}
int StartSoundSystem() {
  STAND_IN();
  return 0;
}
void JoinSoundThread() { STAND_IN(); }
void ReleaseSoundDevice() { STAND_IN(); }
