#pragma once
// A GPU frame scene: the device objects of a main window made by the device
// set-up as start-up makes them, layers with pixels
// and texture tiles in the layer tree, and the processor compositor's frame
// of the same layers to compare with.
#include <cstdint>
#include <memory>
#include <vector>

#include "layer/layer_record.h"
#include "support/layer_tree_env.h"

struct ObjectTreeNode;

class GpuScene {
 public:
  // A window 0 of width x height with the layer tree; the device is opened
  // by Open().
  GpuScene(int32_t width, int32_t height);
  ~GpuScene();
  GpuScene(const GpuScene&) = delete;
  GpuScene& operator=(const GpuScene&) = delete;

  // GPU drawing on and the device made for the window (InitDirect3D).
  // False when OpenGL is not usable here.
  bool Open();
  // A layer under W0 (or parent) with these pixels (A8R8G8B8, rows top
  // first), at (x, y); its tiles are built when tiles is set.
  ObjectTreeNode* Layer(const char* name, int64_t x, int64_t y, int32_t width, int32_t height,
                        const std::vector<uint32_t>& pixels, bool tiles = true, ObjectTreeNode* parent = nullptr);
  // A window-sized, invisible layer set as the frame-capture layer.
  ObjectTreeNode* CaptureLayer(int32_t width, int32_t height);
  // The processor compositor's frame of the same layers (GPU layers drawn
  // on the processor for the occasion), as A8R8G8B8 words.
  std::vector<uint32_t> CpuFrame();
  // RenderFrameGpu through a GPU redraw request, then the capture layer's
  // pixels.
  std::vector<uint32_t> GpuFrame();

  std::unique_ptr<LayerTreeEnvironment> mEnv;
  LayerRecord mCanvas;
  ObjectTreeNode* mCapture = nullptr;
  int mCaptures = 0;
  std::vector<LayerRecord*> mTiled;
  int32_t mWidth;
  int32_t mHeight;
};

std::vector<uint32_t> RecordPixels(const LayerRecord* record);
uint8_t Channel(uint32_t pixel, int channel);  // 0 blue, 1 green, 2 red, 3 alpha
