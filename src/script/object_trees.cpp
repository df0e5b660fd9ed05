// The four object trees of the engine: layers under "W0", script tasks beside
// the main task "SYSTEM", sounds under "S0" and menus under "M0", each with
// the payload records of its subsystem.
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include "core/errors.h"
#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/sjis.h"
#include "core/window_table.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"
#include "oscmd/menu_record.h"
#include "script/execution_context.h"
#include "sound/sound_record.h"

namespace {

char* AllocatePathBase(const char* text) {
  auto* base = static_cast<char*>(std::calloc(kPathBaseBytes, 1));
  if (base != nullptr) CopySjisBounded(base, kPathBaseBytes, text);
  return base;
}

ObjectTreeNode* AllocateRoot() { return static_cast<ObjectTreeNode*>(std::calloc(1, sizeof(ObjectTreeNode))); }

void FreeTaskNode(ObjectTreeNode* node) {
  ReleaseExecutionContext(static_cast<ExecutionContext*>(node->mPayload));
  FreeTreeNode(node);
}
void FreeSoundNode(ObjectTreeNode* node) {
  FreeSoundRecord(static_cast<SoundRecord*>(node->mPayload));
  FreeTreeNode(node);
}
void FreeMenuNode(ObjectTreeNode* node) {
  FreeMenuItemRecord(static_cast<MenuItemRecord*>(node->mPayload));
  FreeTreeNode(node);
}

// The layer root's record: zeroed, with window 0's size.
LayerRecord* CreateLayerRootRecord(int32_t width, int32_t height) {
  static_assert(std::is_trivially_copyable_v<LayerRecord>);
  auto* record = new (std::nothrow) LayerRecord;
  if (record == nullptr) return nullptr;
  std::memset(static_cast<void*>(record), 0, sizeof(LayerRecord));
  record->mWidth = record->mBufferWidth = width;
  record->mHeight = record->mBufferHeight = height;
  return record;
}

int Fail() {
  ReportError(kMsgOutOfMemory);
  return 1;
}

}  // namespace

int CreateObjectTrees() {
  ReleaseObjectTrees();
  WindowObject* window = g_WindowTable[0];
  int32_t width = window != nullptr ? window->mWidth : 0;
  int32_t height = window != nullptr ? window->mHeight : 0;

  // Layers: the root and the window group "W0" with a blank canvas of window
  // 0's size, which window 0 shows.
  g_LayerRoot = AllocateRoot();
  g_LayerPathBase = AllocatePathBase("W0");
  if (g_LayerRoot == nullptr || g_LayerPathBase == nullptr) return Fail();
  g_LayerRoot->mPayload = CreateLayerRootRecord(width, height);
  if (g_LayerRoot->mPayload == nullptr) return Fail();
  if (CreateBlankImageLayer("W0", width, height, 1) == nullptr) return 1;
  if (window != nullptr) window->mShownLayerSet = FindChildByName(g_LayerRoot, "W0", 2);

  // Tasks: the unnamed group and the main task "SYSTEM" beside it.
  g_TaskRoot = AllocateRoot();
  g_TaskPathBase = AllocatePathBase("");
  if (g_TaskRoot == nullptr || g_TaskPathBase == nullptr) return Fail();
  g_TaskRoot->mPayload = std::calloc(1, sizeof(ExecutionContext));
  if (g_TaskRoot->mPayload == nullptr) return Fail();
  ObjectTreeNode* taskGroup = CreateTreeNode(g_TaskRoot, "", 100, 1);
  if (taskGroup == nullptr || CreateExecutionContext(taskGroup) == nullptr) return 1;
  ObjectTreeNode* mainTask = CreateTreeNode(g_TaskRoot, "SYSTEM", 100, 0);
  if (mainTask == nullptr) return 1;
  ExecutionContext* mainContext = CreateExecutionContext(mainTask);
  if (mainContext == nullptr) return 1;
  mainContext->mIsMainTask = 1;

  // Sounds.
  g_SoundRoot = AllocateRoot();
  g_SoundPathBase = AllocatePathBase("S0");
  if (g_SoundRoot == nullptr || g_SoundPathBase == nullptr) return Fail();
  g_SoundRoot->mPayload = std::calloc(1, sizeof(SoundRecord));
  if (g_SoundRoot->mPayload == nullptr) return Fail();
  ObjectTreeNode* soundGroup = CreateTreeNode(g_SoundRoot, "S0", 1, 1);
  if (soundGroup == nullptr || CreateSoundRecord(soundGroup) == nullptr) return 1;

  // Menus.
  g_MenuRoot = AllocateRoot();
  g_MenuPathBase = AllocatePathBase("M0");
  if (g_MenuRoot == nullptr || g_MenuPathBase == nullptr) return Fail();
  g_MenuRoot->mPayload = std::calloc(1, sizeof(MenuItemRecord));
  if (g_MenuRoot->mPayload == nullptr) return Fail();
  ObjectTreeNode* menuGroup = CreateTreeNode(g_MenuRoot, "M0", 0, 1);
  if (menuGroup == nullptr || CreateMenuItemRecord(menuGroup, "M0") == nullptr) return 1;
  return 0;
}

void ReleaseObjectTrees() {
  // Layer nodes go through the layer release, which drops shared records by
  // their count and lets windows forget the groups they show.
  if (g_LayerRoot != nullptr) {
    ReleaseDescendants(g_LayerRoot, ReleaseLayerNode);
    FreeLayerRecord(LayerRecordOf(g_LayerRoot));
    FreeTreeNode(g_LayerRoot);
  }
  // The task root's payload is a plain zeroed block.
  if (g_TaskRoot != nullptr) {
    ReleaseDescendants(g_TaskRoot, FreeTaskNode);
    std::free(g_TaskRoot->mPayload);
    FreeTreeNode(g_TaskRoot);
  }
  if (g_SoundRoot != nullptr) {
    ReleaseDescendants(g_SoundRoot, FreeSoundNode);
    FreeSoundNode(g_SoundRoot);
  }
  if (g_MenuRoot != nullptr) {
    ReleaseDescendants(g_MenuRoot, FreeMenuNode);
    FreeMenuNode(g_MenuRoot);
  }
  g_LayerRoot = g_TaskRoot = g_SoundRoot = g_MenuRoot = nullptr;
  for (char** base : {&g_LayerPathBase, &g_TaskPathBase, &g_SoundPathBase, &g_MenuPathBase}) {
    std::free(*base);
    *base = nullptr;
  }
}
