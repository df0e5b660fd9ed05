#pragma once
// The one audio device: SDL pulls the mix (audio_mixer.h) as 48 kHz stereo
// float. Tests choose a device that is opened without SDL and never pulls,
// so they render the mix themselves, or one that cannot be opened.
#include <cstdint>

enum class AudioOutputMode : uint8_t {
  System,  // the system's device through SDL
  Manual,  // opens always; nothing pulls the mix but RenderAudioMix callers
  Absent,  // never opens
};

void SetAudioOutputMode(AudioOutputMode mode);
AudioOutputMode GetAudioOutputMode();
// Opens the device and starts pulling the mix; false when there is none.
bool OpenAudioOutput();
// Stops pulling and closes the device; nothing when it is not open.
void CloseAudioOutput();
bool IsAudioOutputOpen();
