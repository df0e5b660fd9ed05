#include "sound/sound_thread.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "core/debug_log.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "core/window_table.h"
#include "platform/audio_mixer.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/threads.h"
#include "script/task_step.h"
#include "sound/sound_controls.h"
#include "sound/sound_device.h"
#include "sound/sound_record.h"
#include "sound/sound_requests.h"
#include "sound/sound_ring.h"
#include "sound/sound_stream.h"

uint8_t g_SoundAutoPaused = 0;

namespace {

std::thread g_SoundThread;

// Walks every node of a chain, depth first into groups, until a routine
// returns an error.
template <typename Visit>
int32_t ForEachSoundNode(ObjectTreeNode* chain, Visit visit) {
  for (ObjectTreeNode* node = chain; node != nullptr; node = node->mNextSibling) {
    int32_t result = visit(node);
    if (result < 0) return result;
    if (node->mIsGroup != 0) {
      result = ForEachSoundNode(node->mFirstChild, visit);
      if (result < 0) return result;
    }
  }
  return 0;
}

// Without a main window there is nothing to be inactive, as for the
// scripts' inactive pause.
bool WindowActive() {
  const WindowObject* main = g_WindowTable[0];
  return main == nullptr || main->mActive != 0;
}

bool NodeRuns(const ObjectTreeNode* node, const SoundRecord* record) {
  return record->mState >= SOUND_STATE_FADING && record->mPausedAt == 0 && IsSoundChainPaused(node) == 0 &&
         g_SoundAutoPaused == 0;
}

// With the quit flag set every busy node falls silent and idle.
bool SilenceOnQuit(ObjectTreeNode* node, SoundRecord* record) {
  if (g_QuitFlag.load() == 0) return false;
  SilenceSoundNode(node, 2);
  record->mState = SOUND_STATE_IDLE;
  return true;
}

// The cursor advance since the last reading, across the buffer's wrap.
uint32_t CursorAdvance(const SoundRecord* record, uint32_t cursor) {
  return cursor >= record->mLastCursor ? cursor - record->mLastCursor
                                       : cursor + record->mBufferBytes - record->mLastCursor;
}

void AutoPause() {
  bool inactive = g_InactivePause != 0 || (g_RunInBackground == 0 && !WindowActive());
  if (inactive && g_SoundAutoPaused == 0) {
    g_SoundAutoPaused = 1;
    PauseSoundTree(FirstSoundNode(), 1);
  } else if (!inactive && g_SoundAutoPaused == 1) {
    g_SoundAutoPaused = 0;
    PauseSoundTree(FirstSoundNode(), 0);
  }
}

void SoundThreadMain() {
  NameCurrentThread("orvane-sound");
  // Below normal, so that it never competes with the frame step: a refill
  // is due only every half second, and the buffer covers long stalls. It is
  // not pinned to a processor: a pin would keep it waiting on a busy one,
  // where a preference would not. At normal priority it plays just the same.
  if (!LowerCurrentThreadPriority()) {
    int error = errno;
    WriteDebugLog("debuglog.txt", false, 1, "sound: the sound thread keeps normal priority (errno %d)", error);
  }
  {
    std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
    g_SoundThreadState.store(0);
  }
  for (;;) {
    SleepMs(SoundRequestsPending() ? 3 : 20);
    if (RunSoundPoll() != 0) break;
  }
  {
    std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
    SleepMs(20);
    ReleaseSoundTree(FirstSoundNode());
  }
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  g_SoundThreadState.store(1);
}

}  // namespace

ObjectTreeNode* FirstSoundNode() { return g_SoundRoot != nullptr ? g_SoundRoot->mFirstChild : nullptr; }

void SilenceSoundNode(ObjectTreeNode* node, int32_t volume) {
  if (node->mIsGroup != 0) {
    ApplyTreeVolumes(node->mFirstChild);
    return;
  }
  int32_t value = volume;
  if (IsNamedSoundNode(node->mParent)) value = volume * GetEffectiveVolume(node->mParent) / 256;
  ApplySoundVolume(node, value);
}

bool StartSoundThread() {
  if (g_SoundThread.joinable()) return true;
  {
    // Running from here on, so that a command posted before the thread's
    // first instruction waits for its answer.
    std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
    g_SoundThreadState.store(0);
  }
  if (StartThread(g_SoundThread, SoundThreadMain)) return true;
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  g_SoundThreadState.store(0xFF);
  return false;
}

int StartSoundSystem() {
  if (!InitSoundRequestRing()) return -1;
  StartSoundThread();
  if (g_SoundSetting != 0 && CreateRootSound() != 0) return -1;
  return 0;
}

int CreateRootSound() {
  ObjectTreeNode* node = CreateSoundNode("ROOT", SILENT_SOUND_KEY, 0);
  if (node == nullptr) return -1;
  SoundRecord* record = SoundRecordOf(node);
  std::strcpy(record->mFileName, " ");
  {
    std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
    record->mSourceKind = SOUND_SOURCE_WAV;
  }
  PostSoundRequest(node, SOUND_REQ_SET_VOLUME, 2);
  PostSoundRequest(node, SOUND_REQ_LOAD, 0, " ");
  PostSoundRequest(node, SOUND_REQ_PLAY, 0);
  return 0;
}

void JoinSoundThread() {
  if (!g_SoundThread.joinable()) return;
  // The thread ends on the quit flag; a thread that never saw it is asked.
  g_QuitFlag.store(1);
  g_SoundThread.join();
}

int32_t RunSoundPoll() {
  int32_t result = 0;
  bool quit = false;
  {
    std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
    AutoPause();
    result = DrainSoundRequests();
    if (result >= 0) result = UpdateSoundFades(FirstSoundNode());
    if (result >= 0) result = TrackSoundPositions(FirstSoundNode());
    if (result >= 0) result = ServiceSoundBuffers(FirstSoundNode());
    quit = g_QuitFlag.load() != 0;
  }
  if (result < 0) {
    ShowSoundErrorBox(result);
    g_QuitFlag.store(1);
    return result;
  }
  return quit ? 1 : 0;
}

int32_t DrainSoundRequests() {
  if (g_SoundRequestNodes == nullptr) return 0;
  while (g_SoundRequestRead != g_SoundRequestWrite) {
    int32_t slot = g_SoundRequestRead;
    uint8_t code = g_SoundRequestCodes[slot];
    if (g_SoundRequestNodes[slot] != nullptr && code >= 1 && code <= 14) {
      int32_t result = g_SoundRequestHandlers[code](slot);
      if (result < 0) return result;
      if (result == 0) return 0;
    }
    g_SoundRequestDone[slot] = 1;
    g_SoundRequestRead = (slot + 1) % kSoundRingSlots;
  }
  return 0;
}

int32_t UpdateSoundFades(ObjectTreeNode* chain) {
  return ForEachSoundNode(chain, [](ObjectTreeNode* node) -> int32_t {
    SoundRecord* record = SoundRecordOf(node);
    if (record == nullptr) return 0;
    if (record->mState != SOUND_STATE_FADING && record->mState != SOUND_STATE_FADING_OUT) return 0;
    uint32_t now = GetTimeMs();
    if (record->mPaused != 0 || g_SoundAutoPaused != 0 || record->mPausedAt != 0) {
      // The fade clock stands still while the sound is paused.
      if (record->mPausedAt != 0) {
        record->mFadeStart += now - record->mPausedAt;
        record->mPausedAt = now != 0 ? now : 1;
      }
      return 0;
    }
    int32_t t = static_cast<int32_t>(now - record->mFadeStart);
    if (record->mState == SOUND_STATE_FADING && t < 0) {
      SilenceSoundNode(node, 2);
      return 0;
    }
    int64_t v = static_cast<int64_t>(t) * record->mFadeRate / 1024 + record->mFadeFrom;
    if (record->mFadeRate == 0 && record->mFadeTo != record->mFadeFrom && record->mFadeMs > 0) {
      // A fade so long that its rate truncated to 0 still moves.
      v = record->mFadeFrom + static_cast<int64_t>(record->mFadeTo - record->mFadeFrom) * t / record->mFadeMs;
    }
    bool reached = record->mFadeRate > 0 || (record->mFadeRate == 0 && record->mFadeTo >= record->mFadeFrom)
                       ? v >= record->mFadeTo
                       : v <= record->mFadeTo;
    // A fade ends when its time has passed, at its target exactly.
    if (reached || t >= record->mFadeMs) {
      v = record->mFadeTo;
      record->mFadeEnd = now != 0 ? now : 1;
    }
    ApplyNodeVolume(node, static_cast<int32_t>(v));
    record->mVolume = static_cast<int32_t>(v);
    if (record->mFadeEnd != 0) {
      record->mFadeEnd = 0;
      if (record->mState == SOUND_STATE_FADING) {
        record->mState = SOUND_STATE_PLAYING;
      } else {
        record->mVolume = 256;
        record->mFadeFrom = 0;
        record->mFadeTo = 256;
        record->mPrevFadeTo = 256;
        record->mState = SOUND_STATE_IDLE;
        ReleaseSoundChannel(record);
      }
    }
    return 0;
  });
}

int32_t TrackSoundPositions(ObjectTreeNode* chain) {
  return ForEachSoundNode(chain, [](ObjectTreeNode* node) -> int32_t {
    SoundRecord* record = SoundRecordOf(node);
    if (record == nullptr || record->mState == SOUND_STATE_IDLE) return 0;
    if (SilenceOnQuit(node, record)) return 0;
    if (!NodeRuns(node, record)) return 0;
    if (record->mBuffer == nullptr) return -310;
    uint32_t play = 0;
    if (!GetAudioBufferCursors(record->mBuffer, &play, nullptr)) return -320;
    int64_t position = record->mBytesPlayed + CursorAdvance(record, play);
    record->mLastCursor = play;
    bool pending = record->mPendingEndMs != 0;
    int64_t endMs = pending ? record->mPendingEndMs : record->mEndMs;
    int64_t loopBackMs = pending ? record->mPendingLoopBackMs : record->mLoopBackMs;
    if (record->mBytesPerSec <= 0 || position * 1000 / record->mBytesPerSec < endMs) {
      record->mBytesPlayed = position;
      return 0;
    }
    record->mPendingEndMs = 0;
    record->mPendingLoopBackMs = 0;
    int32_t passes = record->mLoopsDone + 1;
    if (passes == record->mLoopTarget) {
      record->mLoopTarget = 0;
      record->mLoopsDone = 0;
      record->mBytesPlayed = 0;
      ReleaseSoundChannel(record);
      record->mState = SOUND_STATE_IDLE;
    } else {
      record->mLoopsDone = passes;
      record->mBytesPlayed = loopBackMs * record->mBytesPerSec / 1000;
    }
    return 0;
  });
}

int32_t ServiceSoundBuffers(ObjectTreeNode* chain) {
  return ForEachSoundNode(chain, [](ObjectTreeNode* node) -> int32_t {
    SoundRecord* record = SoundRecordOf(node);
    if (record == nullptr || record->mState == SOUND_STATE_IDLE) return 0;
    if (SilenceOnQuit(node, record)) return 0;
    if (!NodeRuns(node, record)) return 0;
    if (record->mBuffer == nullptr) return -330;
    uint32_t write = 0;
    if (!GetAudioBufferCursors(record->mBuffer, nullptr, &write)) return -340;
    uint32_t half = record->mBufferBytes / 2;
    if (record->mHalf == 1 && write < half) {
      record->mHalf = 2;
      record->mLockOffset = half;
      return RefillSoundHalf(record);
    }
    if (record->mHalf == 2 && write > half) {
      record->mHalf = 1;
      record->mLockOffset = 0;
      return RefillSoundHalf(record);
    }
    return 0;
  });
}

const char* SoundErrorLine(int32_t code) {
  switch (code) {
    case -1: case -310: case -330: case -410: case -430: case -1010:
      return "サウンドバッファがありませんでした。";
    case -110: case -120: case -440:
      return "サウンド再生エラーです。";
    case -320: case -340: case -420:
      return "サウンド再生位置取得エラーです。";
    case -1020:
      return "ファイルが開けませんでした。";
    case -1030:
      return "oggファイルとして正しく認識できませんでした。";
    case -1040:
      return "シークできないoggファイルでした。";
    case -1045:
      return "複数曲連結OGGには対応していません。";
    case -1050:
      return "oggファイルの詳細を取得できませんでした。";
    case -1060: case -1080:
      return "DirectSoundバッファエラーです。";
    case -1070: case -1090:
      return "DirectSoundバッファが確保できませんでした。";
    case -1120:
      return "DirectSoundバッファ作成エラーです。";
    case -2010: case -3010:
      return "oggファイルを正しく開けませんでした。";
    case -2020: case -3020:
      return "oggファイルをシークできませんでした。";
    case -3030:
      return "サウンドバッファに書き込みできませんでした。";
    case -90001: case -90002:
      return "oggデコードエラーです。";
    default:
      return "サウンド関係で内部エラーが発生しました。処理を停止します。\n\n"
             "このエラーが発生した場合、宜しければエラー番号と一緒に\n"
             "システム制作者までご報告いただけますと非常に助かります。";
  }
}

void ShowSoundErrorBox(int32_t code) {
  char text[1024];
  if (code == -1045) {
    std::snprintf(text, sizeof text, "%s", SoundErrorLine(code));
  } else {
    std::snprintf(text, sizeof text, "エラー番号：%d\n\n%s", -code, SoundErrorLine(code));
  }
  ShowPlatformMessageBox(nullptr, "DEBUG Message", text, kBoxOk);
}

void ResetSoundThread() {
  if (g_SoundThread.joinable()) {
    g_QuitFlag.store(1);
    g_SoundThread.join();
  }
  ReleaseSoundRequestRing();
  g_SoundAutoPaused = 0;
}
