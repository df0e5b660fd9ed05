#include "render/direct3d.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/errors.h"
#include "core/object_tree.h"
#include "core/platform_facts.h"
#include "core/settings.h"
#include "core/window_table.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"
#include "movie/emote.h"
#include "platform/gpu_device.h"
#include "platform/window.h"
#include "render/emote_drawing.h"
#include "render/layer_effect_passes.h"
#include "render/layer_textures.h"

GpuSystem* g_pD3D = nullptr;
GpuDevice* g_pD3DDevice = nullptr;
PresentParameters g_PresentParams;
GpuTexture* g_pBackBufferSurface = nullptr;
GpuReadBuffer* g_pSysMemSurface = nullptr;
GpuTexture* g_pRenderTexture = nullptr;
GpuTexture* g_pGetSSTexture = nullptr;
GpuTexture* g_pWhiteTexture = nullptr;
GpuTexture* g_pBlackTexture = nullptr;
GpuEffect* g_lpEffect = nullptr;
int g_hTechnique = -1;
int32_t g_OffscreenWidth = 0;
int32_t g_OffscreenHeight = 0;
int32_t g_MaxTextureWidth = kDefaultMaxTextureSide;
int32_t g_MaxTextureHeight = kDefaultMaxTextureSide;

namespace {
// The caps are read in the first InitDirect3D of a run only; a device made
// again by a reset keeps them.
bool g_capsQueried = false;

constexpr char kGpuFallbackText[] = "GPU描画が出来ませんでした。CPU描画に移行します。";
constexpr char kPixelShaderText[] =
    "ビデオカードにピクセルシェーダ 2.0以降 が実装されていません。\r\n"
    "ビデオカードが推奨スペック(※DirectX9.0 に対応したAGP/PCI-E接続ビデオカード、もしくはチップセット)を\r\n"
    "満たしていない可能性があります。\r\n\r\n"
    "[エンジン設定.exe]を起動して頂き、ゲーム画面の描画方法の項目を【 CPU(バイリニア) 】にセットして\r\n"
    "起動し直していただければ動作いたします。";

WindowObject* MainWindow() { return g_WindowTable[0]; }

GpuFormat TextureFormat() { return g_TextureFormat == kTextureFormat16 ? GpuFormat::kArgb4444 : GpuFormat::kArgb8888; }

uint32_t LoadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Reads a 32-bit BMP file image (bottom-up, or top-down with a negative
// height) into rows top first. False for anything else or when the sizes in
// the header do not fit the bytes given.
bool ReadBmp32(const uint8_t* file, size_t size, int* width, int* height, std::vector<uint32_t>* pixels) {
  if (file == nullptr || size < 54 || file[0] != 'B' || file[1] != 'M') return false;
  uint32_t offset = LoadLe32(file + 10);
  auto w = static_cast<int32_t>(LoadLe32(file + 18));
  auto h = static_cast<int32_t>(LoadLe32(file + 22));
  uint16_t bits = static_cast<uint16_t>(file[28] | file[29] << 8);
  bool bottomUp = h > 0;
  if (h < 0) h = -h;
  if (bits != 32 || w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide) return false;
  size_t rowBytes = static_cast<size_t>(w) * 4;
  if (offset > size || (size - offset) / rowBytes < static_cast<size_t>(h)) return false;
  pixels->resize(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = file + offset + rowBytes * static_cast<size_t>(bottomUp ? h - 1 - y : y);
    std::memcpy(&(*pixels)[static_cast<size_t>(y) * w], row, rowBytes);
  }
  *width = w;
  *height = h;
  return true;
}

// A texture of the main window's size filled with one colour, made from a
// BMP file image in memory as the white and black textures always were.
GpuTexture* MakeColourTexture(uint32_t colour) {
  WindowObject* main = MainWindow();
  if (main == nullptr) return nullptr;
  size_t size = 0;
  uint8_t* file = BuildMemoryBmp(main->mWidth, main->mHeight, colour, &size);
  if (file == nullptr) return nullptr;
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  bool read = ReadBmp32(file, size, &width, &height, &pixels);
  std::free(file);
  if (!read) return nullptr;
  GpuTexture* texture = CreateGpuTexture(g_pD3DDevice, width, height, TextureFormat(), false);
  if (texture == nullptr) return nullptr;
  if (!UploadGpuTexture(texture, pixels.data(), static_cast<size_t>(width) * 4, false)) {
    ReleaseGpuTexture(texture);
    return nullptr;
  }
  return texture;
}

void ReleaseTexture(GpuTexture*& texture) {
  ReleaseGpuTexture(texture);
  texture = nullptr;
}

ObjectTreeNode* ShownLayerSet() {
  WindowObject* main = MainWindow();
  return main != nullptr ? main->mShownLayerSet : nullptr;
}

}  // namespace

int InitDirect3D() {
  if (CreateDirect3D() != 0) return 1;
  if (g_EmoteEnabled != 0) {
    ResetEmoteCamera();
    InitEmoteDriver();
  }
  if (QueryDeviceCaps() != 0) return 1;
  int states = SetupDeviceStates();
  if (states != 0) {
    ReleaseGpuFrameTextures();
    ReleaseGpuReadBuffer(g_pSysMemSurface);
    g_pSysMemSurface = nullptr;
    g_pBackBufferSurface = nullptr;
    ReleaseGpuDevice(g_pD3DDevice);
    g_pD3DDevice = nullptr;
    CloseGpuSystem(g_pD3D);
    g_pD3D = nullptr;
    return states;
  }
  SetupVertexDeclaration();
  if (CreateEffectFromBlob() != 0) return 1;
  return 0;
}

int CreateDirect3D() {
  WindowObject* main = MainWindow();
  int adapter = 0;
  int rect[4] = {0, 0, 0, 0};
  if (main != nullptr && main->mWindow != nullptr && FindPlatformWindowMonitor(main->mWindow, &adapter, rect)) {
    g_DesktopWidth = rect[2];
    g_DesktopHeight = rect[3];
  }
  g_pD3D = OpenGpuSystem();
  if (g_pD3D == nullptr) {
    ShowMessageBox(nullptr, "[DX]オブジェクトを生成できませんでした。");
    return -1;
  }
  GpuDisplayMode mode;
  if (!GetGpuDisplayMode(g_pD3D, adapter, &mode)) {
    CloseGpuSystem(g_pD3D);
    g_pD3D = nullptr;
    ShowMessageBox(nullptr, "[DX]現在のディスプレイモードを取得できませんでした。(DispNo.%d)", adapter);
    return -1;
  }
  // The list of the adapter's display modes went only to the diagnostic
  // trace, which this system does not keep.
  int created = CreateDeviceWithFallbacks(adapter);
  if (created != 0) return created;
  g_pBackBufferSurface = GpuBackBuffer(g_pD3DDevice);
  if (g_pBackBufferSurface == nullptr) {
    ShowMessageBox("エラー", "バックバッファサーフェス取得に失敗しました。");
    return -1;
  }
  g_pSysMemSurface = CreateGpuReadBuffer(g_pD3DDevice, g_OffscreenWidth, g_OffscreenHeight);
  if (g_pSysMemSurface == nullptr) {
    ShowMessageBox("エラー", "オフスクリーンサーフェスを生成できませんでした。");
    return -1;
  }
  return 0;
}

void FillPresentParameters() {
  g_PresentParams = PresentParameters{};
  WindowObject* main = MainWindow();
  g_OffscreenWidth = main != nullptr ? main->mWidth : 0;
  g_OffscreenHeight = main != nullptr ? main->mHeight : 0;
  g_PresentParams.mBackBufferWidth = g_OffscreenWidth;
  g_PresentParams.mBackBufferHeight = g_OffscreenHeight;
}

int CreateDeviceWithFallbacks(int adapter) {
  FillPresentParameters();
  const GpuVertexProcessing order[] = {GpuVertexProcessing::kHardware, GpuVertexProcessing::kMixed,
                                       GpuVertexProcessing::kSoftware};
  for (GpuVertexProcessing processing : order) {
    if (processing == GpuVertexProcessing::kHardware && g_NoHardwareVertexProcessing != 0) continue;
    g_pD3DDevice = CreateGpuDevice(g_pD3D, adapter, g_PresentParams.mBackBufferWidth,
                                   g_PresentParams.mBackBufferHeight, processing);
    if (g_pD3DDevice != nullptr) return 0;
  }
  ShowMessageBox(nullptr, "[Direct3D初期化エラー]Direct3Dの初期化に失敗しました。");
  CloseGpuSystem(g_pD3D);
  g_pD3D = nullptr;
  return -1;
}

int QueryDeviceCaps() {
  if (g_capsQueried) return 0;
  g_capsQueried = true;
  GpuCaps caps;
  if (!QueryGpuCaps(g_pD3DDevice, &caps)) return 0;
  g_MaxTextureWidth = caps.maxTextureWidth;
  g_MaxTextureHeight = caps.maxTextureHeight;
  if (caps.pixelShaderMajor < 2) {
    ShowMessageBox("環境チェック", kPixelShaderText);
    return 1;
  }
  return 0;
}

int SetupDeviceStates() {
  // The vertex layout, culling, depth, lighting, dither and alpha-blend
  // states and clamp addressing are the device's own set-up state: the
  // OpenGL device has them from its creation on.
  g_pRenderTexture = CreateGpuTexture(g_pD3DDevice, g_OffscreenWidth, g_OffscreenHeight, TextureFormat(), true);
  if (g_pRenderTexture == nullptr) {
    ShowMessageBox(nullptr, "Render テクスチャを生成できませんでした。");
    return -1;
  }
  g_pGetSSTexture = CreateGpuTexture(g_pD3DDevice, g_OffscreenWidth, g_OffscreenHeight, TextureFormat(), true);
  if (g_pGetSSTexture == nullptr) {
    ShowMessageBox(nullptr, "GetSS テクスチャを生成できませんでした。");
    return -1;
  }
  if (g_GpuDrawing != 0) {
    g_pWhiteTexture = MakeColourTexture(0xFFFFFFFF);
    if (g_pWhiteTexture == nullptr) ShowMessageBox("", "WHITETEXBUF ERROR.");
    g_pBlackTexture = MakeColourTexture(0xFF000000);
    if (g_pBlackTexture == nullptr) ShowMessageBox("", "BLACKTEXBUF ERROR.");
  }
  return 0;
}

int SetupVertexDeclaration() {
  // Every quad of the device is a GpuScreenVertex: the layout is fixed when
  // the device is made and nothing remains to declare here.
  return g_pD3DDevice != nullptr ? 0 : 1;
}

int CreateEffectFromBlob() {
  char* error = nullptr;
  g_lpEffect = CreateGpuEffect(g_pD3DDevice, g_LayerEffectSource, &error);
  delete[] error;
  if (g_lpEffect == nullptr) {
    ShowMessageBox("", "[エラー] Shader Init Error.");
    return -1;
  }
  g_hTechnique = FindGpuTechnique(g_lpEffect, kLayerEffectTechnique);
  if (g_hTechnique < 0) {
    ShowMessageBox("", "指定されたテクニック名が見つかりませんでした。");
    return -1;
  }
  if (!SetGpuTechnique(g_lpEffect, g_hTechnique)) {
    ShowMessageBox("", "指定されたテクニックが設定できませんでした。");
    return -1;
  }
  return 0;
}

void ReleaseDirect3D() {
  if (g_GpuDrawing != 0) ReleaseGpuTextures();
  ReleaseEffect();
  g_pBackBufferSurface = nullptr;  // the device's own
  ReleaseGpuReadBuffer(g_pSysMemSurface);
  g_pSysMemSurface = nullptr;
  ReleaseGpuDevice(g_pD3DDevice);
  g_pD3DDevice = nullptr;
  CloseGpuSystem(g_pD3D);
  g_pD3D = nullptr;
}

void ReleaseGpuTextures() {
  ReleaseTexture(g_pWhiteTexture);
  ReleaseTexture(g_pBlackTexture);
  ForEachGroupTexture(ShownLayerSet(), 1);
}

void ReleaseEffect() {
  ReleaseGpuEffect(g_lpEffect);
  g_lpEffect = nullptr;
  g_hTechnique = -1;
}

void ReleaseGpuFrameTextures() {
  ReleaseTexture(g_pGetSSTexture);
  ReleaseTexture(g_pRenderTexture);
}

int ResetDirect3DDevice() {
  ReleaseGpuFrameTextures();
  g_pBackBufferSurface = nullptr;
  ReleaseDirect3D();
  if (InitDirect3D() != 0) {
    ReleaseGpuFrameTextures();
    ReleaseDirect3D();
    g_DrawMode = 0;
    g_CpuScaleBilinear = 1;
    g_GpuDrawing = 0;
    ShowMessageBox("", kGpuFallbackText);
    return -1;
  }
  // Every textured layer is uploaded again, also after one of them failed,
  // and a failure is reported: the device itself is back (GPU drawing stays
  // on), but that layer has no tiles.
  return ForEachGroupTexture(ShownLayerSet(), 2);
}

int ForEachGroupTexture(ObjectTreeNode* group, int action) {
  if (group == nullptr) return 0;
  auto* groupRecord = LayerRecordOf(group);
  if (groupRecord == nullptr || groupRecord->mPixels == nullptr) return 0;
  int result = 0;
  for (ObjectTreeNode* child = group->mFirstChild; child != nullptr; child = child->mNextSibling) {
    if (child->mIsGroup != 0 && ForEachGroupTexture(child, action) != 0) result = -1;
    auto* record = LayerRecordOf(child);
    if (record == nullptr || record->mGpuState == 0) continue;
    if (record->mPixels == nullptr) break;
    if (action == 1) {
      ReleaseLayerTextures(record);
    } else if (action == 2) {
      if (UploadLayerTexture(record, record->mFlag2, record->mTileLimitX, record->mTileLimitY) != 0) {
        // "[ID:%s] 読み込みエラー.." went to the diagnostic trace only.
        result = -1;
      }
    }
  }
  return result;
}

void ResetDirect3DState() {
  ReleaseGpuFrameTextures();
  ReleaseTexture(g_pWhiteTexture);
  ReleaseTexture(g_pBlackTexture);
  ReleaseDirect3D();
  g_PresentParams = PresentParameters{};
  g_OffscreenWidth = 0;
  g_OffscreenHeight = 0;
  g_MaxTextureWidth = kDefaultMaxTextureSide;
  g_MaxTextureHeight = kDefaultMaxTextureSide;
  g_capsQueried = false;
}
