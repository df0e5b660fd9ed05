#include "sound/sound_controls.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/object_tree.h"
#include "core/process_state.h"
#include "platform/audio_mixer.h"
#include "platform/clock.h"
#include "sound/sound_device.h"
#include "sound/sound_record.h"
#include "sound/sound_stream.h"
#include "sound/sound_thread.h"

SoundRecord* SoundRecordOf(const ObjectTreeNode* node) {
  return node != nullptr ? static_cast<SoundRecord*>(node->mPayload) : nullptr;
}

bool IsNamedSoundNode(const ObjectTreeNode* node) { return node != nullptr && node->mParent != nullptr; }

int32_t SoundVolumeAttenuation(int32_t volume) {
  if (volume <= 0) return kAudioSilence;
  double value = std::trunc(std::log10(volume / 256.0) * 40.0 * 100.0);
  return static_cast<int32_t>(std::clamp(value, -10000.0, 0.0));
}

int32_t SoundPanAttenuation(int32_t pan) {
  if (pan < 0 || pan > 512) return 0;
  int32_t side = pan <= 256 ? pan : 512 - pan;
  int32_t attenuation = kAudioSilence;
  if (side != 0) {
    attenuation = static_cast<int32_t>(std::clamp(std::trunc(std::log10(side / 256.0) * 4000.0), -10000.0, 0.0));
  }
  return pan <= 256 ? attenuation : -attenuation;
}

uint32_t SoundFrequencyRate(int32_t factor, uint32_t rate) {
  if (factor < 0 || factor > 512) factor = 256;
  int64_t r = rate;
  return static_cast<uint32_t>(r + ((factor - 256) * (r / 2)) / 256);
}

void ApplySoundVolume(ObjectTreeNode* node, int32_t volume) {
  SoundRecord* record = SoundRecordOf(node);
  if (record == nullptr || record->mBuffer == nullptr) return;
  SetAudioBufferVolume(record->mBuffer, SoundVolumeAttenuation(volume));
}

int32_t GetEffectiveVolume(const ObjectTreeNode* node) {
  int32_t volume = 256;
  // Product from the node up; each step floored, as the tree is walked from
  // the top down: v(node) = own(node) * v(parent) / 256.
  const ObjectTreeNode* chain[256];
  int count = 0;
  for (const ObjectTreeNode* n = node; IsNamedSoundNode(n) && count < 256; n = n->mParent) chain[count++] = n;
  for (int i = count - 1; i >= 0; --i) {
    const SoundRecord* record = SoundRecordOf(chain[i]);
    int32_t own = record != nullptr && record->mEnabled == 1 ? record->mVolume : 0;
    volume = static_cast<int32_t>(static_cast<int64_t>(own) * volume / 256);
  }
  return volume;
}

int ApplyNodeVolume(ObjectTreeNode* node, int32_t volume) {
  if (g_SoundDevice == 0 || node == nullptr) return 0;
  if (node->mIsGroup != 0) {
    ApplyTreeVolumes(node->mFirstChild);
  } else {
    // A leaf that is not enabled is muted like everything below a disabled
    // group.
    const SoundRecord* record = SoundRecordOf(node);
    int32_t value = record != nullptr && record->mEnabled != 1 ? 0 : volume;
    if (IsNamedSoundNode(node->mParent)) {
      value = static_cast<int32_t>(static_cast<int64_t>(value) * GetEffectiveVolume(node->mParent) / 256);
    }
    ApplySoundVolume(node, value);
  }
  return 1;
}

int ApplyTreeVolumes(ObjectTreeNode* chain) {
  for (ObjectTreeNode* node = chain; node != nullptr; node = node->mNextSibling) {
    ApplySoundVolume(node, GetEffectiveVolume(node));
    if (node->mIsGroup != 0) ApplyTreeVolumes(node->mFirstChild);
  }
  return 0;
}

int ApplySoundPan(SoundRecord* record, int32_t pan) {
  if (g_SoundDevice == 0 || record == nullptr || record->mBuffer == nullptr) return 0;
  SetAudioBufferPan(record->mBuffer, SoundPanAttenuation(pan));
  return 1;
}

int ApplySoundFrequency(SoundRecord* record, int32_t factor) {
  if (record == nullptr || record->mBuffer == nullptr) return 0;
  SetAudioBufferFrequency(record->mBuffer, SoundFrequencyRate(factor, record->mFormat.mSamplesPerSec));
  return 1;
}

uint8_t IsSoundChainEnabled(const ObjectTreeNode* node) {
  uint8_t value = 0xFF;
  for (const ObjectTreeNode* n = node; IsNamedSoundNode(n); n = n->mParent) {
    const SoundRecord* record = SoundRecordOf(n);
    value &= record != nullptr ? record->mEnabled : 0;
  }
  return value;
}

uint8_t IsSoundChainPaused(const ObjectTreeNode* node) {
  uint8_t value = 0;
  for (const ObjectTreeNode* n = node; IsNamedSoundNode(n); n = n->mParent) {
    const SoundRecord* record = SoundRecordOf(n);
    if (record != nullptr) value |= record->mPaused;
  }
  return value;
}

int32_t PauseSoundNode(ObjectTreeNode* node, int32_t flag) {
  int32_t result = PauseOrResumeSound(node, flag);
  if (result < 0) return result;
  if (node != nullptr && node->mIsGroup != 0) return PauseSoundTree(node->mFirstChild, flag);
  return 0;
}

int32_t PauseSoundTree(ObjectTreeNode* chain, int32_t flag) {
  for (ObjectTreeNode* node = chain; node != nullptr; node = node->mNextSibling) {
    int32_t result = PauseOrResumeSound(node, flag);
    if (result < 0) return result;
    if (node->mIsGroup != 0) {
      result = PauseSoundTree(node->mFirstChild, flag);
      if (result < 0) return result;
    }
  }
  return 0;
}

int32_t PauseOrResumeSound(ObjectTreeNode* node, int32_t flag) {
  if (flag == 1) return PauseSound(node);
  if (flag == 0 && IsSoundChainEnabled(node) == 1 && IsSoundChainPaused(node) == 0) return ResumeSound(node);
  return 0;
}

int32_t PauseSound(ObjectTreeNode* node) {
  SoundRecord* record = SoundRecordOf(node);
  if (record == nullptr || record->mState <= SOUND_STATE_LOADED || record->mPausedAt != 0) return 0;
  if (g_QuitFlag.load() != 0) {
    SilenceSoundNode(node, 2);
    record->mState = SOUND_STATE_IDLE;
    return 0;
  }
  // A member of a paused group may have no channel (it never started one,
  // or lost it): there is nothing to pause.
  if (record->mBuffer == nullptr) return 0;
  uint32_t cursor = 0;
  if (!GetAudioBufferCursors(record->mBuffer, &cursor, nullptr)) return -420;
  uint32_t advance = cursor >= record->mLastCursor ? cursor - record->mLastCursor
                                                   : cursor + record->mBufferBytes - record->mLastCursor;
  record->mBytesPlayed += advance;
  record->mLastCursor = cursor;
  FreeChannelBuffers(record);
  uint32_t now = GetTimeMs();
  // 0 means "not paused".
  record->mPausedAt = now != 0 ? now : 1;
  return 0;
}

int32_t ResumeSound(ObjectTreeNode* node) {
  SoundRecord* record = SoundRecordOf(node);
  if (record == nullptr || record->mState <= SOUND_STATE_LOADED || record->mPausedAt == 0) return 0;
  record->mHalf = 1;
  record->mStartMs = record->mBytesPerSec > 0 ? static_cast<int32_t>(record->mBytesPlayed * 1000 / record->mBytesPerSec) : 0;
  record->mBytesPlayed = 0;
  record->mLastCursor = 0;
  record->mCarryLen = 0;
  record->mSilenceBytes = 0;
  int32_t endMs = record->mEndMs;
  int32_t result = OpenSoundSource(record);
  if (result < 0) return result;
  record->mEndMs = endMs;
  int32_t start = record->mStartMs;
  if (start >= record->mEndMs) {
    start = 0;
    record->mStartMs = 0;
  }
  result = SeekSoundMs(record, start);
  if (result < 0) return result;
  record->mBytesPlayed = record->mDecodePosBytes;
  record->mHalf = 1;
  record->mLockOffset = 0;
  result = RefillSoundHalf(record);
  if (result < 0) return result;
  ApplyNodeVolume(node, record->mFadeTo);
  ApplySoundPan(record, record->mPan);
  ApplySoundFrequency(record, record->mFrequency);
  if (g_SoundDevice != 0) {
    if (record->mBuffer == nullptr) return -430;
    if (!PlayAudioBuffer(record->mBuffer, true)) return -440;
  }
  record->mPausedAt = 0;
  return 0;
}

void FreeChannelBuffers(SoundRecord* record) {
  if (record == nullptr) return;
  StopSoundBuffer(record);
  ReleaseAudioBuffer(record->mBuffer);
  record->mBuffer = nullptr;
  std::free(record->mWorkBuffer);
  std::free(record->mCarryBuffer);
  record->mWorkBuffer = nullptr;
  record->mCarryBuffer = nullptr;
}

void ReleaseSoundChannel(SoundRecord* record) {
  if (record == nullptr) return;
  FreeChannelBuffers(record);
  std::free(record->mFileData);
  record->mFileData = nullptr;
  record->mPcmData = nullptr;
  record->mPcmLen = 0;
  record->mFileSize = 0;
  record->mStartMs = 0;
  record->mLoopBackMs = 0;
  // A released channel is no longer paused: a later start must not find an
  // old pause time.
  record->mPausedAt = 0;
}

void ReleaseSoundTree(ObjectTreeNode* chain) {
  for (ObjectTreeNode* node = chain; node != nullptr; node = node->mNextSibling) {
    ReleaseSoundChannel(SoundRecordOf(node));
    if (node->mIsGroup != 0) ReleaseSoundTree(node->mFirstChild);
  }
}
