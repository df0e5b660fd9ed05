#include "render/present.h"

#include "core/process_state.h"
#include "core/settings.h"
#include "image/pixel_primitives.h"
#include "render/scalers.h"

namespace {

PresentBlitRoutine g_blitRoutine = nullptr;

void Blit(const WindowObject* window, const PlatformBlit& blit) {
  PresentBlitRoutine routine = g_blitRoutine != nullptr ? g_blitRoutine : BlitToPlatformWindow;
  routine(window->mWindow, blit);
}

// The parallel bilinear scaler needs the processor's SSE and the player's
// permission to use it.
bool MayUseParallelBilinear() { return g_CpuFeatures[kCpuSse] != 0 && g_AllowSse != 0; }

enum class Bilinear { kPlain, kFrameThread };

// Scales the whole frame into the back buffer: g_PresentWidth x
// g_PresentHeight pixels, corners aligned.
void ScaleFrameBilinear(const LayerRecord* frame, Bilinear kind) {
  // Without a back buffer (its allocation failed) nothing is scaled and the
  // blit of the missing buffer draws nothing.
  int32_t x1 = (frame->mWidth - 1) * 100;
  int32_t y1 = (frame->mHeight - 1) * 100;
  int32_t width100 = g_PresentWidth * 100;
  int32_t height100 = g_PresentHeight * 100;
  if (kind == Bilinear::kFrameThread) {
    ScaleImageBilinearFrameThread(g_BackBuffer, frame->mPixels, 0, 0, x1, y1, frame->mWidth, frame->mHeight, width100,
                                  height100);
  } else if (MayUseParallelBilinear()) {
    ScaleImageBilinearParallel(g_BackBuffer, frame->mPixels, 0, 0, x1, y1, frame->mWidth, frame->mHeight, width100,
                               height100);
  } else {
    ScaleImageBilinear(g_BackBuffer, frame->mPixels, 0, 0, x1, y1, frame->mWidth, frame->mHeight, width100,
                       height100);
  }
}

void ScaleFrameNearest(const LayerRecord* frame) {
  ScaleImageNearestParallel(g_BackBuffer, frame->mPixels, 0, 0, frame->mWidth - 1, frame->mHeight - 1, frame->mWidth,
                            frame->mHeight, g_PresentWidth, g_PresentHeight);
}

// The whole back buffer at (x, y) of the client area.
void BlitBackBuffer(const WindowObject* window, int32_t x, int32_t y) {
  PlatformBlit blit;
  blit.mPixels = g_BackBuffer;
  blit.mImageWidth = g_PresentWidth;
  blit.mImageHeight = g_PresentHeight;
  blit.mSrcWidth = blit.mDstWidth = g_PresentWidth;
  blit.mSrcHeight = blit.mDstHeight = g_PresentHeight;
  blit.mDstX = x;
  blit.mDstY = y;
  Blit(window, blit);
}

// Full screen or maximised: the picture centred in the configured area (an
// odd remainder goes to the right and bottom). The layer set's own position
// does not apply here.
void PresentLetterboxed(const WindowObject* window, const LayerRecord* frame) {
  g_PaintOffset.mX = (g_ConfiguredWidth - g_PresentWidth) / 2;
  g_PaintOffset.mY = (g_ConfiguredHeight - g_PresentHeight) / 2;
  if (g_ScalingMode != 0 && g_CpuScaleBilinear == 1) {
    ScaleFrameBilinear(frame, Bilinear::kPlain);
  } else if (g_FullScreen == 0) {
    // Maximised: always the bilinear scale, whatever is configured.
    ScaleFrameBilinear(frame, Bilinear::kPlain);
  } else if (g_ScalingMode == 0) {
    // The frame stretched by the window system straight from its pixels;
    // the back buffer is not used.
    PlatformBlit blit;
    blit.mPixels = frame->mPixels;
    blit.mImageWidth = frame->mWidth;
    blit.mImageHeight = frame->mHeight;
    blit.mSrcWidth = frame->mWidth;
    blit.mSrcHeight = frame->mHeight;
    blit.mDstX = g_PaintOffset.mX;
    blit.mDstY = g_PaintOffset.mY;
    blit.mDstWidth = g_PresentWidth;
    blit.mDstHeight = g_PresentHeight;
    Blit(window, blit);
    return;
  } else {
    ScaleFrameNearest(frame);
  }
  BlitBackBuffer(window, g_PaintOffset.mX, g_PaintOffset.mY);
}

// The main window in a window, its picture at the present size.
void PresentScaledWindow(const WindowObject* window, const LayerRecord* frame) {
  if (g_CpuScaleBilinear == 1) {
    ScaleFrameBilinear(frame, g_ThreadedStep.load() != 0 ? Bilinear::kFrameThread : Bilinear::kPlain);
  } else {
    ScaleFrameNearest(frame);
  }
  BlitBackBuffer(window, g_PaintOffset.mX + static_cast<int32_t>(frame->mX),
                 g_PaintOffset.mY + static_cast<int32_t>(frame->mY));
}

}  // namespace

void PresentWindowFrame(WindowObject* window, LayerRecord* frame) {
  if (g_QuitFlag.load() != 0) return;
  if (window == nullptr || frame == nullptr) return;
  // The changed rectangle is kept in 64 bits; its low 32 bits are the
  // window's coordinates.
  auto left = static_cast<int32_t>(frame->mChangedRect[0]);
  auto top = static_cast<int32_t>(frame->mChangedRect[1]);
  auto right = static_cast<int32_t>(frame->mChangedRect[2]);
  auto bottom = static_cast<int32_t>(frame->mChangedRect[3]);
  int64_t width = int64_t{right} - left + 1;
  int64_t height = int64_t{bottom} - top + 1;
  if (width <= 0 || height <= 0 || g_PresentWidth <= 0 || g_PresentHeight <= 0) return;
  // Nothing composed yet: nothing to show.
  if (frame->mPixels == nullptr || frame->mWidth <= 0 || frame->mHeight <= 0) return;
  bool main = window->mIndex == 0;
  if (main && (g_FullScreen != 0 || g_Maximized != 0)) {
    PresentLetterboxed(window, frame);
    return;
  }
  // The offset describes the main window's picture: a sub-window's present
  // leaves it as the main window's last present set it.
  if (main) g_PaintOffset = PaintOffset();
  if (main && (frame->mWidth != g_PresentWidth || frame->mHeight != g_PresentHeight)) {
    PresentScaledWindow(window, frame);
    return;
  }
  // 1:1: the changed rectangle at the layer set's position.
  PlatformBlit blit;
  blit.mPixels = frame->mPixels;
  blit.mImageWidth = frame->mWidth;
  blit.mImageHeight = frame->mHeight;
  blit.mSrcX = left;
  blit.mSrcY = top;
  blit.mSrcWidth = blit.mDstWidth = static_cast<int>(width);
  blit.mSrcHeight = blit.mDstHeight = static_cast<int>(height);
  blit.mDstX = static_cast<int>(frame->mX + left);
  blit.mDstY = static_cast<int>(frame->mY + top);
  Blit(window, blit);
}

void SetPresentBlitRoutine(PresentBlitRoutine routine) { g_blitRoutine = routine; }

void ResetPresentState() {
  g_PaintOffset = PaintOffset();
  g_blitRoutine = nullptr;
  ResetScalerTables();
}
