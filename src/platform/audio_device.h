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
// Why the device did not open, from what SDL and the audio layer under it
// reported.
enum class AudioOpenFailure : uint8_t {
  None,
  Busy,               // another program holds the device
  NoDevice,           // no driver, or no device to play on
  OutOfMemory,
  InvalidParameters,  // the device refused the format or another parameter
  Other,
};

// Opens the device and starts pulling the mix; false when there is none.
bool OpenAudioOutput();
// The failure of the last open that returned false, and the text SDL gave.
AudioOpenFailure LastAudioOpenFailure();
const char* LastAudioOpenError();
// The kind of failure an error text of SDL or of the audio layer names.
AudioOpenFailure ClassifyAudioError(const char* text);
// Stops pulling and closes the device; nothing when it is not open.
void CloseAudioOutput();
bool IsAudioOutputOpen();
