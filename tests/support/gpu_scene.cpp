#include "support/gpu_scene.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/object_tree.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "image/blend_kernels.h"
#include "image/pixel_buffers.h"
#include "image/pixel_primitives.h"
#include "image/pixel_workers.h"
#include "layer/composition.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"
#include "render/direct3d.h"
#include "render/gpu_frame.h"
#include "render/layer_textures.h"


GpuScene::GpuScene(int32_t width, int32_t height) : mWidth(width), mHeight(height) {
  mEnv = std::make_unique<LayerTreeEnvironment>(width, height);
  InitPixelPrimitives();
  InitProductTables();
  InitBlendKernels();
  mEnv->mWindow.mCanvas = &mCanvas;
  mEnv->mWindow.mDisplayState = 1;
  g_FrameCounter = 1;
  // The settings' filters: linear, linear, point.
  g_SamplerMagFilter = 1;
  g_SamplerMinFilter = 1;
  g_SamplerMipFilter = 0;
}

GpuScene::~GpuScene() {
  for (LayerRecord* record : mTiled) ReleaseLayerTextures(record);
  if (g_pD3DDevice != nullptr) {
    ReleaseGpuFrameTextures();
    ReleaseDirect3D();
  }
  g_GpuDrawing = 0;
  StopPixelWorkers();
  g_QuitFlag.store(0);
}

bool GpuScene::Open() {
  // As start-up does with the E-mote runtime present, on this window 0.
  g_GpuDrawing = 1;
  if (InitDirect3D() != 0) {
    g_GpuDrawing = 0;
    return false;
  }
  return true;
}

ObjectTreeNode* GpuScene::Layer(const char* name, int64_t x, int64_t y, int32_t width, int32_t height,
                                const std::vector<uint32_t>& pixels, bool tiles, ObjectTreeNode* parent) {
  ObjectTreeNode* node = mEnv->Add(parent != nullptr ? parent : mEnv->mW0, name, x, y, width, height);
  LayerRecord* record = RecordOf(node);
  uint8_t* block = AllocPixelBuffer(nullptr, width, height, nullptr);
  EXPECT_NE(block, nullptr);
  SetPixelBuffer(record, block, width, height);
  std::memcpy(record->mPixels, pixels.data(), static_cast<size_t>(width) * height * 4);
  record->mHasAlpha = 1;
  record->mPosX100 = x * 100;
  record->mPosY100 = y * 100;
  if (tiles) {
    EXPECT_EQ(UploadLayerTexture(record, 0, 512, 256), 0);
    record->mGpuState = 1;
    mTiled.push_back(record);
  }
  InvalidateLayerToRoot(node);
  return node;
}

ObjectTreeNode* GpuScene::CaptureLayer(int32_t width, int32_t height) {
  std::string name = "capture" + std::to_string(++mCaptures);
  mCapture = mEnv->Add(mEnv->mW0, name.c_str(), 0, 0, width, height);
  LayerRecord* record = RecordOf(mCapture);
  SetPixelBuffer(record, AllocPixelBuffer(nullptr, width, height, nullptr), width, height);
  std::memset(record->mPixels, 0x5A, static_cast<size_t>(width) * height * 4);
  record->mVisible = 0;
  g_FrameCaptureLayer = mCapture;
  return mCapture;
}

std::vector<uint32_t> GpuScene::CpuFrame() {
  uint8_t drawing = g_GpuDrawing;
  g_GpuDrawing = 0;
  for (LayerRecord* record : mTiled) record->mGpuState = 0;
  FlagWindowLayerFullyDirty(0);
  EXPECT_EQ(RenderWindowLayers(0), 0);
  ResetDirtyRects(GetFirstLayerChild());
  for (LayerRecord* record : mTiled) record->mGpuState = 1;
  g_GpuDrawing = drawing;
  return RecordPixels(RecordOf(mEnv->mW0));
}

std::vector<uint32_t> GpuScene::GpuFrame() {
  g_GpuRedrawRequest = 1;
  FlagWindowLayerFullyDirty(0);
  EXPECT_EQ(RenderWindowLayers(0), 0);
  EXPECT_EQ(g_GpuRedrawRequest, 0);
  ResetDirtyRects(GetFirstLayerChild());
  return RecordPixels(RecordOf(mCapture));
}

std::vector<uint32_t> RecordPixels(const LayerRecord* record) {
  std::vector<uint32_t> pixels(static_cast<size_t>(record->mWidth) * record->mHeight);
  std::memcpy(pixels.data(), record->mPixels, pixels.size() * 4);
  return pixels;
}

uint8_t Channel(uint32_t pixel, int channel) { return static_cast<uint8_t>(pixel >> (channel * 8)); }
