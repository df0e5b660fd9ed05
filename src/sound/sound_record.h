#pragma once
// The payload record of a sound-tree node. Group nodes carry one too: their
// volume, enable and pause flags act on every sound below them.
#include <cstdint>

struct ObjectTreeNode;
struct AudioBuffer;

constexpr int kSoundFileNameBytes = 261;

enum : uint8_t { SOUND_SOURCE_NONE = 0, SOUND_SOURCE_OGG = 1, SOUND_SOURCE_WAV = 2 };
enum : uint8_t {
  SOUND_STATE_IDLE = 0,
  SOUND_STATE_LOADED = 1,
  SOUND_STATE_FADING = 2,
  SOUND_STATE_PLAYING = 3,
  SOUND_STATE_FADING_OUT = 4,
};

// The PCM format of a channel buffer.
struct PcmFormat {
  uint16_t mFormatTag;
  uint16_t mChannels;
  uint32_t mSamplesPerSec;
  uint32_t mAvgBytesPerSec;
  uint16_t mBlockAlign;
  uint16_t mBitsPerSample;
  uint16_t mExtraSize;
};

// Created zeroed. The sound thread changes a record only under
// g_GlobalLock.
struct SoundRecord {
  char mFileName[kSoundFileNameBytes];  // resolved name of the loaded sound
  uint8_t mSourceKind;                  // SOUND_SOURCE_*
  uint8_t mEnabled;                     // 1 audible; else the node and all below are muted
  uint8_t mDecodedKind;                 // 1 Ogg Vorbis, 0 PCM WAV in place, 2 WAV converted to PCM
  uint8_t mState;                       // SOUND_STATE_*
  uint8_t mPaused;
  int32_t mLoopTarget;        // passes after which the sound stops (0 endless)
  int32_t mLoopsDone;
  int32_t mDecoderLoopsLeft;  // 0 endless, 1 last pass, n > 1 passes left
  int64_t mBytesPlayed;       // audible position from the start of the sound
  int64_t mLengthMs;
  int32_t mStartMs;  // negative: leading silence
  int32_t mLoopBackMs;
  uint32_t mPausedAt;  // clock at the pause, 0 not paused
  int32_t mEndMs;
  int32_t mPendingLoopBackMs;
  int32_t mPendingEndMs;
  int32_t mPan;        // 0..512, 256 centre
  int32_t mFrequency;  // 0..512, 256 native
  int32_t mVolume;     // 0..256
  int32_t mFadeFrom;
  int32_t mFadeTo;
  int32_t mPrevFadeTo;
  int32_t mFadeMs;
  int32_t mFadeRate;  // volume change x 1024 per ms
  uint32_t mFadeStart;
  uint32_t mFadeEnd;
  // The channel (from here on) belongs to the streaming side.
  uint8_t* mFileData;  // the whole sound file, owned
  uint8_t* mWorkBuffer;
  uint8_t* mCarryBuffer;
  uint32_t mLockOffset;
  uint32_t mLastCursor;
  int32_t mDecodePosBytes;
  uint8_t mHalf;  // 1 or 2
  int32_t mSourcePos;
  int32_t mCarryLen;
  int64_t mSilenceBytes;
  int64_t mBytesPerSec;
  AudioBuffer* mBuffer;  // the channel buffer (null when none)
  int32_t mReadPos;
  int32_t mFileSize;
  uint8_t* mPcmData;
  uint32_t mPcmLen;
  uint32_t mBufferBytes;
  PcmFormat mFormat;
};

// A zeroed record with volume, fade targets and pan 256 and enabled 1, made
// the node's payload. Null for a null node, or after reporting 100010
// (fatal) when there is no memory.
SoundRecord* CreateSoundRecord(ObjectTreeNode* node);
// Makes a node of the sound tree below g_SoundRoot with its record. The sound
// thread walks the tree under g_GlobalLock, so the node goes in under it,
// together with its record. Null when either cannot be made.
ObjectTreeNode* CreateSoundNode(const char* path, int64_t orderKey, uint8_t isGroup);
// Frees a record with its channel and file data.
void FreeSoundRecord(SoundRecord* record);
