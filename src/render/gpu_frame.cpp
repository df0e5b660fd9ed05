#include "render/gpu_frame.h"

#include <cmath>
#include <cstdint>

#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/settings.h"
#include "core/window_table.h"
#include "layer/layer_record.h"
#include "movie/emote.h"
#include "platform/gpu_device.h"
#include "render/direct3d.h"
#include "render/emote_drawing.h"
#include "render/gpu_blend_states.h"

uint8_t g_GpuRedrawRequest = 0;
uint8_t g_GpuCompose = 0;
ObjectTreeNode* g_FrameCaptureLayer = nullptr;

namespace {

constexpr float kRadiansPerDegree = 0.0174532924f;
// A device that still asks for a reset after this many successful resets in
// one frame is left for the next frame rather than reset forever.
constexpr int kMaxResetsPerFrame = 4;
// The effect's passes the layer drawing uses.
constexpr int kCrossFadePass = 0;
constexpr int kRuleMaskPass = 1;

GpuFilter TextureFilter(int setting) {
  switch (setting) {
    case 0: return GpuFilter::kPoint;
    case 1: return GpuFilter::kLinear;
    case 2: return GpuFilter::kAnisotropic;
    default: return GpuFilter::kNone;
  }
}

// The mip filter setting is -1 for none, kept in a byte.
GpuFilter MipFilter(uint8_t setting) { return TextureFilter(static_cast<int8_t>(setting)); }

bool IsEmoteLayer(const LayerRecord* record) { return g_EmoteEnabled != 0 && record->mGpuState == 2; }

// The record of the layer a mask or second-source path names: null for an
// empty path or a missing layer; false when the path cannot be normalised
// (reported by the normalisation).
bool FindPathLayer(const char* path, LayerRecord** found) {
  *found = nullptr;
  if (path == nullptr || path[0] == '\0') return true;
  char normalised[kObjectPathBytes];
  if (NormalizeObjectPath(normalised, path, g_LayerPathBase, 0) < 0) return false;
  *found = LayerRecordOf(FindObjectByPath(g_LayerRoot, normalised, kPathLeaf));
  return true;
}

// The fractional part of q in 16.16 fixed point, with the sign of q.
float SubPixel(float q) {
  // In doubles, so that a position far outside the window cannot overflow
  // the fixed-point value; fmod keeps the sign of q as the remainder does.
  double fixed = std::trunc(static_cast<double>(q) * 65536.0);
  return static_cast<float>(std::fmod(fixed, 65536.0) / 65536.0);
}

// Row-vector rotation of yaw about y, pitch about x and roll about z,
// applied roll first, then pitch, then yaw.
struct Rotation {
  float m[3][3];
};

Rotation YawPitchRoll(float yaw, float pitch, float roll) {
  float cy = std::cos(yaw), sy = std::sin(yaw);
  float cp = std::cos(pitch), sp = std::sin(pitch);
  float cr = std::cos(roll), sr = std::sin(roll);
  const float rz[3][3] = {{cr, sr, 0}, {-sr, cr, 0}, {0, 0, 1}};
  const float rx[3][3] = {{1, 0, 0}, {0, cp, sp}, {0, -sp, cp}};
  const float ry[3][3] = {{cy, 0, -sy}, {0, 1, 0}, {sy, 0, cy}};
  float zx[3][3] = {};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      for (int k = 0; k < 3; ++k) zx[i][j] += rz[i][k] * rx[k][j];
    }
  }
  Rotation result = {};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      for (int k = 0; k < 3; ++k) result.m[i][j] += zx[i][k] * ry[k][j];
    }
  }
  return result;
}

void RotateQuad(GpuScreenVertex vertices[4], const Rotation& rotation, float cx, float cy) {
  TranslateQuadVertices(vertices, -cx, -cy, 0);
  for (int i = 0; i < 4; ++i) {
    GpuScreenVertex& v = vertices[i];
    float x = v.x, y = v.y, z = v.z;
    v.x = x * rotation.m[0][0] + y * rotation.m[1][0] + z * rotation.m[2][0];
    v.y = x * rotation.m[0][1] + y * rotation.m[1][1] + z * rotation.m[2][1];
    v.z = x * rotation.m[0][2] + y * rotation.m[1][2] + z * rotation.m[2][2];
  }
  TranslateQuadVertices(vertices, cx, cy, 0);
}

// How the quads of one layer are placed.
struct QuadPlacement {
  float posX, posY;      // pixels
  float scaleX, scaleY;  // percent
  float centreX, centreY;
  Rotation rotation;
};

QuadPlacement PlacementOf(const LayerRecord* record) {
  QuadPlacement p = {};
  p.centreX = static_cast<float>(record->mCentreX) / 100.0f;
  p.centreY = static_cast<float>(record->mCentreY) / 100.0f;
  if (IsEmoteLayer(record)) {
    // The model is already drawn where it belongs in its screen-sized tile.
    p.scaleX = p.scaleY = 100.0f;
    p.rotation = YawPitchRoll(0, 0, 0);
    return p;
  }
  p.posX = static_cast<float>(record->mPosX100) / 100.0f;
  p.posY = static_cast<float>(record->mPosY100) / 100.0f;
  p.scaleX = static_cast<float>(record->mScaleX) / 100.0f;
  p.scaleY = static_cast<float>(record->mScaleY) / 100.0f;
  float yaw = record->mRotation1 / 100.0f * kRadiansPerDegree;
  float pitch = record->mRotation2 / 100.0f * kRadiansPerDegree;
  float roll = record->mRotation3 / 100.0f * kRadiansPerDegree;
  p.rotation = YawPitchRoll(yaw, pitch, roll);
  return p;
}

// The four corners of the tile whose top-left lies at (x0, y0), with texture
// coordinates moved by the sub-pixel part of each edge so that texels stay
// on the pixels the processor compositor would put them on.
void BuildTileQuad(GpuScreenVertex quad[4], uint32_t colour, float x0, float y0, float x1, float y1, int32_t tileWidth,
                   int32_t tileHeight) {
  float w = static_cast<float>(tileWidth) * 4.0f;
  float h = static_cast<float>(tileHeight) * 4.0f;
  float u0 = SubPixel(x0) / w, u1 = 1.0f + SubPixel(x1) / w;
  float v0 = SubPixel(y0) / h, v1 = 1.0f + SubPixel(y1) / h;
  BuildScreenVertex(&quad[0], colour, x0, y1, 0, u0, v1);
  BuildScreenVertex(&quad[1], colour, x1, y1, 0, u1, v1);
  BuildScreenVertex(&quad[2], colour, x0, y0, 0, u0, v0);
  BuildScreenVertex(&quad[3], colour, x1, y0, 0, u1, v0);
}

GpuTexture* TileOf(const LayerRecord* record, int index) {
  if (record == nullptr || index < 0 || index >= kTileTextureCount) return nullptr;
  return record->mTileTextures[index];
}

void SetPassParameters(int pass, const LayerRecord* record, GpuTexture* tile, GpuTexture* other) {
  // A parameter a pass does not read may be unknown to it: only traced.
  SetGpuEffectTexture(g_lpEffect, "QV_Texture1", tile);
  SetGpuEffectTexture(g_lpEffect, "QV_Texture2", other);
  SetGpuEffectFloat(g_lpEffect, "QV_AlphaVal", static_cast<float>(record->mOpacity) / 256.0f);
  if (pass == kRuleMaskPass) {
    float softness = static_cast<float>(record->mRuleSoftness);
    float threshold = static_cast<float>(record->mRuleThreshold);
    SetGpuEffectFloat(g_lpEffect, "QV_FadeVal", threshold * (256.0f / softness + 128.0f) / 65536.0f);
    SetGpuEffectFloat(g_lpEffect, "QV_FadeVal2", softness);
  } else {
    SetGpuEffectFloat(g_lpEffect, "QV_FadeVal", static_cast<float>(record->mFade) / 256.0f);
  }
  CommitGpuEffect(g_lpEffect);
}

// Ends the pass on every way out of the layer's drawing, so that a failed
// tile does not leave the effect in the middle of a pass.
struct PassScope {
  bool begun = false;
  ~PassScope() {
    if (begun) EndGpuEffectPass(g_lpEffect);
  }
};

int TileQuadsOf(LayerRecord* record, LayerRecord* mask, LayerRecord* second, int pass, int blendMode, uint8_t g) {
  GpuDevice* device = g_pD3DDevice;
  QuadPlacement place = PlacementOf(record);
  uint32_t colour = GpuQuadDiffuse(blendMode, g);
  float y0 = place.posY - 0.5f;
  for (int r = 0; r < record->mTileCountY; ++r) {
    int32_t tileHeight = record->mTileHeights[r];
    float y1 = y0 + static_cast<float>(tileHeight) * place.scaleY / 100.0f;
    float x0 = place.posX - 0.5f;
    for (int c = 0; c < record->mTileCountX; ++c) {
      int32_t tileWidth = record->mTileWidths[c];
      float x1 = x0 + static_cast<float>(tileWidth) * place.scaleX / 100.0f;
      int index = r * record->mTileCountX + c;
      GpuScreenVertex quad[4];
      BuildTileQuad(quad, colour, x0, y0, x1, y1, tileWidth, tileHeight);
      RotateQuad(quad, place.rotation, place.centreX, place.centreY);

      GpuTexture* tile = TileOf(record, index);
      if (tile == nullptr) {
        // A build that failed part-way leaves holes in the grid: a hole
        // shows nothing rather than a quad without a texture.
        x0 = x1;
        continue;
      }
      GpuTexture* other = pass == kRuleMaskPass ? TileOf(mask, index) : TileOf(second, index);
      if (!SetGpuTexture(device, 2, nullptr) || !SetGpuTexture(device, 0, tile) ||
          !SetGpuTexture(device, 1, other)) {
        return -1;
      }
      if (!ApplyGpuBlendState(device, blendMode, g, other != nullptr, g_pWhiteTexture, g_pBlackTexture)) return -1;
      if (pass >= 0 && g_lpEffect != nullptr) SetPassParameters(pass, record, tile, other);
      if (!DrawGpuQuad(device, quad)) return -1;
      x0 = x1;
    }
    y0 = y1;
  }
  return 0;
}

}  // namespace

void BuildScreenVertex(GpuScreenVertex* vertex, uint32_t colour, float x, float y, float z, float u, float v) {
  *vertex = GpuScreenVertex{};
  vertex->x = x;
  vertex->y = y;
  vertex->z = z;
  vertex->rhw = 1.0f;
  vertex->diffuse = colour;
  vertex->uv[0][0] = u;
  vertex->uv[0][1] = v;
}

void TranslateQuadVertices(GpuScreenVertex vertices[4], float dx, float dy, float dz) {
  for (int i = 0; i < 4; ++i) {
    vertices[i].x += dx;
    vertices[i].y += dy;
    vertices[i].z += dz;
  }
}

void ClearRenderTarget() {
  if (g_pD3DDevice != nullptr) ClearGpuRenderTarget(g_pD3DDevice, 0);
}

void EndEffect() {
  if (g_lpEffect != nullptr) EndGpuEffect(g_lpEffect);
}

void EndSceneGpu() {
  // OpenGL has no scene brackets: ending the effect is all there is to do.
  EndEffect();
}

void BeginEffectWithSamplers() {
  if (g_lpEffect != nullptr) BeginGpuEffect(g_lpEffect);
  GpuFilter mag = TextureFilter(g_SamplerMagFilter);
  GpuFilter min = TextureFilter(g_SamplerMinFilter);
  GpuFilter mip = MipFilter(g_SamplerMipFilter);
  for (int sampler = 0; sampler < 2; ++sampler) SetGpuSampler(g_pD3DDevice, sampler, mag, min, mip);
}

int DrawLayerQuadGpu(LayerRecord* record, LayerRecord* mask, LayerRecord* second, int opacitySwitch,
                     int blendMode) {
  if (record == nullptr || record->mTileTextures[0] == nullptr) return 0;
  if (g_pD3DDevice == nullptr) return -1;
  int opacity = record->mOpacity < 0 ? 0 : (record->mOpacity > 255 ? 255 : record->mOpacity);
  uint8_t g = opacitySwitch != 0 ? static_cast<uint8_t>(opacity) : 0;

  int pass = -1;
  if (mask != nullptr && record->mRuleSoftness > 0) {
    pass = kRuleMaskPass;
  } else if (second != nullptr) {
    pass = kCrossFadePass;
  }
  PassScope scope;
  // Without a begun effect (the compose mode) the pass cannot begin and the
  // quads draw with the fixed-function states alone.
  if (pass >= 0 && g_lpEffect != nullptr) scope.begun = BeginGpuEffectPass(g_lpEffect, pass);
  return TileQuadsOf(record, pass == kRuleMaskPass ? mask : nullptr, second, pass, blendMode, g);
}

int DrawLayerGroupGpu(ObjectTreeNode* group) {
  LayerRecord* groupRecord = LayerRecordOf(group);
  if (groupRecord == nullptr || groupRecord->mPixels == nullptr) return 0;
  for (ObjectTreeNode* child = group->mFirstChild; child != nullptr; child = child->mNextSibling) {
    if (child->mIsGroup != 0) DrawLayerGroupGpu(child);
    LayerRecord* record = LayerRecordOf(child);
    if (record == nullptr) return 0;
    if (record->mGpuState == 0 || record->mVisible == 0 || record->mOpacity == 0) continue;
    if (record->mPixels == nullptr) return 0;
    if (IsEmoteLayer(record)) DrawEmoteLayerPrePass(record);
    LayerRecord* mask = nullptr;
    LayerRecord* second = nullptr;
    if (!FindPathLayer(record->mRuleLayerPath, &mask)) return -1;
    if (!FindPathLayer(record->mSecondLayerPath, &second)) return -1;
    DrawLayerQuadGpu(record, mask, second, 1, record->mBlendMode);
  }
  return 0;
}

namespace {

// The device check at the start of a frame: false when the frame is not to
// be drawn (the reset failed and processor drawing took over, or the device
// keeps asking for resets).
bool ReadyDevice() {
  for (int resets = 0;; ++resets) {
    bool reset = TestGpuCooperativeLevel(g_pD3DDevice) == kGpuDeviceNotReset;
    if (g_DeviceResetPending != 0) {
      g_DeviceResetPending = 0;
      reset = true;
    }
    if (!reset) return true;
    if (resets == kMaxResetsPerFrame) {
      g_GpuRedrawRequest = 1;
      return false;
    }
    if (g_EmoteEnabled != 0) ReleaseAllEmotePlayers();
    // A failed reset leaves processor drawing on; a device that came back
    // with a layer it could not re-upload draws the rest.
    if (ResetDirect3DDevice() != 0 && g_GpuDrawing == 0) return false;
    if (g_EmoteEnabled != 0) ResetEmoteCamera();
    g_GpuRedrawRequest = 1;
  }
}

ObjectTreeNode* MainShownLayerSet() {
  WindowObject* main = g_WindowTable[0];
  return main != nullptr ? main->mShownLayerSet : nullptr;
}

void CopyFrameToCaptureLayer() {
  LayerRecord* capture = LayerRecordOf(g_FrameCaptureLayer);
  const WindowObject* main = g_WindowTable[0];
  if (capture == nullptr || main == nullptr || capture->mPixels == nullptr) return;
  // A capture layer of another size than the window gets nothing.
  if (capture->mWidth != main->mWidth || capture->mHeight != main->mHeight) return;
  CopySurfaceToPixels(g_pBackBufferSurface, reinterpret_cast<uint32_t*>(capture->mPixels), capture->mWidth,
                      capture->mHeight);
}

}  // namespace

int RenderFrameGpu() {
  if (g_GpuCompose == 0 && g_GpuPresent == 0 && g_FrameCaptureLayer == nullptr) return 0;
  // Without a device there is nothing to check or draw with.
  if (g_pD3DDevice == nullptr) return 0;
  if (!ReadyDevice()) return 0;
  if (g_GpuCompose != 0) {
    // The compose mode's present surface is never made, so the render
    // target stays what it was; the tree is drawn without the effect and
    // the sampler set-up, and nothing is copied out.
    ClearRenderTarget();
    DrawLayerGroupGpu(MainShownLayerSet());
    SetGpuRenderTarget(g_pD3DDevice, g_pBackBufferSurface);
    return 0;
  }
  SetGpuRenderTarget(g_pD3DDevice, g_pBackBufferSurface);
  ClearRenderTarget();
  BeginEffectWithSamplers();
  DrawLayerGroupGpu(MainShownLayerSet());
  EndSceneGpu();
  if (g_FrameCaptureLayer != nullptr) CopyFrameToCaptureLayer();
  return 0;
}
