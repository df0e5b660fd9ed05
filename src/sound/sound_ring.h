#pragma once
// The request ring from the script commands to the sound thread: 1024 slots
// in parallel arrays, guarded by g_GlobalLock. One slot always stays free,
// so a full ring never looks empty.
#include <cstdint>

struct ObjectTreeNode;
struct SoundRecord;

constexpr int32_t kSoundRingSlots = 1024;
// A slot's name holds a resolved file name with its terminator.
constexpr int32_t kSoundRequestNameBytes = 261;

enum : uint8_t {
  SOUND_REQ_LOAD = 1,
  SOUND_REQ_PLAY = 2,
  SOUND_REQ_PAUSE = 3,
  SOUND_REQ_FADE_OUT = 4,
  SOUND_REQ_SET_VOLUME = 5,
  SOUND_REQ_SET_FADE_TARGET = 6,
  SOUND_REQ_SET_LOOPS = 7,
  SOUND_REQ_SET_END = 8,
  SOUND_REQ_SET_START = 9,
  SOUND_REQ_SET_LOOP_BACK = 10,
  SOUND_REQ_SET_PAN = 11,
  SOUND_REQ_SET_FREQUENCY = 12,
  SOUND_REQ_NOP = 13,
  SOUND_REQ_STOP = 14,
};

extern ObjectTreeNode** g_SoundRequestNodes;
extern uint8_t* g_SoundRequestCodes;
extern char (*g_SoundRequestNames)[kSoundRequestNameBytes];
extern int32_t* g_SoundRequestParams;
extern int32_t* g_SoundRequestDone;
extern int32_t g_SoundRequestRead;
extern int32_t g_SoundRequestWrite;

// Allocates the arrays once; both indices 0. False without memory.
bool InitSoundRequestRing();
void ReleaseSoundRequestRing();
// True while requests wait (under the lock or from the sound thread).
bool SoundRequestsPending();

// Appends a request under g_GlobalLock; name is copied (bounded) for the
// load request. A full ring reports 110200 (not fatal) and the poster waits
// for a free slot while the sound thread runs. The slot index, or -1 when
// the request could not be placed.
int32_t PostSoundRequest(ObjectTreeNode* node, uint8_t code, int32_t parameter, const char* name = nullptr);
// Waits (1 ms sleeps, without the lock) for the slot's done flag; ends early
// when the quit flag is set or the sound thread is not running. True when
// the request was handled.
bool WaitForSoundRequest(int32_t slot);
// Waits the same way until the record is idle.
bool WaitForSoundIdle(const SoundRecord* record);
// True while the sound thread runs and the quit flag is clear.
bool SoundThreadAnswers();
// Empties every pending slot that names node or a node below it (the node is
// about to be freed); the slots are marked done. Takes g_GlobalLock.
void ClearSoundRequestsFor(const ObjectTreeNode* node);
