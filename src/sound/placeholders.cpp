// Stand-ins until the sound subsystem is built: the engine runs silent.
#include "sound/sound_device.h"

uint8_t g_SoundSetting = 0;
int InitDirectSound() { return 0; }
int StartSoundSystem() { return 0; }
void JoinSoundThread() {}
void ReleaseSoundDevice() {}
