#include "support/gpu_fixture.h"

#include <cstring>

#include "core/settings.h"
#include "core/window_table.h"
#include "platform/gpu_device.h"
#include "render/direct3d.h"
#include "shell/engine_reset.h"
#include "shell/window_objects.h"

WindowObject* SetUpGpuMainWindow(int width, int height) {
  if (g_WindowTable[0] == nullptr && CreateWindowObjects() != 0) return nullptr;
  WindowObject* main = g_WindowTable[0];
  main->mWidth = width;
  main->mHeight = height;
  return main;
}

int StartTestGpu(int width, int height) {
  if (SetUpGpuMainWindow(width, height) == nullptr) return -1;
  g_GpuDrawing = 1;
  int result = InitDirect3D();
  if (result != 0) g_GpuDrawing = 0;
  return result;
}

void StopTestGpu() {
  ReleaseGpuFrameTextures();
  ReleaseDirect3D();
  g_GpuDrawing = 0;
}

std::vector<uint32_t> ReadGpuTexturePixels(GpuTexture* target) {
  int width = GpuTextureWidth(target), height = GpuTextureHeight(target);
  GpuReadBuffer* buffer = CreateGpuReadBuffer(g_pD3DDevice, width, height);
  if (buffer == nullptr) return {};
  std::vector<uint32_t> pixels;
  if (ReadGpuRenderTarget(g_pD3DDevice, target, buffer)) {
    size_t pitch = 0;
    const uint8_t* rows = GpuReadBufferRows(buffer, &pitch, nullptr, nullptr);
    pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
      std::memcpy(&pixels[static_cast<size_t>(y) * width], rows + pitch * y, static_cast<size_t>(width) * 4);
    }
  }
  ReleaseGpuReadBuffer(buffer);
  return pixels;
}

void GpuFixture::SetUp() {
  ResetEngineState();
  g_GpuDeviceFaults = GpuDeviceFaults{};
  g_GpuDeviceCounts = GpuDeviceCounts{};
  BeforeGpuStart();
  ASSERT_EQ(StartTestGpu(GpuWidth(), GpuHeight()), 0);
  ASSERT_NE(g_pD3DDevice, nullptr);
}

void GpuFixture::TearDown() {
  StopTestGpu();
  g_GpuDeviceFaults = GpuDeviceFaults{};
  ResetEngineState();
}
