#include "sound/sound_device.h"

#include "core/errors.h"
#include "platform/audio_device.h"
#include "platform/audio_mixer.h"
#include "sound/sound_record.h"

uint8_t g_SoundSetting = 0;
uint8_t g_SoundDevice = 0;

int InitDirectSound() {
  if (g_SoundDevice != 0) return 1;
  if (!OpenAudioOutput()) {
    // The box of a missing sound driver: start-up goes on without sound or
    // ends, as the sound setting says.
    ShowMessageBox("サウンド初期化エラー",
                   "利用可能なサウンドドライバが存在しませんでした。起動にはサウンド機能が正常に動作している必要があります。");
    return 0;
  }
  g_SoundDevice = 1;
  return 1;
}

void ReleaseSoundDevice() {
  if (g_SoundDevice == 0) return;
  CloseAudioOutput();
  g_SoundDevice = 0;
}

int StopSoundBuffer(SoundRecord* record) {
  if (g_SoundDevice == 0 || record == nullptr || record->mBuffer == nullptr) return 0;
  StopAudioBuffer(record->mBuffer);
  return 1;
}
