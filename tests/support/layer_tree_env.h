#pragma once
// The object trees of a clean script engine with a window 0 of a chosen
// size, and helpers to hang layers and groups into the layer tree.
#include <array>
#include <cstddef>
#include <cstdint>

#include "shell/window_objects.h"
#include "support/script_test_env.h"

struct LayerRecord;
struct ObjectTreeNode;

using Rect = std::array<int64_t, 4>;

class LayerTreeEnvironment {
 public:
  // Installs a window 0 of width x height and creates the object trees;
  // the dirty state "W0" starts with is reset unless keepStartState is set.
  LayerTreeEnvironment(int32_t width, int32_t height, bool keepStartState = false);
  ~LayerTreeEnvironment();
  LayerTreeEnvironment(const LayerTreeEnvironment&) = delete;
  LayerTreeEnvironment& operator=(const LayerTreeEnvironment&) = delete;

  // A node under parent (the layer root when null) with a fresh record at
  // (x, y) of width x height; no pixels.
  ObjectTreeNode* Add(ObjectTreeNode* parent, const char* name, int64_t x, int64_t y, int32_t width, int32_t height,
                      bool group = false);

  ScriptTestEnvironment mScript;
  WindowObject mWindow;
  WindowObject* mSavedWindow = nullptr;
  ObjectTreeNode* mW0 = nullptr;
};

LayerRecord* RecordOf(const ObjectTreeNode* node);
Rect DirtyRect(const ObjectTreeNode* node);
Rect ChangedRect(const ObjectTreeNode* node);
// True when every one of the count bytes is 0.
bool AllBytesZero(const uint8_t* bytes, size_t count);
