// The frame-animation commands: attach a file and show a frame (109),
// release (110) and query (111).
#include <cstdint>

#include "core/errors.h"
#include "core/file_names.h"
#include "core/message_ids.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "layer/frame_animation.h"
#include "layer/layer_commands.h"
#include "layer/layer_record.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/variables.h"

namespace {

constexpr int kFrameAnimationSlot = 109;
constexpr int kFrameAnimationReleaseSlot = 110;
constexpr int kFrameAnimationQuerySlot = 111;

// The layer that ids 0 and 1 name. Without id 0 there is no layer and
// *stop is 0 (the command does nothing); a path error or a missing layer
// is reported and *stop is -1.
ObjectTreeNode* FindAnimationLayer(int command, int* stop) {
  *stop = 0;
  if (ArgSlot(0) == 0) return nullptr;
  char path[kObjectPathBytes];
  if (NormalizeLayerPathArguments(path) < 0) {
    *stop = -1;
    return nullptr;
  }
  ObjectTreeNode* node = FindObjectByPath(g_LayerRoot, path, kPathLeaf);
  if (node == nullptr) {
    ReportErrorAtScriptFmt(kMsgShareSourceMissing, CommandName(command), path);
    *stop = -1;
  }
  return node;
}

}  // namespace

int32_t CmdFrameAnimation() {
  if (FetchCommandArguments(kFrameAnimationSlot) != 0) return -1;
  int stop = 0;
  ObjectTreeNode* layer = FindAnimationLayer(kFrameAnimationSlot, &stop);
  if (layer == nullptr) return stop;
  if (int slot = ArgSlot(2); slot != 0 && g_ArgString[slot] != nullptr) {
    char* name = g_ArgString[slot];
    LowerCaseName(name);
    // '/' is never the second byte of a double-byte character.
    for (char* at = name; *at != '\0'; ++at) {
      if (*at == '/') *at = '\\';
    }
    LoadFrameAnimation(layer, name);
  }
  if (int slot = ArgSlot(3); slot != 0) ShowAnimationFrame(layer, g_ArgInt[slot]);
  return 0;
}

int32_t CmdFrameAnimationRelease() {
  if (FetchCommandArguments(kFrameAnimationReleaseSlot) != 0) return -1;
  int stop = 0;
  ObjectTreeNode* layer = FindAnimationLayer(kFrameAnimationReleaseSlot, &stop);
  if (layer == nullptr) return stop;
  ReleaseFrameAnimation(LayerRecordOf(layer));
  return 0;
}

int32_t CmdFrameAnimationQuery() {
  if (FetchCommandArguments(kFrameAnimationQuerySlot) != 0) return -1;
  int stop = 0;
  ObjectTreeNode* layer = FindAnimationLayer(kFrameAnimationQuerySlot, &stop);
  if (layer == nullptr) return stop;
  int out = ArgSlot(2);
  if (out == 0) return 0;
  const LayerRecord* record = LayerRecordOf(layer);
  const FrameAnimation* animation = record != nullptr ? record->mFrameAnimation : nullptr;
  // The first present of ids 3 (frame count) and 4, 5, 6 (header values).
  int chosen = 0;
  for (int id = 3; id <= 6 && chosen == 0; ++id) {
    if (ArgSlot(id) != 0) chosen = id;
  }
  if (chosen == 0) return 0;
  int64_t value = 0;
  if (animation != nullptr) value = chosen == 3 ? animation->mFrameCount : animation->mHeaderValues[chosen - 4];
  auto n = static_cast<uint32_t>(g_ArgVarId[out]);
  int64_t e = g_ArgVarElement[out];
  const VariableRecord* variable = FindVariableRecord(n);
  // A text output is the wrong type: the setter reports it.
  if (variable != nullptr && variable->mVarType == kVarReal) {
    SetRealElement(n, e, static_cast<double>(value));
  } else {
    SetNumberElement(n, e, value);
  }
  return 0;
}
