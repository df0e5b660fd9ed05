#pragma once
// The script command that steers the E-mote player a layer holds: motions,
// texts, the player's values and the model variables it moves over a time.
// The command itself (CmdEmoteControl) is declared with the other handlers.
#include <cstddef>
#include <string>

struct LayerRecord;

// The model variables of one use of the command: a name (Shift-JIS, as the
// script holds it) and the value to reach. The first entry without a name
// ends the list.
constexpr int kEmoteVariablePairs = 256;
struct EmoteVariablePair {
  const char* mName;
  float mValue;
};
extern EmoteVariablePair g_EmoteVariablePairs[kEmoteVariablePairs];

// The longest motion name and text handed on, terminator included; longer
// ones are cut on a character boundary.
constexpr size_t kEmoteMotionNameBytes = 512;
constexpr size_t kEmoteTextBytes = 508;

// The UTF-8 form of `length` bytes of Shift-JIS text.
std::string SjisToUtf8(const char* text, size_t length);
// Starts the motion of that name on the layer's player.
void PlayEmoteMotion(LayerRecord* layer, const char* name);
// Hands the layer's player a text.
void SendEmoteText(LayerRecord* layer, const char* text);
void CallEmotePlayer236(LayerRecord* layer);
// Empties the variable pairs.
void ResetEmoteControlState();
