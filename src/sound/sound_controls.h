#pragma once
// Volume through the volume tree, pan and rate on a channel; pause, resume
// and release. Sound thread only, under g_GlobalLock; nothing reaches the
// device while there is none.
#include <cstdint>

struct ObjectTreeNode;
struct SoundRecord;

SoundRecord* SoundRecordOf(const ObjectTreeNode* node);
// A named node: not a tree root.
bool IsNamedSoundNode(const ObjectTreeNode* node);

// The attenuation of a volume 0..256 in hundredths of a decibel.
int32_t SoundVolumeAttenuation(int32_t volume);
// The attenuation of a pan 0..512 (negative: left side kept).
int32_t SoundPanAttenuation(int32_t pan);
// The rate of a factor 0..512 on a channel of `rate` frames per second.
uint32_t SoundFrequencyRate(int32_t factor, uint32_t rate);

void ApplySoundVolume(ObjectTreeNode* node, int32_t volume);
int32_t GetEffectiveVolume(const ObjectTreeNode* node);
int ApplyNodeVolume(ObjectTreeNode* node, int32_t volume);
int ApplyTreeVolumes(ObjectTreeNode* chain);
int ApplySoundPan(SoundRecord* record, int32_t pan);
int ApplySoundFrequency(SoundRecord* record, int32_t factor);

uint8_t IsSoundChainEnabled(const ObjectTreeNode* node);
uint8_t IsSoundChainPaused(const ObjectTreeNode* node);

int32_t PauseSoundNode(ObjectTreeNode* node, int32_t flag);
int32_t PauseSoundTree(ObjectTreeNode* chain, int32_t flag);
int32_t PauseOrResumeSound(ObjectTreeNode* node, int32_t flag);
int32_t PauseSound(ObjectTreeNode* node);
int32_t ResumeSound(ObjectTreeNode* node);

void FreeChannelBuffers(SoundRecord* record);
void ReleaseSoundChannel(SoundRecord* record);
// Every channel of the chain and its subtrees released.
void ReleaseSoundTree(ObjectTreeNode* chain);
