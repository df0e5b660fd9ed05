#pragma once
// The E-mote character runtime: its entry points, bound by ordinal, and the
// players that layers hold. The runtime exists only for Windows: here the
// binding always finds it absent, so E-mote and the GPU drawing it would
// switch on stay off. Tests fill g_EmoteApi with a test double of the runtime of their
// own and switch E-mote on directly.
#include <cstddef>
#include <cstdint>

struct LayerRecord;

constexpr int kEmotePlayerSlots = 128;

// What ordinal 2 receives: the drawing device and two unused words.
struct EmoteDriverParams {
  void* mDevice;
  void* mReserved1;
  void* mReserved2;
};

// The entry points the engine calls, by ordinal. A null entry is never
// called; the runtime binds all of them or none.
struct EmoteApi {
  void* (*mCreateDriver)(EmoteDriverParams* params);                            // 2
  void (*mDestroyDriver)(void* driver);                                         // 102
  void (*mStartDriver)(void* driver, int32_t zero);                             // 110
  void (*mCreatePlayer)(void* driver, const void* data, uint32_t size, void** player);  // 119
  void (*mDestroyPlayer)(void* player);                                         // 202
  void (*mStartPlayer)(void* player);                                           // 205
  void (*mSetValue214)(void* player, float value);                              // 214
  void (*mSetValue216)(void* player, float value);                              // 216
  void (*mSetValue218)(void* player, float value);                              // 218
  void (*mSetPosition)(void* player, float x, float y, float zero1, float zero2);  // 220
  void (*mSetScale)(void* player, float scale, float zero1, float zero2);      // 222
  void (*mSetRotation)(void* player, float radians, float zero1, float zero2);  // 224
  // A variable of the model reaches value over time (in 1/60 s units).
  void (*mSetVariable)(void* player, const char* name, float value, float time, float zero);  // 233
  void (*mCall235)(void* player, float v1, float v2, float v3, float v4, float v5);           // 235
  void (*mCall236)(void* player);                                               // 236
  // Name in UTF-8.
  void (*mPlayMotion)(void* player, const char* name, int32_t flags);           // 245
  // 1 while a timeline runs.
  uint8_t (*mIsTimelinePlaying)(void* player, const char* name);                // 246
  // Text in UTF-8.
  void (*mSendText)(void* player, const char* text);                            // 247
  void (*mCall253)(void* player);                                               // 253
  // Time in 1/60 s units (milliseconds x 0.06).
  void (*mProgress)(void* player, float time);                                  // 254
  // 1 while animating.
  uint8_t (*mIsAnimating)(void* player);                                        // 255
  // Draws into the device's render target with its transforms.
  void (*mRender)(void* player);                                                // 256
};

extern EmoteApi g_EmoteApi;

// Calls an entry point when it is bound; an unbound one answers 0.
template <typename Result, typename... Params, typename... Args>
Result CallEmote(Result (*entry)(Params...), Args... args) {
  if (entry == nullptr) return Result();
  return entry(args...);
}
extern uint8_t g_EmoteEnabled;
extern void* g_EmoteDriver;
// The record owning the player of each slot; null: free.
extern LayerRecord* g_EmotePlayers[kEmotePlayerSlots];
// Milliseconds each slot's player has not been given yet.
extern float g_EmotePendingTime[kEmotePlayerSlots];

// Looks for the runtime; 0 with E-mote left off when it is absent.
int LoadEmoteDlls();
// Unbinds the runtime: g_EmoteApi is emptied and E-mote is off.
void ReleaseEmoteDlls();
// Releases every player, then makes the driver on the GPU device
// (g_pD3DDevice). 0, or 1 when there is no driver.
int InitEmoteDriver();
// Makes the record's player from a model file in memory. 1 on failure (after
// its box), 0 when the player was made: the record then holds it in
// mPlayerHandle with mGpuState 2 and owns a slot.
int LoadEmotePlayer(LayerRecord* record, const void* data, size_t size);
// Frees the record's slot and player and clears its GPU state.
void ReleaseEmotePlayer(LayerRecord* record);
// Every player, then the driver.
void ReleaseAllEmotePlayers();
// True when some player animates or runs a timeline.
bool IsEmoteAnimating();
// Gives the record's player that many milliseconds; nothing without one.
void AdvanceEmotePlayer(LayerRecord* record, float milliseconds);
// The slot the record owns, or -1.
int FindEmoteSlot(const LayerRecord* record);
