#include "layer/layer_record.h"

#include <cstdlib>
#include <new>

#include "core/alloc.h"
#include "core/errors.h"
#include "core/object_tree.h"
#include "core/window_table.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "layer/frame_animation.h"
#include "movie/emote.h"
#include "movie/ogv_movie.h"
#include "render/gpu_frame.h"
#include "render/layer_textures.h"

int CreateLayerRecord(ObjectTreeNode* node) {
  if (node == nullptr) return 1;
  auto* record = new (std::nothrow) LayerRecord();
  char* rulePath = static_cast<char*>(AllocZeroed(kLayerPathTextBytes));
  char* secondPath = static_cast<char*>(AllocZeroed(kLayerPathTextBytes));
  if (record == nullptr || rulePath == nullptr || secondPath == nullptr) {
    delete record;
    std::free(rulePath);
    std::free(secondPath);
    ReportError(kMsgOutOfMemory);
    return 1;
  }
  record->mRuleLayerPath = rulePath;
  record->mSecondLayerPath = secondPath;
  record->mRefCount = 1;
  node->mPayload = record;
  return 0;
}

LayerRecord* GetLayerRecord(ObjectTreeNode* node) {
  if (node == nullptr || CreateLayerRecord(node) != 0) return nullptr;
  return LayerRecordOf(node);
}

int ShareLayerRecord(ObjectTreeNode* node, LayerRecord* record) {
  if (node == nullptr || record == nullptr) return 0;
  node->mPayload = record;
  ++record->mRefCount;
  return 0;
}

LayerRecord* AttachLayerRecord(ObjectTreeNode* node, LayerRecord* record) {
  if (node == nullptr) return nullptr;
  ShareLayerRecord(node, record);
  return record;
}

void ReleaseFrameAnimation(LayerRecord* record) {
  if (record == nullptr || record->mFrameAnimation == nullptr) return;
  std::free(record->mFrameAnimation->mFileImage);
  std::free(record->mFrameAnimation);
  record->mFrameAnimation = nullptr;
}

void FreeLayerRecord(LayerRecord* record) {
  if (record == nullptr) return;
  ReleaseLayerTextures(record);
  // The pixel blocks and the GIF frame table: nothing else owns them once
  // the record goes.
  ReleaseLayerImage(record);
  std::free(record->mRuleLayerPath);
  std::free(record->mSecondLayerPath);
  record->mRuleLayerPath = nullptr;
  record->mSecondLayerPath = nullptr;
  ReleaseFrameAnimation(record);
  if (g_EmoteEnabled != 0) {
    ReleaseEmotePlayer(record);
    g_GpuRedrawRequest = 1;
  }
  record->mGpuState = 0;
  delete record;
}

void ReleaseLayerNode(ObjectTreeNode* node) {
  if (node == nullptr) return;
  auto* record = LayerRecordOf(node);
  if (record != nullptr) record->mDisplayRoot = 0;
  // Every window that shows the node lets go of it, also one that was given
  // the node without the record being marked (window 0's "W0").
  for (WindowObject* window : g_WindowTable) {
    if (window != nullptr && window->mShownLayerSet == node) window->mShownLayerSet = nullptr;
  }
  if (g_FrameCaptureLayer == node) g_FrameCaptureLayer = nullptr;
  ForgetOgvMovieLayer(node);
  DetachTreeNode(node);
  if (record != nullptr && record->mRefCount > 0) {
    --record->mRefCount;
    if (record->mRefCount == 0) FreeLayerRecord(record);
  }
  node->mPayload = nullptr;
  FreeTreeNode(node);
}
