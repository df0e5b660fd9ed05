#include "sound/sound_commands.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/errors.h"
#include "core/message_ids.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "datasrc/resource_lookup.h"
#include "platform/audio_mixer.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/variables.h"
#include "sound/sound_controls.h"
#include "sound/sound_device.h"
#include "sound/sound_record.h"
#include "sound/sound_ring.h"

namespace {

constexpr int kSoundDefineSlot = 89;
constexpr int kSoundDeleteSlot = 90;
constexpr int kSoundQuerySlot = 91;
constexpr int kQueryOutId = 23;

int32_t IntArg(int id) { return HasArg(id) ? static_cast<int32_t>(g_ArgInt[ArgSlot(id)]) : 0; }

// Normalises the path argument against "S0" and finds its node; kind gets
// kPathLeaf or kPathGroup. False after a path error.
bool FindSoundNode(char* path, int* kind, ObjectTreeNode** node) {
  int slot = ArgSlot(0);
  const char* text = slot != 0 && g_ArgString[slot] != nullptr ? g_ArgString[slot] : "";
  *kind = NormalizeObjectPath(path, text, g_SoundPathBase, 0);
  if (*kind < 0) return false;
  *node = FindObjectByPath(g_SoundRoot, path, *kind == kPathGroup ? kPathGroup : kPathLeaf);
  if (*node != nullptr && (*node)->mPayload == nullptr) *node = nullptr;
  return true;
}

void PostAndWait(ObjectTreeNode* node, uint8_t code, int32_t parameter, const char* name = nullptr) {
  WaitForSoundRequest(PostSoundRequest(node, code, parameter, name));
}

int32_t LevelOf(SoundRecord* record, int sample) {
  if (record == nullptr || record->mBuffer == nullptr) return -1;
  const PcmFormat& format = record->mFormat;
  if ((format.mChannels != 1 && format.mChannels != 2) || (format.mBitsPerSample != 8 && format.mBitsPerSample != 16)) {
    return -1;
  }
  uint32_t play = 0;
  if (!GetAudioBufferCursors(record->mBuffer, &play, nullptr)) return -1;
  uint32_t bytesPerSample = format.mBitsPerSample / 8;
  uint32_t frame = format.mChannels * bytesPerSample;
  AudioRegions regions;
  if (!LockAudioBuffer(record->mBuffer, play, frame, &regions)) return -1;
  int32_t level = -1;
  if (regions.mFirstBytes >= frame) {
    // The second sample of a mono frame is its only one.
    uint32_t index = format.mChannels == 2 ? static_cast<uint32_t>(sample) : 0;
    const uint8_t* p = regions.mFirst + index * bytesPerSample;
    int32_t value = bytesPerSample == 2 ? static_cast<int16_t>(p[0] | (p[1] << 8)) : p[0] - 128;
    level = value < 0 ? -value : value;
  }
  UnlockAudioBuffer(record->mBuffer, regions);
  return level;
}

}  // namespace

int32_t GetSoundLevel(SoundRecord* record) { return LevelOf(record, 0); }
int32_t GetSoundLevelSecond(SoundRecord* record) { return LevelOf(record, 1); }

void DeleteSoundNode(ObjectTreeNode* node) {
  if (node == nullptr) return;
  SoundRecord* record = SoundRecordOf(node);
  PostSoundRequest(node, SOUND_REQ_STOP, 0);
  if (record != nullptr) WaitForSoundIdle(record);
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  DetachTreeNode(node);
  // Requests that still wait for this node (the stop among them when the
  // thread did not get to it) must never reach a freed node.
  ClearSoundRequestsFor(node);
  FreeSoundRecord(record);
  node->mPayload = nullptr;
  FreeTreeNode(node);
}

void DeleteSoundChildren(ObjectTreeNode* group) {
  ObjectTreeNode* child = group->mFirstChild;
  while (child != nullptr) {
    ObjectTreeNode* next = child->mNextSibling;
    if (child->mIsGroup != 0) {
      DeleteSoundGroup(child);
    } else {
      DeleteSoundNode(child);
    }
    child = next;
  }
}

void DeleteSoundGroup(ObjectTreeNode* group) {
  DeleteSoundChildren(group);
  DeleteSoundNode(group);
}

int32_t CmdSoundDefine() {
  if (FetchCommandArguments(kSoundDefineSlot) != 0) return -1;
  if (g_SoundSetting == 0) return 0;
  char path[kObjectPathBytes];
  int kind = 0;
  ObjectTreeNode* node = nullptr;
  if (!FindSoundNode(path, &kind, &node)) return -1;
  bool hasFile = HasArg(2) && g_ArgString[ArgSlot(2)] != nullptr;
  if (node == nullptr) {
    if (kind == kPathGroup && hasFile) {
      ReportErrorAtScriptFmt(kMsgSoundFileForNewGroup, CommandName(kSoundDefineSlot));
      return -1;
    }
    if (kind != kPathGroup && !hasFile) return 0;
    node = CreateSoundNode(path, 1, kind == kPathGroup ? 1 : 0);
    if (node == nullptr) return -1;
  }
  SoundRecord* record = SoundRecordOf(node);
  if (hasFile) {
    bool busy = false;
    {
      std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
      busy = record->mState != SOUND_STATE_IDLE;
    }
    if (busy) {
      PostSoundRequest(node, SOUND_REQ_STOP, 0);
      WaitForSoundIdle(record);
    }
    char name[kNameBufferBytes];
    char resolved[kNameBufferBytes] = {};
    std::strncpy(name, g_ArgString[ArgSlot(2)], sizeof name - 1);
    name[sizeof name - 1] = '\0';
    ResourceLocation location;
    int found = FindMediaFile(&location, resolved, name, 1);
    if (found < 0) return -1;
    if (found == 1) return 0;
    uint8_t sourceKind = SOUND_SOURCE_NONE;
    if (location.mType == FILE_TYPE_WAV) sourceKind = SOUND_SOURCE_WAV;
    if (location.mType == FILE_TYPE_OGG) sourceKind = SOUND_SOURCE_OGG;
    if (sourceKind == SOUND_SOURCE_NONE) {
      ReportErrorAtScriptFmt(kMsgUnsupportedFileType, CommandName(kSoundDefineSlot), resolved);
      return -1;
    }
    {
      std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
      record->mSourceKind = sourceKind;
    }
    PostAndWait(node, SOUND_REQ_LOAD, 0, resolved);
  }
  if (HasArg(1)) {
    std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
    record->mEnabled = static_cast<uint8_t>(IntArg(1));
    PostSoundRequest(node, SOUND_REQ_SET_VOLUME, record->mVolume);
  }
  if (HasArg(6)) PostSoundRequest(node, SOUND_REQ_SET_START, IntArg(6));
  if (HasArg(7)) PostSoundRequest(node, SOUND_REQ_SET_LOOP_BACK, IntArg(7));
  if (HasArg(8)) PostSoundRequest(node, SOUND_REQ_SET_END, IntArg(8));
  if (HasArg(9)) {
    {
      // The sound thread reads the target in every poll.
      std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
      record->mLoopTarget = IntArg(9);
    }
    PostSoundRequest(node, SOUND_REQ_SET_LOOPS, IntArg(9));
  }
  if (HasArg(11)) PostSoundRequest(node, SOUND_REQ_SET_PAN, IntArg(11));
  if (HasArg(12)) PostSoundRequest(node, SOUND_REQ_SET_FREQUENCY, IntArg(12));
  if (HasArg(13)) PostSoundRequest(node, SOUND_REQ_NOP, 0);
  if (HasArg(10)) PostSoundRequest(node, HasArg(3) ? SOUND_REQ_SET_FADE_TARGET : SOUND_REQ_SET_VOLUME, IntArg(10));
  if (HasArg(3)) {
    int32_t fade = IntArg(5);
    if (IntArg(3) == 1) {
      PostAndWait(node, SOUND_REQ_PLAY, fade);
    } else {
      PostSoundRequest(node, SOUND_REQ_FADE_OUT, fade);
    }
  }
  if (HasArg(4)) PostAndWait(node, SOUND_REQ_PAUSE, IntArg(4) == 1 ? 1 : 0);
  return 0;
}

int32_t CmdSoundDelete() {
  if (FetchCommandArguments(kSoundDeleteSlot) != 0) return -1;
  char path[kObjectPathBytes];
  int kind = 0;
  ObjectTreeNode* node = nullptr;
  if (!FindSoundNode(path, &kind, &node)) return -1;
  if (node == nullptr) return 0;
  if (kind == kPathGroup) {
    DeleteSoundGroup(node);
  } else {
    DeleteSoundNode(node);
  }
  return 0;
}

int32_t CmdSoundQuery() {
  if (FetchCommandArguments(kSoundQuerySlot) != 0) return -1;
  char path[kObjectPathBytes];
  int kind = 0;
  ObjectTreeNode* node = nullptr;
  if (!FindSoundNode(path, &kind, &node)) return -1;
  int outSlot = ArgSlot(kQueryOutId);
  if (outSlot == 0) return 0;
  auto n = static_cast<uint32_t>(g_ArgVarId[outSlot]);
  int64_t e = g_ArgVarElement[outSlot];
  if (node == nullptr) {
    const VariableRecord* variable = FindVariableRecord(n);
    if (variable == nullptr) return 0;
    if (variable->mVarType == kVarString) {
      SetStringElement(n, e, "");
    } else if (ElementInRange(variable, e)) {
      if (variable->mVarType == kVarReal) {
        SetRealElement(n, e, 0.0);
      } else {
        SetNumberElement(n, e, 0);
      }
    }
    return 0;
  }
  std::lock_guard<std::recursive_mutex> guard(g_GlobalLock);
  SoundRecord* record = SoundRecordOf(node);
  for (int id = 1; id <= 7; ++id) {
    if (!HasArg(id)) continue;
    int64_t value = 0;
    switch (id) {
      case 1: value = record->mSourceKind > 0 ? 1 : 0; break;
      case 2: value = record->mEnabled; break;
      case 3: value = record->mState >= SOUND_STATE_FADING ? 1 : 0; break;
      case 4: value = record->mPaused; break;
      case 5: value = record->mVolume; break;
      case 6: value = record->mPan; break;
      default: value = record->mFrequency; break;
    }
    SetNumberElement(n, e, value);
    return 0;
  }
  // Every given id writes in turn: the last one decides.
  const int order[] = {9, 8, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22};
  for (int id : order) {
    if (!HasArg(id)) continue;
    int64_t value = 0;
    switch (id) {
      case 9: value = record->mSourceKind; break;
      case 8: SetStringElement(n, e, record->mFileName); continue;
      case 10: value = record->mStartMs; break;
      case 11: value = record->mLoopBackMs; break;
      case 12: value = record->mEndMs; break;
      case 13: value = record->mLoopTarget; break;
      case 14: value = record->mLoopsDone; break;
      case 15: value = record->mBytesPerSec != 0 ? record->mBytesPlayed * 1000 / record->mBytesPerSec : 0; break;
      case 16: value = record->mLengthMs; break;
      case 17: value = record->mFormat.mChannels; break;
      case 18: value = record->mFormat.mBitsPerSample; break;
      case 19: value = record->mFormat.mSamplesPerSec; break;
      case 20: value = GetSoundLevel(record); break;
      case 21: value = GetSoundLevelSecond(record); break;
      default: value = record->mDecodedKind; break;
    }
    SetNumberElement(n, e, value);
  }
  return 0;
}
