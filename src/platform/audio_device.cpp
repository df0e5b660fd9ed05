#include "platform/audio_device.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/audio_mixer.h"

namespace {

std::atomic<AudioOutputMode> g_OutputMode{AudioOutputMode::System};
SDL_AudioDeviceID g_Device = 0;
bool g_Open = false;
bool g_SubsystemStarted = false;
AudioOpenFailure g_LastFailure = AudioOpenFailure::None;
std::string g_LastError;

bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
  auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  };
  return std::search(text.begin(), text.end(), part.begin(), part.end(), same) != text.end();
}

// SDL's own texts and the system error texts that the audio layers under it
// (ALSA, PulseAudio, ...) pass on, each with the kind it names; the first
// sign found in a text decides. System error texts come from strerror, in
// the language the layers use too.
struct FailureSign {
  AudioOpenFailure mKind;
  const char* mText;  // null: the text of mError
  int mError;
};

const FailureSign kFailureSigns[] = {
    {AudioOpenFailure::Busy, "already open", 0},
    {AudioOpenFailure::Busy, "Too many open audio devices", 0},
    {AudioOpenFailure::Busy, nullptr, EBUSY},
    {AudioOpenFailure::Busy, nullptr, EAGAIN},
    {AudioOpenFailure::OutOfMemory, "Out of memory", 0},
    {AudioOpenFailure::OutOfMemory, nullptr, ENOMEM},
    {AudioOpenFailure::InvalidParameters, "invalid", 0},
    {AudioOpenFailure::InvalidParameters, "Unsupported", 0},
    {AudioOpenFailure::InvalidParameters, nullptr, EINVAL},
    {AudioOpenFailure::NoDevice, "No available audio device", 0},
    {AudioOpenFailure::NoDevice, "not available", 0},
    {AudioOpenFailure::NoDevice, "No such", 0},
    {AudioOpenFailure::NoDevice, "connection", 0},
    {AudioOpenFailure::NoDevice, "Failed loading", 0},
    {AudioOpenFailure::NoDevice, "subsystem is not initialized", 0},
    {AudioOpenFailure::NoDevice, nullptr, ENOENT},
    {AudioOpenFailure::NoDevice, nullptr, ENODEV},
    {AudioOpenFailure::NoDevice, nullptr, ENXIO},
    {AudioOpenFailure::NoDevice, nullptr, ECONNREFUSED},
};

bool FailOpen(const char* text) {
  g_LastError = text != nullptr ? text : "";
  g_LastFailure = ClassifyAudioError(g_LastError.c_str());
  return false;
}

void PullMix(void*, Uint8* stream, int length) {
  RenderAudioMix(reinterpret_cast<float*>(stream), static_cast<uint32_t>(length) / (2 * sizeof(float)));
}

}  // namespace

void SetAudioOutputMode(AudioOutputMode mode) { g_OutputMode.store(mode); }
AudioOutputMode GetAudioOutputMode() { return g_OutputMode.load(); }

AudioOpenFailure ClassifyAudioError(const char* text) {
  std::string_view view = text != nullptr ? text : "";
  for (const FailureSign& sign : kFailureSigns) {
    if (ContainsIgnoringCase(view, sign.mText != nullptr ? sign.mText : std::strerror(sign.mError))) return sign.mKind;
  }
  return AudioOpenFailure::Other;
}

AudioOpenFailure LastAudioOpenFailure() { return g_LastFailure; }
const char* LastAudioOpenError() { return g_LastError.c_str(); }

bool OpenAudioOutput() {
  if (g_Open) return true;
  g_LastFailure = AudioOpenFailure::None;
  g_LastError.clear();
  switch (g_OutputMode.load()) {
    case AudioOutputMode::Absent:
      return FailOpen("No available audio device");
    case AudioOutputMode::Manual:
      g_Open = true;
      return true;
    case AudioOutputMode::System:
      break;
  }
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return FailOpen(SDL_GetError());
  g_SubsystemStarted = true;
  SDL_AudioSpec wanted{};
  wanted.freq = static_cast<int>(kMixRate);
  wanted.format = AUDIO_F32SYS;
  wanted.channels = 2;
  wanted.samples = 1024;
  wanted.callback = PullMix;
  SDL_AudioSpec obtained{};
  // No changes allowed: SDL converts the float stereo mix to what the device
  // takes.
  g_Device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (g_Device == 0) {
    // The text first: quitting the subsystem may set another.
    FailOpen(SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    g_SubsystemStarted = false;
    return false;
  }
  SDL_PauseAudioDevice(g_Device, 0);
  g_Open = true;
  return true;
}

void CloseAudioOutput() {
  if (g_Device != 0) {
    SDL_CloseAudioDevice(g_Device);
    g_Device = 0;
  }
  if (g_SubsystemStarted) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    g_SubsystemStarted = false;
  }
  g_Open = false;
}

bool IsAudioOutputOpen() { return g_Open; }
