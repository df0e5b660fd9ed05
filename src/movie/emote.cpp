#include "movie/emote.h"

#include <cstdint>

#include "core/errors.h"
#include "layer/layer_record.h"
#include "render/direct3d.h"

EmoteApi g_EmoteApi{};
uint8_t g_EmoteEnabled = 0;
void* g_EmoteDriver = nullptr;
LayerRecord* g_EmotePlayers[kEmotePlayerSlots];
float g_EmotePendingTime[kEmotePlayerSlots];

namespace {

// The three values every new player starts with.
constexpr float kPlayerStartValue = 0.5f;

int FindFreeSlot() { return FindEmoteSlot(nullptr); }

}  // namespace

int LoadEmoteDlls() {
  // No runtime on this platform: nothing is bound and E-mote stays off.
  g_EmoteApi = EmoteApi{};
  g_EmoteEnabled = 0;
  return 0;
}

void ReleaseEmoteDlls() {
  g_EmoteApi = EmoteApi{};
  g_EmoteEnabled = 0;
}

int FindEmoteSlot(const LayerRecord* record) {
  for (int slot = 0; slot < kEmotePlayerSlots; ++slot) {
    if (g_EmotePlayers[slot] == record) return slot;
  }
  return -1;
}

int InitEmoteDriver() {
  ReleaseAllEmotePlayers();
  if (g_EmoteDriver == nullptr && g_EmoteApi.mCreateDriver != nullptr) {
    EmoteDriverParams params{g_pD3DDevice, nullptr, nullptr};
    g_EmoteDriver = g_EmoteApi.mCreateDriver(&params);
    if (g_EmoteDriver != nullptr) CallEmote(g_EmoteApi.mStartDriver, g_EmoteDriver, 0);
  }
  return g_EmoteDriver == nullptr ? 1 : 0;
}

int LoadEmotePlayer(LayerRecord* record, const void* data, size_t size) {
  if (record == nullptr) return 1;
  if (record->mPlayerHandle != nullptr) {
    ShowMessageBox("", "EmotePlayerがすでに読み込まれています.");
    return 1;
  }
  // The slot is looked for before the runtime makes the player: a player
  // made without a slot would be attached to the layer but never drawn,
  // advanced or released with the others.
  int slot = FindFreeSlot();
  if (slot < 0) {
    ShowMessageBox("", "EmotePlayer最大読込数をオーバーしました.");
    return 1;
  }
  void* player = nullptr;
  // Without a driver (or with a model the runtime's size word cannot carry)
  // there is nothing to make the player with.
  if (g_EmoteApi.mCreatePlayer != nullptr && g_EmoteDriver != nullptr && data != nullptr && size <= UINT32_MAX) {
    g_EmoteApi.mCreatePlayer(g_EmoteDriver, data, static_cast<uint32_t>(size), &player);
  }
  if (player == nullptr) {
    ShowMessageBox("", "EmotePlayer読み込みに失敗しました.");
    return 1;
  }
  g_EmotePlayers[slot] = record;
  g_EmotePendingTime[slot] = 0;
  record->mPlayerHandle = player;
  record->mGpuState = 2;
  CallEmote(g_EmoteApi.mSetValue214, player, kPlayerStartValue);
  CallEmote(g_EmoteApi.mSetValue218, player, kPlayerStartValue);
  CallEmote(g_EmoteApi.mSetValue216, player, kPlayerStartValue);
  return 0;
}

void ReleaseEmotePlayer(LayerRecord* record) {
  if (record == nullptr) return;
  for (int slot = 0; slot < kEmotePlayerSlots; ++slot) {
    if (g_EmotePlayers[slot] == record) {
      g_EmotePlayers[slot] = nullptr;
      g_EmotePendingTime[slot] = 0;
    }
  }
  if (record->mPlayerHandle != nullptr) CallEmote(g_EmoteApi.mDestroyPlayer, record->mPlayerHandle);
  record->mPlayerHandle = nullptr;
  record->mGpuState = 0;
}

void ReleaseAllEmotePlayers() {
  for (LayerRecord* record : g_EmotePlayers) {
    if (record != nullptr) ReleaseEmotePlayer(record);
  }
  if (g_EmoteDriver != nullptr) CallEmote(g_EmoteApi.mDestroyDriver, g_EmoteDriver);
  g_EmoteDriver = nullptr;
}

bool IsEmoteAnimating() {
  for (LayerRecord* record : g_EmotePlayers) {
    if (record == nullptr || record->mPlayerHandle == nullptr) continue;
    void* player = record->mPlayerHandle;
    if (CallEmote(g_EmoteApi.mIsAnimating, player) == 1) return true;
    if (CallEmote(g_EmoteApi.mIsTimelinePlaying, player, "") == 1) return true;
  }
  return false;
}

void AdvanceEmotePlayer(LayerRecord* record, float milliseconds) {
  if (record == nullptr || record->mPlayerHandle == nullptr) return;
  // The runtime counts time in frames of 1/60 s.
  CallEmote(g_EmoteApi.mProgress, record->mPlayerHandle, milliseconds * 0.06f);
}
