#pragma once
// The sound device and the sound thread.
#include <cstdint>

// 0 no sound, 1 sound, 2 sound required.
extern uint8_t g_SoundSetting;
// 1 when the device is ready.
int InitDirectSound();
// 0 success; non-zero ends start-up.
int StartSoundSystem();
// Waits (bounded) for the sound thread to end on the quit flag and joins it.
void JoinSoundThread();
void ReleaseSoundDevice();
