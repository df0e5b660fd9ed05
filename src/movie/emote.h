#pragma once
// The E-mote character runtime. It exists only for Windows: here the binding
// always finds it absent, so E-mote and the Direct3D drawing it would switch
// on stay off.
#include <cstddef>
#include <cstdint>

struct LayerRecord;

constexpr int kEmotePlayerSlots = 128;

extern uint8_t g_EmoteEnabled;
extern void* g_EmoteDriver;
extern LayerRecord* g_EmotePlayers[kEmotePlayerSlots];
extern float g_EmotePendingTime[kEmotePlayerSlots];

// Looks for the runtime; 0 with E-mote left off when it is absent.
int LoadEmoteDlls();
void ReleaseEmoteDlls();
// 0, or 1 when there is no driver.
int InitEmoteDriver();
// 1 on failure (after its box), 0 when the player was made.
int LoadEmotePlayer(LayerRecord* record, const void* data, size_t size);
void ReleaseEmotePlayer(LayerRecord* record);
void ReleaseAllEmotePlayers();
bool IsEmoteAnimating();
void AdvanceEmotePlayer(int slot, float milliseconds);
