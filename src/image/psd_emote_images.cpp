// The two kinds the engine does not decode itself: Photoshop .psd images,
// which are refused, and .psb E-mote models, handed to the E-mote runtime
// while the layer holds a 2x2 placeholder.
#include "core/errors.h"
#include "datasrc/resource_lookup.h"
#include "image/image_decoders.h"
#include "image/pixel_buffers.h"
#include "layer/layer_record.h"
#include "movie/emote.h"

int RejectPsdImage(ResourceLocation* location, LayerRecord*, const char* fileName) {
  ReadImageResource(location, fileName, 1, 0);
  ReleaseResourceData(location);
  ReportErrorAtScriptFmt(kMsgPsdNotLoaded, fileName);
  return -1;
}

int LoadEmoteImage(ResourceLocation* location, LayerRecord* record, const char* fileName) {
  if (InstallNewPixelBlock(record, 2, 2, fileName) != 0) return -1;
  // Without the runtime the layer keeps the placeholder and the load counts.
  if (g_EmoteEnabled == 0) return 0;
  record->mGpuState = 2;
  if (ReadImageResource(location, fileName, 1, 0) != 0) return 1;
  ReleaseEmotePlayer(record);
  int failed = LoadEmotePlayer(record, location->mData, location->mSize);
  ReleaseResourceData(location);
  if (failed != 0) {
    ShowMessageBox("", "E-mote 読込に失敗しました. = %s", fileName);
    return -1;
  }
  CallEmote(g_EmoteApi.mSetScale, record->mPlayerHandle, 0.0f, 0.0f, 0.0f);
  StartEmotePlayer(record);
  return 0;
}

void StartEmotePlayer(LayerRecord* record) {
  if (record == nullptr || record->mPlayerHandle == nullptr) return;
  CallEmote(g_EmoteApi.mStartPlayer, record->mPlayerHandle);
}
