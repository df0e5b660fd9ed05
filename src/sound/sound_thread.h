#pragma once
// The sound thread: one poll every 3 ms while requests wait, 20 ms
// otherwise, that drains the request ring, moves the fades, tracks the play
// positions and loops, and refills the streaming buffers.
#include <cstdint>

struct ObjectTreeNode;

// The order key of the silent "ROOT" sound; its load builds a silent image.
constexpr int64_t SILENT_SOUND_KEY = 999999999;

// 1 while the poll holds the whole tree paused for an inactive game.
extern uint8_t g_SoundAutoPaused;

bool StartSoundThread();
// The sound tree's first node (the children of the sound root).
ObjectTreeNode* FirstSoundNode();
// The silent "ROOT" leaf under the sound root, played at volume 2 for the
// whole run. 0, or -1 when it cannot be made.
int CreateRootSound();

// One poll under g_GlobalLock (automatic pause, drain, fades, positions,
// buffers). 0 to go on; 1 when the quit flag ended it; a negative error
// code after the error box was shown and the quit flag set.
int32_t RunSoundPoll();
int32_t DrainSoundRequests();
int32_t UpdateSoundFades(ObjectTreeNode* chain);
int32_t TrackSoundPositions(ObjectTreeNode* chain);
int32_t ServiceSoundBuffers(ObjectTreeNode* chain);
// The error box of a failed poll (caption "DEBUG Message").
void ShowSoundErrorBox(int32_t code);
// The text of that box for a negative code.
const char* SoundErrorLine(int32_t code);
// Starts the silent play of a node: device volume 2 (scaled by a named
// parent), a group re-applies its subtree's volumes.
void SilenceSoundNode(ObjectTreeNode* node, int32_t volume);
// Back to the start: the thread joined (the caller set the quit flag), the
// ring freed, the flags cleared.
void ResetSoundThread();
