#include "sound/sound_device.h"

#include "core/debug_log.h"
#include "core/errors.h"
#include "platform/audio_device.h"
#include "platform/audio_mixer.h"
#include "sound/sound_record.h"

uint8_t g_SoundSetting = 0;
uint8_t g_SoundDevice = 0;

namespace {

// The text the player sees for a kind of device failure; null for a kind
// that shows nothing.
const char* DeviceFailureText(AudioOpenFailure failure) {
  switch (failure) {
    case AudioOpenFailure::Busy:
      return "サウンドリソースが使用中でした。他の音楽プレーヤー等、起動、常駐しているソフトがあれば終了させてください。";
    case AudioOpenFailure::NoDevice:
      return "利用可能なサウンドドライバが存在しませんでした。起動にはサウンド機能が正常に動作している必要があります。";
    case AudioOpenFailure::OutOfMemory:
      return "メモリ不足です。";
    case AudioOpenFailure::InvalidParameters:
      return "無効なパラメータです。";
    case AudioOpenFailure::None:
    case AudioOpenFailure::Other:
      break;
  }
  return nullptr;
}

}  // namespace

int InitDirectSound() {
  if (g_SoundDevice != 0) return 1;
  if (!OpenAudioOutput()) {
    // Start-up goes on without sound or ends, as the sound setting says; the
    // log keeps what the system said, also for a failure without a box.
    WriteDebugLog("debuglog.txt", false, 1, "sound: no sound device: %s", LastAudioOpenError());
    const char* text = DeviceFailureText(LastAudioOpenFailure());
    if (text != nullptr) ShowMessageBox("サウンド初期化エラー", "%s", text);
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
