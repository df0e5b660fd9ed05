#pragma once
// The sound commands' own routines: node deletion and the level readers.
#include <cstdint>

struct ObjectTreeNode;
struct SoundRecord;

// Stops the node (waiting for it while the sound thread runs), takes it out
// of the tree, clears the requests that still name it and frees it.
void DeleteSoundNode(ObjectTreeNode* node);
void DeleteSoundChildren(ObjectTreeNode* group);
void DeleteSoundGroup(ObjectTreeNode* group);

// The first and the second sample of the frame at the play cursor as a
// level 0..32768; -1 without a buffer or for a format they do not read.
int32_t GetSoundLevel(SoundRecord* record);
int32_t GetSoundLevelSecond(SoundRecord* record);
