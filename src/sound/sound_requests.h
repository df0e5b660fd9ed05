#pragma once
// The handlers of the request codes 1..14: each takes its slot and returns
// < 0 (a fatal error code), 0 (retry at the next poll) or > 0 (done).
#include <cstdint>

using SoundRequestHandler = int32_t (*)(int32_t slot);
// Indexed by request code; entry 0 is null.
extern const SoundRequestHandler g_SoundRequestHandlers[15];

int32_t RunSoundLoad(int32_t slot);
int32_t RunSoundPlay(int32_t slot);
int32_t RunSoundPause(int32_t slot);
int32_t RunSoundFadeOut(int32_t slot);
int32_t RunSoundSetVolume(int32_t slot);
int32_t RunSoundSetFadeTarget(int32_t slot);
int32_t RunSoundSetLoopCount(int32_t slot);
int32_t RunSoundSetEnd(int32_t slot);
int32_t RunSoundSetStart(int32_t slot);
int32_t RunSoundSetLoopBack(int32_t slot);
int32_t RunSoundSetPan(int32_t slot);
int32_t RunSoundSetFrequency(int32_t slot);
int32_t RunSoundNop(int32_t slot);
int32_t RunSoundStop(int32_t slot);
