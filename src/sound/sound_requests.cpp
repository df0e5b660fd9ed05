#include "sound/sound_requests.h"

#include <algorithm>
#include <cstring>

#include "core/object_tree.h"
#include "platform/audio_mixer.h"
#include "platform/clock.h"
#include "sound/sound_controls.h"
#include "sound/sound_record.h"
#include "sound/sound_ring.h"
#include "sound/sound_stream.h"
#include "sound/sound_thread.h"

const SoundRequestHandler g_SoundRequestHandlers[15] = {
    nullptr,           RunSoundLoad,          RunSoundPlay,          RunSoundPause,      RunSoundFadeOut,
    RunSoundSetVolume, RunSoundSetFadeTarget, RunSoundSetLoopCount,  RunSoundSetEnd,     RunSoundSetStart,
    RunSoundSetLoopBack, RunSoundSetPan,      RunSoundSetFrequency,  RunSoundNop,        RunSoundStop,
};

namespace {

ObjectTreeNode* NodeOf(int32_t slot) { return g_SoundRequestNodes[slot]; }
SoundRecord* RecordOf(int32_t slot) { return SoundRecordOf(g_SoundRequestNodes[slot]); }
int32_t ParamOf(int32_t slot) { return g_SoundRequestParams[slot]; }

// Stops a busy node: silent, released, idle.
void StopBusyNode(ObjectTreeNode* node, SoundRecord* record, int32_t volume) {
  SilenceSoundNode(node, volume);
  ReleaseSoundChannel(record);
  record->mState = SOUND_STATE_IDLE;
}

int32_t FadeRate(int32_t delta, int32_t fadeMs) {
  int64_t scaled = static_cast<int64_t>(delta) * 1024;
  return static_cast<int32_t>(fadeMs != 0 ? scaled / fadeMs : scaled);
}

// keepStart: a start point set on a loaded sound is where its play begins.
void ResetPlayCounters(SoundRecord* record, bool keepStart) {
  record->mHalf = 1;
  if (!keepStart) record->mStartMs = 0;
  record->mBytesPlayed = 0;
  record->mLastCursor = 0;
  record->mCarryLen = 0;
  record->mSilenceBytes = 0;
  record->mFadeEnd = 0;
  record->mFadeStart = GetTimeMs();
}

int32_t StartPlayback(ObjectTreeNode* node, SoundRecord* record, int32_t errorBase) {
  // Every start counts its passes afresh from the loop target the script
  // set; counts left from an earlier play would end it early or never.
  record->mLoopsDone = 0;
  record->mDecoderLoopsLeft = record->mLoopTarget;
  record->mPendingEndMs = 0;
  record->mPendingLoopBackMs = 0;
  int32_t start = record->mStartMs;
  if (start >= record->mEndMs) {
    start = 0;
    record->mStartMs = 0;
  }
  int32_t result = SeekSoundMs(record, start);
  if (result < 0) return result;
  record->mBytesPlayed = record->mDecodePosBytes;
  record->mHalf = 1;
  record->mLockOffset = 0;
  result = RefillSoundHalf(record);
  if (result < 0) return result;
  ApplySoundVolume(node, 0);
  ApplySoundPan(record, record->mPan);
  ApplySoundFrequency(record, record->mFrequency);
  if (record->mBuffer == nullptr) return -1;
  SetAudioBufferCursor(record->mBuffer, 0);
  if (!PlayAudioBuffer(record->mBuffer, true)) return -errorBase;
  record->mFadeFrom = 0;
  record->mFadeRate = FadeRate(record->mFadeTo, record->mFadeMs);
  record->mState = SOUND_STATE_FADING;
  // A sound started under a paused or automatically paused chain is set up
  // and then held paused at once.
  if (IsSoundChainPaused(node) != 0 || g_SoundAutoPaused != 0) return PauseSound(node);
  return 0;
}

}  // namespace

int32_t RunSoundLoad(int32_t slot) {
  ObjectTreeNode* node = NodeOf(slot);
  SoundRecord* record = RecordOf(slot);
  if (record == nullptr) return 1;
  if (record->mState != SOUND_STATE_IDLE) {
    StopBusyNode(node, record, 0);
    return 0;
  }
  std::memcpy(record->mFileName, g_SoundRequestNames[slot], kSoundFileNameBytes);
  record->mFileName[kSoundFileNameBytes - 1] = '\0';
  record->mDecoderLoopsLeft = 0;
  record->mHalf = 1;
  record->mPan = 256;
  record->mFrequency = 256;
  record->mStartMs = record->mLoopBackMs = record->mEndMs = 0;
  record->mBytesPlayed = 0;
  record->mPendingLoopBackMs = record->mPendingEndMs = 0;
  int32_t result = LoadSoundFile(record, node->mOrderKey);
  if (result < 0) return result;
  record->mState = SOUND_STATE_LOADED;
  return 1;
}

int32_t RunSoundPlay(int32_t slot) {
  ObjectTreeNode* node = NodeOf(slot);
  SoundRecord* record = RecordOf(slot);
  if (record == nullptr) return 1;
  record->mFadeMs = ParamOf(slot);
  switch (record->mState) {
    case SOUND_STATE_IDLE: {
      if (record->mFileName[0] == '\0') return 1;
      ResetPlayCounters(record, false);
      int32_t result = LoadSoundFile(record, node->mOrderKey);
      if (result < 0) return result;
      result = StartPlayback(node, record, 110);
      return result < 0 ? result : 1;
    }
    case SOUND_STATE_LOADED: {
      ResetPlayCounters(record, true);
      int32_t result = StartPlayback(node, record, 120);
      return result < 0 ? result : 1;
    }
    case SOUND_STATE_FADING:
    case SOUND_STATE_PLAYING:
      record->mFadeStart = GetTimeMs();
      record->mFadeEnd = 0;
      record->mFadeFrom = record->mVolume;
      record->mFadeRate = FadeRate(record->mFadeTo - record->mVolume, record->mFadeMs);
      record->mState = SOUND_STATE_FADING;
      return 1;
    default:
      std::swap(record->mFadeFrom, record->mFadeTo);
      StopBusyNode(node, record, 0);
      return 0;
  }
}

int32_t RunSoundPause(int32_t slot) {
  ObjectTreeNode* node = NodeOf(slot);
  SoundRecord* record = RecordOf(slot);
  if (record == nullptr) return 1;
  record->mPaused = static_cast<uint8_t>(ParamOf(slot));
  int32_t result = PauseSoundNode(node, ParamOf(slot));
  return result < 0 ? result : 1;
}

int32_t RunSoundFadeOut(int32_t slot) {
  SoundRecord* record = RecordOf(slot);
  if (record == nullptr || record->mState < SOUND_STATE_FADING) return 1;
  record->mFadeMs = ParamOf(slot);
  record->mFadeStart = GetTimeMs();
  record->mFadeEnd = 0;
  record->mFadeFrom = record->mVolume;
  record->mFadeTo = 0;
  record->mFadeRate = FadeRate(-record->mVolume, record->mFadeMs);
  record->mState = SOUND_STATE_FADING_OUT;
  return 1;
}

int32_t RunSoundSetVolume(int32_t slot) {
  ObjectTreeNode* node = NodeOf(slot);
  SoundRecord* record = RecordOf(slot);
  if (record == nullptr) return 1;
  record->mVolume = record->mFadeTo = record->mPrevFadeTo = ParamOf(slot);
  ApplyNodeVolume(node, record->mVolume);
  // A chain enabled again lets the sounds below it that an automatic pause
  // held go on.
  if (g_SoundAutoPaused == 0 && IsSoundChainEnabled(node) == 1 && IsSoundChainPaused(node) == 0) {
    int32_t result = PauseSoundNode(node, 0);
    if (result < 0) return result;
  }
  return 1;
}

int32_t RunSoundSetFadeTarget(int32_t slot) {
  SoundRecord* record = RecordOf(slot);
  if (record == nullptr) return 1;
  record->mPrevFadeTo = record->mFadeTo;
  record->mFadeTo = ParamOf(slot);
  return 1;
}

int32_t RunSoundSetLoopCount(int32_t slot) {
  SoundRecord* record = RecordOf(slot);
  if (record != nullptr && record->mState != SOUND_STATE_IDLE) record->mDecoderLoopsLeft = ParamOf(slot);
  return 1;
}

int32_t RunSoundSetEnd(int32_t slot) {
  SoundRecord* record = RecordOf(slot);
  if (record != nullptr && record->mState != SOUND_STATE_IDLE) {
    // Held inside the sound: an end at or below 0 plays nothing.
    record->mEndMs = static_cast<int32_t>(std::clamp<int64_t>(ParamOf(slot), 0, record->mLengthMs));
  }
  return 1;
}

int32_t RunSoundSetStart(int32_t slot) {
  SoundRecord* record = RecordOf(slot);
  if (record != nullptr && record->mState != SOUND_STATE_IDLE) {
    record->mStartMs = ParamOf(slot) < record->mLengthMs ? ParamOf(slot) : 0;
  }
  return 1;
}

int32_t RunSoundSetLoopBack(int32_t slot) {
  SoundRecord* record = RecordOf(slot);
  if (record != nullptr && record->mState != SOUND_STATE_IDLE) {
    record->mLoopBackMs = ParamOf(slot) < record->mLengthMs ? ParamOf(slot) : 0;
  }
  return 1;
}

int32_t RunSoundSetPan(int32_t slot) {
  SoundRecord* record = RecordOf(slot);
  if (record != nullptr && record->mState != SOUND_STATE_IDLE) {
    record->mPan = ParamOf(slot);
    ApplySoundPan(record, record->mPan);
  }
  return 1;
}

int32_t RunSoundSetFrequency(int32_t slot) {
  SoundRecord* record = RecordOf(slot);
  if (record != nullptr && record->mState != SOUND_STATE_IDLE) {
    record->mFrequency = ParamOf(slot);
    ApplySoundFrequency(record, record->mFrequency);
  }
  return 1;
}

int32_t RunSoundNop(int32_t) { return 1; }

int32_t RunSoundStop(int32_t slot) {
  ObjectTreeNode* node = NodeOf(slot);
  SoundRecord* record = RecordOf(slot);
  if (record != nullptr && record->mState != SOUND_STATE_IDLE) {
    record->mFileName[0] = '\0';
    StopBusyNode(node, record, 0);
  }
  return 1;
}
