#include "movie/emote.h"

#include "core/errors.h"

uint8_t g_EmoteEnabled = 0;
void* g_EmoteDriver = nullptr;
LayerRecord* g_EmotePlayers[kEmotePlayerSlots];
float g_EmotePendingTime[kEmotePlayerSlots];

int LoadEmoteDlls() {
  // No runtime on this platform: nothing is bound and E-mote stays off.
  g_EmoteEnabled = 0;
  return 0;
}

void ReleaseEmoteDlls() { g_EmoteEnabled = 0; }

int InitEmoteDriver() {
  ReleaseAllEmotePlayers();
  return g_EmoteDriver == nullptr ? 1 : 0;
}

int LoadEmotePlayer(LayerRecord*, const void*, size_t) {
  ShowMessageBox("", "EmotePlayer読み込みに失敗しました.");
  return 1;
}

void ReleaseEmotePlayer(LayerRecord* record) {
  for (int slot = 0; slot < kEmotePlayerSlots; ++slot) {
    if (g_EmotePlayers[slot] == record) {
      g_EmotePlayers[slot] = nullptr;
      g_EmotePendingTime[slot] = 0;
    }
  }
}

void ReleaseAllEmotePlayers() {
  for (int slot = 0; slot < kEmotePlayerSlots; ++slot) {
    if (g_EmotePlayers[slot] != nullptr) ReleaseEmotePlayer(g_EmotePlayers[slot]);
  }
  g_EmoteDriver = nullptr;
}

bool IsEmoteAnimating() {
  // Players answer through the runtime; without it there are none.
  return false;
}

void AdvanceEmotePlayer(int slot, float) {
  if (slot >= 0 && slot < kEmotePlayerSlots) g_EmotePendingTime[slot] = 0;
}
