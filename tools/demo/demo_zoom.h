#pragma once
// The demo's zoom: in the last scene a copy of the green character grows
// from its own size to twice that and fades in, made each frame by the image
// command's resize from the character's picture.
#include "support/script_assembler.h"
#include "support/script_data_builder.h"

// The frames the zoom has run (an integer variable).
constexpr int kDemoZoomVariable = 1020;
// The character's picture size and the point the zoomed copy is centred on.
constexpr int kDemoZoomBaseWidth = 70;
constexpr int kDemoZoomBaseHeight = 60;
constexpr int kDemoZoomCentreX = 150;
constexpr int kDemoZoomCentreY = 150;

void DefineDemoZoomVariable(ScriptData& data);
// Makes the (empty, transparent) layer the zoomed copy is drawn into.
void AddDemoZoomLayer(ScriptAssembler& code);
// One frame of the zoom: grow by a pixel, redraw the copy, fade it in.
void StepDemoZoom(ScriptAssembler& code);
