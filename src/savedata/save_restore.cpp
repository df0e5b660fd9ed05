#include "savedata/save_restore.h"

#include <cstring>
#include <vector>

#include "core/errors.h"
#include "core/message_ids.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "image/pixel_buffers.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"
#include "script/arguments.h"
#include "script/variables.h"

namespace {

// The declaration commands that name the variable types in reports.
constexpr int kDeclareIntSlot = 50;
constexpr int kDeclareRealSlot = 25;
constexpr int kDeclareStringSlot = 92;

int TypeCommand(uint8_t type) {
  return type == kVarInt ? kDeclareIntSlot : type == kVarReal ? kDeclareRealSlot : kDeclareStringSlot;
}

// Checks a decoded payload against the variable it goes into, in the order
// the reports come. True when it may be copied.
bool CheckRestore(const DecodedVariable& decoded, uint32_t n, bool whole, int64_t element, int command) {
  const VariableRecord* variable = FindVariableRecord(n);
  if (variable == nullptr) {
    ReportErrorAtScript(kMsgUndefinedVariable);
    return false;
  }
  if (decoded.mStatus == PayloadStatus::kShort) {
    ReportErrorAtScript(kMsgMalformedScriptState);
    return false;
  }
  if (decoded.mType != variable->mVarType) {
    if (decoded.mType >= kVarInt && decoded.mType <= kVarString) {
      ReportErrorAtScriptFmt(kMsgSaveRecordTypeMismatch, CommandName(command),
                             CommandName(TypeCommand(variable->mVarType)));
    } else {
      ReportErrorAtScript(kMsgMalformedScriptState);
    }
    return false;
  }
  switch (decoded.mStatus) {
    case PayloadStatus::kOk: break;
    case PayloadStatus::kTooLarge: ReportErrorAtScript(kMsgSavedDataTooLarge); return false;
    default: ReportErrorAtScript(kMsgMalformedScriptState); return false;
  }
  if (!whole) {
    if (decoded.mDimCount != 0) {
      ReportErrorAtScript(kMsgSavedDimensionCount);
      return false;
    }
    if (!ElementInRange(variable, element)) {
      ReportErrorAtScript(kMsgSubscriptOutOfRange);
      return false;
    }
    return true;
  }
  if (decoded.mDimCount != variable->mDimCount) {
    ReportErrorAtScript(kMsgSavedDimensionCount);
    return false;
  }
  for (uint32_t d = 0; d < decoded.mDimCount; ++d) {
    if (decoded.mDims[d] != static_cast<uint32_t>(variable->mDims[d])) {
      ReportErrorAtScript(kMsgSavedDimensionSize);
      return false;
    }
  }
  // The data must fill exactly the elements the variable has.
  if (variable->mCount < 0 || decoded.mCount != static_cast<uint64_t>(variable->mCount)) {
    ReportErrorAtScript(kMsgSavedDimensionSize);
    return false;
  }
  return true;
}

// Copies a checked payload: a whole variable from element 0, one element
// into the referenced element. 0 or -1.
int ApplyRestore(const DecodedVariable& decoded, uint32_t n, bool whole, int64_t element) {
  VariableRecord* variable = FindVariableRecord(n);
  int64_t first = whole ? 0 : element;
  uint64_t count = whole ? decoded.mCount : 1;
  bool direct = n >= kFirstUserVariable;
  for (uint64_t i = 0; i < count; ++i) {
    int64_t target = first + static_cast<int64_t>(i);
    int result = 0;
    if (decoded.mType == kVarString) {
      const std::string& text = decoded.mStrings[i];
      result = SetStringElementBytes(n, target, text.data(), text.size());
    } else if (decoded.mType == kVarInt) {
      if (direct && variable->mInts != nullptr) {
        variable->mInts[target] = decoded.mInts[i];
      } else {
        result = SetNumberElement(n, target, decoded.mInts[i]);
      }
    } else if (direct && variable->mReals != nullptr) {
      variable->mReals[target] = decoded.mReals[i];
    } else {
      result = SetRealElement(n, target, decoded.mReals[i]);
    }
    if (result != 0) return -1;
  }
  return 0;
}

int RestoreLayerImage(ObjectTreeNode* node, const char* path, const std::vector<uint8_t>& payload) {
  DecodedImage image = DecodeImagePayload(payload.data(), payload.size());
  switch (image.mStatus) {
    case ImageStatus::kOk: break;
    case ImageStatus::kBadBlockSize: ReportErrorAtScript(kMsgSavedLayerBlockSize); return -1;
    case ImageStatus::kBadSides:
      ShowMessageBox("", "ＣＧサイズが大きすぎます。X=%d, Y=%d", static_cast<int64_t>(image.mWidth),
                     static_cast<int64_t>(image.mHeight));
      ReportError(kMsgOutOfMemory);
      return -1;
    case ImageStatus::kMalformed: ShowMessageBox("", "Uncompress Error."); return -1;
  }
  // The block first: when it cannot be had, the layer stays as it was.
  uint8_t* block = AllocPixelBuffer(nullptr, image.mWidth, image.mHeight, nullptr);
  if (block == nullptr) return -1;
  std::memcpy(block, image.mPixels, image.mPixelBytes);
  int64_t orderKey = node->mOrderKey;
  InvalidateLayerToRoot(node);
  ReleaseLayerNode(node);
  ObjectTreeNode* fresh = CreateTreeNode(g_LayerRoot, path, orderKey, 0);
  LayerRecord* record = GetLayerRecord(fresh);
  if (record == nullptr) {
    std::free(block);
    if (fresh != nullptr) ReleaseLayerNode(fresh);
    return -1;
  }
  SetPixelBuffer(record, block, image.mWidth, image.mHeight);
  InvalidateLayerToRoot(fresh);
  // The time the load took is no frame lag.
  ResetFrameClock();
  return 0;
}

// Every member of a group checked first, then all copied. Ends with -1.
int RestoreGroup(const SaveRecordView& view, int command) {
  std::vector<GroupMember> members;
  if (!DecodeGroupRecord(view, &members)) {
    ShowMessageBox("", "Snp Uncompress Error.");
    return -1;
  }
  std::vector<DecodedVariable> decoded;
  decoded.reserve(members.size());
  for (const GroupMember& member : members) {
    decoded.push_back(DecodeVariablePayload(member.mPayload.data(), member.mPayload.size()));
    if (!CheckRestore(decoded.back(), member.mVariable, true, 0, command)) return -1;
  }
  for (size_t i = 0; i < members.size(); ++i) {
    if (ApplyRestore(decoded[i], members[i].mVariable, true, 0) != 0) return -1;
  }
  return -1;
}

}  // namespace

int RestoreSaveRecord(const SaveRecordView& view, ObjectTreeNode* layer, const RestoreTarget& target) {
  if (view.mKind == kSaveKindGroup) return RestoreGroup(view, target.mCommand);
  if (view.mKind != kSaveKindVariable && view.mKind != kSaveKindImage) {
    ReportErrorAtScript(kMsgMalformedScriptState);
    return -1;
  }
  std::vector<uint8_t> payload;
  if (!UncompressRecordPayload(view, &payload)) {
    ShowMessageBox("", view.mKind == kSaveKindImage ? "Uncompress Error." : "Snp Uncompress Error.");
    return -1;
  }
  if (layer != nullptr) {
    if (view.mKind == kSaveKindVariable) {
      ReportErrorAtScript(kMsgSavedVariableIntoLayer);
      return -1;
    }
    return RestoreLayerImage(layer, target.mLayerPath, payload);
  }
  if (view.mKind == kSaveKindImage) {
    ReportErrorAtScript(kMsgSavedImageIntoVariable);
    return -1;
  }
  DecodedVariable decoded = DecodeVariablePayload(payload.data(), payload.size());
  if (!CheckRestore(decoded, target.mVariable, target.mWhole, target.mElement, target.mCommand)) return -1;
  return ApplyRestore(decoded, target.mVariable, target.mWhole, target.mElement);
}
