#include "render/emote_drawing.h"

#include <cmath>
#include <cstdint>

#include "layer/layer_record.h"
#include "movie/emote.h"
#include "platform/gpu_device.h"
#include "render/direct3d.h"

namespace {

// What the pre-pass clears the model's tile to: grey with alpha 0, the
// engine's transparent colour.
constexpr uint32_t kEmoteTileClearColour = 0x00808080u;

struct Vector3 {
  float x, y, z;
};

Vector3 Subtract(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector3 Cross(Vector3 a, Vector3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vector3 Normalize(Vector3 v) {
  float length = std::sqrt(Dot(v, v));
  if (length == 0) return v;
  return {v.x / length, v.y / length, v.z / length};
}

void Identity(float m[16]) {
  for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

// A rotation about z by radians, for row vectors.
void RotationZ(float m[16], float radians) {
  Identity(m);
  float c = std::cos(radians);
  float s = std::sin(radians);
  m[0] = c;
  m[1] = s;
  m[4] = -s;
  m[5] = c;
}

// A left-handed view looking from eye towards at, for row vectors.
void LookAtLeftHanded(float m[16], Vector3 eye, Vector3 at, Vector3 up) {
  Vector3 zAxis = Normalize(Subtract(at, eye));
  Vector3 xAxis = Normalize(Cross(up, zAxis));
  Vector3 yAxis = Cross(zAxis, xAxis);
  const float rows[16] = {xAxis.x,         yAxis.x,         zAxis.x,         0,
                          xAxis.y,         yAxis.y,         zAxis.y,         0,
                          xAxis.z,         yAxis.z,         zAxis.z,         0,
                          -Dot(xAxis, eye), -Dot(yAxis, eye), -Dot(zAxis, eye), 1};
  for (int i = 0; i < 16; ++i) m[i] = rows[i];
}

void* PlayerOf(const LayerRecord* record) { return record != nullptr ? record->mPlayerHandle : nullptr; }

}  // namespace

EmoteCameraMatrices BuildEmoteCameraMatrices(float width, float height, float cameraX, float cameraY,
                                             float degrees) {
  if (height == 0) {
    width = 1;
    height = 1;
  }
  EmoteCameraMatrices matrices{};
  // The angle turns the other way from the usual sense.
  RotationZ(matrices.mWorld, degrees * -6.2831855f / 360.0f);
  // The eye stands half the height in front of the model plane, so that with
  // the projection below depth 0 maps 1:1 onto the pixels; x is mirrored.
  Vector3 eye{-0.5f - cameraX, 0.5f - cameraY, height * 0.5f};
  Vector3 at{eye.x, eye.y, height * 0.5f - 1.0f};
  LookAtLeftHanded(matrices.mView, eye, at, Vector3{0, -1, 0});
  matrices.mView[0] = -matrices.mView[0];
  // w = z; x scaled by the aspect ratio.
  matrices.mProjection[0] = height / width;
  matrices.mProjection[5] = 1;
  matrices.mProjection[10] = 1;
  matrices.mProjection[11] = 1;
  return matrices;
}

void SetEmotePosition(LayerRecord* record, float x, float y) {
  if (void* player = PlayerOf(record)) CallEmote(g_EmoteApi.mSetPosition, player, x, y, 0.0f, 0.0f);
}

void SetEmoteScale(LayerRecord* record, float scale) {
  if (void* player = PlayerOf(record)) CallEmote(g_EmoteApi.mSetScale, player, scale, 0.0f, 0.0f);
}

void SetEmoteRotation(LayerRecord* record, float radians) {
  if (void* player = PlayerOf(record)) CallEmote(g_EmoteApi.mSetRotation, player, radians, 0.0f, 0.0f);
}

void SetEmoteCamera(float width, float height, float cameraX, float cameraY, float degrees) {
  if (g_pD3DDevice == nullptr) return;
  EmoteCameraMatrices matrices = BuildEmoteCameraMatrices(width, height, cameraX, cameraY, degrees);
  SetGpuTransform(g_pD3DDevice, GpuTransform::kWorld, matrices.mWorld);
  SetGpuTransform(g_pD3DDevice, GpuTransform::kView, matrices.mView);
  SetGpuTransform(g_pD3DDevice, GpuTransform::kProjection, matrices.mProjection);
}

void DrawEmotePlayer(LayerRecord* record) {
  if (void* player = PlayerOf(record)) CallEmote(g_EmoteApi.mRender, player);
}

void ResetEmoteCamera() {
  if (g_EmoteEnabled != 0) SetEmoteCamera(1, 1, 0, 0, 0);
}

void DrawEmoteLayerPrePass(LayerRecord* record) {
  if (record == nullptr || g_pD3DDevice == nullptr) return;
  // The model is drawn only into its own tile: when the tile cannot be the
  // render target, the clear and the model would land on the back buffer
  // and wipe the layers drawn below. The pending time stays for the next
  // frame.
  GpuTexture* tile = record->mTileTextures[0];
  if (tile == nullptr || !SetGpuRenderTarget(g_pD3DDevice, tile)) return;
  ClearGpuRenderTarget(g_pD3DDevice, kEmoteTileClearColour);

  auto width = static_cast<float>(g_OffscreenWidth);
  auto height = static_cast<float>(g_OffscreenHeight);
  float modelX = static_cast<float>(record->mModelX) / 100.0f * 0.5f;
  float modelY = static_cast<float>(record->mModelY) / 100.0f * 0.5f;
  SetEmotePosition(record, -modelX, modelY);
  SetEmoteScale(record, static_cast<float>(record->mScaleX) / 10000.0f);
  SetEmoteRotation(record, -record->mRotation3 * 3.1415927f / 180.0f / 100.0f);
  SetEmoteCamera(width, height, static_cast<float>(record->mPosX100) / 100.0f - modelX - width * 0.5f,
                 static_cast<float>(record->mPosY100) / 100.0f - modelY - height * 0.5f, 0);

  // Time PaceFrame has not handed on yet goes with this drawing.
  int slot = FindEmoteSlot(record);
  if (slot >= 0 && g_EmotePendingTime[slot] != 0) {
    AdvanceEmotePlayer(record, g_EmotePendingTime[slot]);
    g_EmotePendingTime[slot] = 0;
  }
  DrawEmotePlayer(record);
  SetGpuRenderTarget(g_pD3DDevice, GpuBackBuffer(g_pD3DDevice));
}
