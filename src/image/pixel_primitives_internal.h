#pragma once
// Shared between the plain and the vectorised primitive sets.
#include <cstddef>
#include <cstdint>

#include "image/pixel_primitives.h"

// Routines that both sets run as plain code.
void RefAlphaOverRow(uint8_t* dst, const uint8_t* src, size_t n);
void RefAlphaOverRowSourceOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n);
void RefAlphaOverRowDestOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n);
void RefAlphaOverRowBothOpacity(uint8_t* dst, const uint8_t* src, int dstOpacity, int srcOpacity, size_t n);
// Slots 22 to 25 with prepared reciprocal tables instead of divisions.
void TableAlphaOverRow(uint8_t* dst, const uint8_t* src, size_t n);
void TableAlphaOverRowSourceOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n);
void TableAlphaOverRowDestOpacity(uint8_t* dst, const uint8_t* src, int o, size_t n);
void TableAlphaOverRowBothOpacity(uint8_t* dst, const uint8_t* src, int dstOpacity, int srcOpacity, size_t n);
// Slot 7 at level 1 (and at levels 2 and 3 with softness 256): the table
// weight of each mask pixel's blue byte.
void RefRuleWeightedLevel1(uint8_t* dst, const uint8_t* src, const uint8_t* mask, size_t n);

// The vectorised set of a level; the plain set where the build has no SSE2.
// `width`: the widest vector loops the set runs, 16 (SSE2), 32 (also AVX2)
// or 64 (also AVX-512), each only where the processor has it.
const PixelPrimitiveTable& GetVectorPrimitives(int level, int width);

// The processor runs SSE2 (checked once, without waiting for the start-up's
// feature detection).
bool HaveSse2();
// The processor runs AVX2 (checked once).
bool HaveWideVectors();
// The processor runs AVX-512 with its byte, word and dword extensions
// (checked once).
bool HaveWidestVectors();
// The 32-byte block loop of the normal alpha rows (slots 5 and 6, o ignored
// for 5) from byte i up to `end`, block bytes only; returns where it stopped
// (end - i then below 32). Only called where HaveWideVectors().
size_t WideAlphaBlocks(int level, bool withOpacity, uint8_t* dst, const uint8_t* src, int o, size_t i, size_t end);
// The 32-byte loop of the add rows with alpha (slots 11 and 12, o 0..255
// for 12) over whole vectors from byte i; returns where it stopped.
size_t WideAddAlphaBlocks(int level, bool withOpacity, uint8_t* dst, const uint8_t* src, int o, size_t i, size_t n);
// The same two loops 64 bytes a step. Only called where HaveWidestVectors().
size_t WidestAlphaBlocks(int level, bool withOpacity, uint8_t* dst, const uint8_t* src, int o, size_t i, size_t end);
size_t WidestAddAlphaBlocks(int level, bool withOpacity, uint8_t* dst, const uint8_t* src, int o, size_t i,
                            size_t n);
