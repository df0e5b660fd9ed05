#pragma once
// Drawing E-mote models: the setters that hand position, scale, rotation
// and time to the runtime, the camera transforms, and the pre-pass that
// draws a layer's model into its render-target tile during the GPU frame.
struct LayerRecord;

void SetEmotePosition(LayerRecord* record, float x, float y);
void SetEmoteScale(LayerRecord* record, float scale);
void SetEmoteRotation(LayerRecord* record, float radians);
// Sets the device's world, view and projection transforms (nothing without
// a device).
void SetEmoteCamera(float width, float height, float cameraX, float cameraY, float degrees);
void DrawEmotePlayer(LayerRecord* record);
// With E-mote: SetEmoteCamera(1, 1, 0, 0, 0).
void ResetEmoteCamera();
// Draws the layer's model into its tile and leaves the back buffer as the
// render target again.
void DrawEmoteLayerPrePass(LayerRecord* record);

// The camera's transforms: row-major 4 x 4 matrices for row vectors. A point
// at depth 0 lands 1:1 on the pixels of a width x height render target.
struct EmoteCameraMatrices {
  float mWorld[16];
  float mView[16];
  float mProjection[16];
};
EmoteCameraMatrices BuildEmoteCameraMatrices(float width, float height, float cameraX, float cameraY,
                                             float degrees);
