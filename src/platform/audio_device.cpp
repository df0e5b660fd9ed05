#include "platform/audio_device.h"

#include <SDL.h>

#include <atomic>

#include "platform/audio_mixer.h"

namespace {

std::atomic<AudioOutputMode> g_OutputMode{AudioOutputMode::System};
SDL_AudioDeviceID g_Device = 0;
bool g_Open = false;
bool g_SubsystemStarted = false;

void PullMix(void*, Uint8* stream, int length) {
  RenderAudioMix(reinterpret_cast<float*>(stream), static_cast<uint32_t>(length) / (2 * sizeof(float)));
}

}  // namespace

void SetAudioOutputMode(AudioOutputMode mode) { g_OutputMode.store(mode); }
AudioOutputMode GetAudioOutputMode() { return g_OutputMode.load(); }

bool OpenAudioOutput() {
  if (g_Open) return true;
  switch (g_OutputMode.load()) {
    case AudioOutputMode::Absent:
      return false;
    case AudioOutputMode::Manual:
      g_Open = true;
      return true;
    case AudioOutputMode::System:
      break;
  }
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
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
