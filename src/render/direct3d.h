#pragma once
// The GPU device of the main window and its shared objects: render
// textures, the white and black textures, the layer effect. It exists only
// while GPU drawing is on, which only the E-mote runtime switches on.
#include <cstdint>

struct ObjectTreeNode;
struct GpuSystem;
struct GpuDevice;
struct GpuTexture;
struct GpuReadBuffer;
struct GpuEffect;

// What the device was made with: the back buffer of the offscreen size in
// A8R8G8B8, windowed, no depth buffer, copied without waiting for the
// vertical blank.
struct PresentParameters {
  int32_t mBackBufferWidth = 0;
  int32_t mBackBufferHeight = 0;
  uint32_t mBackBufferFormat = 21;  // A8R8G8B8
  uint32_t mBackBufferCount = 0;
  uint32_t mSwapEffect = 3;  // copy
  uint8_t mWindowed = 1;
  uint8_t mAutoDepthStencil = 0;
  uint32_t mPresentationInterval = 0x80000000u;  // immediate
};
constexpr int32_t kDefaultMaxTextureSide = 256;

extern GpuSystem* g_pD3D;
extern PresentParameters g_PresentParams;
// Also handed to the E-mote driver.
extern GpuDevice* g_pD3DDevice;
// The back buffer: render target of the GPU frame (owned by the device).
extern GpuTexture* g_pBackBufferSurface;
// Read-back buffer of the offscreen size.
extern GpuReadBuffer* g_pSysMemSurface;
extern GpuTexture* g_pRenderTexture;  // "Render"
extern GpuTexture* g_pGetSSTexture;   // "GetSS": render target of the layer capture
extern GpuTexture* g_pWhiteTexture;   // WHITETEXBUF
extern GpuTexture* g_pBlackTexture;   // BLACKTEXBUF
extern GpuEffect* g_lpEffect;
extern int g_hTechnique;  // index of the technique, -1 none
// The main window's logical size when the device was made.
extern int32_t g_OffscreenWidth;
extern int32_t g_OffscreenHeight;
// Device caps; 256 x 256 before the first query.
extern int32_t g_MaxTextureWidth;
extern int32_t g_MaxTextureHeight;

// 0 ready; 1 the GPU cannot be used (the caller switches to processor
// drawing); -1 fatal (the caller quits).
int InitDirect3D();
// 0, or -1 after a message.
int CreateDirect3D();
void FillPresentParameters();
// 0, or -1 after a message.
int CreateDeviceWithFallbacks(int adapter);
// 0 (also when already done this run), 1 pixel shader 2.0 missing.
int QueryDeviceCaps();
// 0, or -1 when a render texture was not made.
int SetupDeviceStates();
// 0, or 1 when the vertex layout could not be made (ignored).
int SetupVertexDeclaration();
// 0, or -1 after a message.
int CreateEffectFromBlob();
void ReleaseDirect3D();
void ReleaseGpuTextures();
void ReleaseEffect();
// Releases the GetSS and Render textures (shutdown and reset release them
// before ReleaseDirect3D).
void ReleaseGpuFrameTextures();
// 0, or -1 when the device was not made again (processor drawing from now).
int ResetDirect3DDevice();
// Action 1 releases, 2 re-uploads the tiles of every textured layer below the
// group. 0, or -1 on an upload failure.
int ForEachGroupTexture(ObjectTreeNode* group, int action);
// Releases everything above and brings the caps, the offscreen size and the
// once-per-run caps check back to a new process's state (engine reset).
void ResetDirect3DState();
