#pragma once
// Presentation of a window's composed frame on the window.
struct WindowObject;
struct LayerRecord;

// Puts the changed rectangle of the composed frame on the window, 1:1,
// letterboxed or scaled.
void PresentWindowFrame(WindowObject* window, LayerRecord* frame);
