#pragma once
// The sound device and the start and end of the sound system.
#include <cstdint>

struct SoundRecord;

// 0 no sound, 1 sound, 2 sound required (start-up ends without a device).
extern uint8_t g_SoundSetting;
// 1 while the device exists; every device call is skipped while it is 0.
extern uint8_t g_SoundDevice;

// Opens the device: 1 when it is ready, 0 after the "no sound" box.
int InitDirectSound();
// The request ring, the sound thread (always) and, with sound, the silent
// "ROOT" sound. 0, or -1 when the "ROOT" sound cannot be made.
int StartSoundSystem();
// Waits (bounded) for the sound thread to end on the quit flag and joins it.
void JoinSoundThread();
// Closes the device (after the sound thread ended).
void ReleaseSoundDevice();
// Stops the channel's buffer: 1 when one was stopped, 0 without a device or
// a buffer.
int StopSoundBuffer(SoundRecord* record);
