#include "movie/emote_control.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/sjis.h"
#include "layer/layer_record.h"
#include "movie/emote.h"
#include "platform/text_codec.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/variables.h"

EmoteVariablePair g_EmoteVariablePairs[kEmoteVariablePairs];

namespace {

constexpr int kEmoteControlSlot = 12;

enum : int {
  kIdPath = 0,
  kIdPathNumber = 1,
  kIdValue214 = 2,
  kIdValue218 = 3,
  kIdValue216 = 4,
  kIdCall235 = 5,
  kIdFirst235 = 6,   // ids 6..10: the five values of ordinal 235
  kIdCall253 = 11,
  kIdText = 12,
  kIdTextIsMotion = 13,
  kIdPairTime = 14,
  kIdPairNames = 15,
  kIdPairValues = 16,
  kIdPairCount = 17,
};

void* PlayerOf(const LayerRecord* layer) { return layer != nullptr ? layer->mPlayerHandle : nullptr; }

// The text cut to the work buffer's size, then converted.
std::string BoundedUtf8(const char* text, size_t capacity) {
  char buffer[kEmoteMotionNameBytes];
  size_t length = CopySjisBounded(buffer, std::min(capacity, sizeof buffer), text != nullptr ? text : "");
  return SjisToUtf8(buffer, length);
}

// The layer the path arguments name: id 0, or id 0 "." id 1. Null when none
// holds a record; *failed when the path is invalid.
LayerRecord* FindControlledLayer(bool* failed) {
  std::string name = ArgText(kIdPath);
  if (HasArg(kIdPathNumber)) {
    name += '.';
    name += std::to_string(ArgInt(kIdPathNumber));
  }
  char path[kObjectPathBytes];
  int kind = NormalizeObjectPath(path, name.c_str(), g_LayerPathBase, 0);
  if (kind < 0) {
    *failed = true;
    return nullptr;
  }
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, path, kind);
  return LayerRecordOf(node);
}

float ArgRatio(int id) { return static_cast<float>(static_cast<double>(ArgInt(id)) / 10000.0); }

float ArgFloatOr(int id, float absent) { return HasArg(id) ? static_cast<float>(ArgInt(id)) : absent; }

// Sends the pair list from its first entry until one without a name; false
// when the list ended before its last entry.
bool SendVariablePairs(void* player, float time) {
  for (const EmoteVariablePair& pair : g_EmoteVariablePairs) {
    if (pair.mName == nullptr) return false;
    CallEmote(g_EmoteApi.mSetVariable, player, pair.mName, pair.mValue, time, 0.0f);
  }
  return true;
}

// Hands the player the names of id 15 and the values of id 16. The list
// holds 256 pairs; a longer count is sent in lists of 256, one after another.
void SendVariables(void* player) {
  const VariableRecord* names = FindVariableRecord(static_cast<uint32_t>(g_ArgVarId[ArgSlot(kIdPairNames)]));
  const VariableRecord* values = FindVariableRecord(static_cast<uint32_t>(g_ArgVarId[ArgSlot(kIdPairValues)]));
  int64_t count = HasArg(kIdPairCount) ? ArgInt(kIdPairCount) : 0;
  // Only the storage that exists is read: the names' string elements and
  // the values' real elements.
  int64_t nameCount = names != nullptr && names->mStrings != nullptr ? std::min(names->mCount, names->mStringCount) : 0;
  int64_t valueCount = values != nullptr && values->mReals != nullptr ? values->mCount : 0;
  count = std::min({count, nameCount, valueCount});
  float time = static_cast<float>(ArgInt(kIdPairTime)) * 0.06f;
  int64_t first = 0;
  do {
    ResetEmoteControlState();
    if (first >= count) return;
    int64_t batch = std::min<int64_t>(count - first, kEmoteVariablePairs);
    for (int64_t i = 0; i < batch; ++i) {
      g_EmoteVariablePairs[i] = {names->mStrings[first + i], static_cast<float>(values->mReals[first + i])};
    }
    if (!SendVariablePairs(player, time)) return;
    first += batch;
  } while (first < count);
}

}  // namespace

std::string SjisToUtf8(const char* text, size_t length) {
  if (text == nullptr) return {};
  return ConvertCp932ToUtf8(std::string_view(text, length));
}

void PlayEmoteMotion(LayerRecord* layer, const char* name) {
  void* player = PlayerOf(layer);
  if (player == nullptr) return;
  std::string utf8 = BoundedUtf8(name, kEmoteMotionNameBytes);
  CallEmote(g_EmoteApi.mPlayMotion, player, utf8.c_str(), 1);
}

void SendEmoteText(LayerRecord* layer, const char* text) {
  void* player = PlayerOf(layer);
  if (player == nullptr) return;
  std::string utf8 = BoundedUtf8(text, kEmoteTextBytes);
  CallEmote(g_EmoteApi.mSendText, player, utf8.c_str());
}

void CallEmotePlayer236(LayerRecord* layer) {
  void* player = PlayerOf(layer);
  if (player != nullptr) CallEmote(g_EmoteApi.mCall236, player);
}

void ResetEmoteControlState() {
  std::fill(std::begin(g_EmoteVariablePairs), std::end(g_EmoteVariablePairs), EmoteVariablePair{});
}

int32_t CmdEmoteControl() {
  if (FetchCommandArguments(kEmoteControlSlot) != 0) return -1;
  bool failed = false;
  LayerRecord* layer = FindControlledLayer(&failed);
  if (failed) return -1;
  void* player = PlayerOf(layer);
  if (player == nullptr) return 0;

  if (HasArg(kIdText) && HasArg(kIdTextIsMotion)) {
    if (ArgInt(kIdTextIsMotion) == 1) {
      PlayEmoteMotion(layer, ArgText(kIdText));
    } else {
      SendEmoteText(layer, ArgText(kIdText));
    }
  }
  if (HasArg(kIdCall253) && ArgInt(kIdCall253) == 1) CallEmote(g_EmoteApi.mCall253, player);
  if (HasArg(kIdValue214)) CallEmote(g_EmoteApi.mSetValue214, player, ArgRatio(kIdValue214));
  if (HasArg(kIdValue218)) CallEmote(g_EmoteApi.mSetValue218, player, ArgRatio(kIdValue218));
  if (HasArg(kIdValue216)) CallEmote(g_EmoteApi.mSetValue216, player, ArgRatio(kIdValue216));
  if (HasArg(kIdCall235)) {
    if (ArgInt(kIdCall235) != 0) {
      CallEmote(g_EmoteApi.mCall235, player, ArgFloatOr(kIdFirst235, 0.0f), ArgFloatOr(kIdFirst235 + 1, 1.0f),
                ArgFloatOr(kIdFirst235 + 2, 1.0f), ArgFloatOr(kIdFirst235 + 3, 1.0f),
                ArgFloatOr(kIdFirst235 + 4, 1.0f));
    } else {
      CallEmotePlayer236(layer);
    }
  }
  if (HasArg(kIdPairNames) && HasArg(kIdPairValues)) SendVariables(player);
  return 0;
}
