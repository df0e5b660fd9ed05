#pragma once
// Switches the GPU side on for a test, the way start-up does when the E-mote
// runtime is present: GPU drawing on, the main window's record at a given
// logical size (no system window is needed), the device made through
// InitDirect3D on Mesa's software rasteriser.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/dialog_recorder.h"

struct GpuTexture;
struct WindowObject;

// Window 0 of the given logical size on a table of window records (made when
// missing). The window has no system window.
WindowObject* SetUpGpuMainWindow(int width, int height);
// SetUpGpuMainWindow, g_GpuDrawing = 1, InitDirect3D. Returns InitDirect3D's
// result; on a non-zero result GPU drawing is off again.
int StartTestGpu(int width, int height);
// Releases the frame textures and the device and switches GPU drawing off.
void StopTestGpu();
// The pixels of a render target (top row first) through a read buffer of its
// size; empty when it cannot be read.
std::vector<uint32_t> ReadGpuTexturePixels(GpuTexture* target);

// A fixture with the GPU side on: the engine is reset, BeforeGpuStart runs
// (set g_EmoteEnabled or device faults there), then the device is made for a
// main window of GpuWidth() x GpuHeight(). Message boxes are recorded in
// mDialogs. TearDown releases everything and resets the engine.
class GpuFixture : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  virtual void BeforeGpuStart() {}
  virtual int GpuWidth() const { return 64; }
  virtual int GpuHeight() const { return 48; }

  DialogRecorder mDialogs;
};
