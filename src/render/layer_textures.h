#pragma once
// The GPU texture tiles of layer records.
struct LayerRecord;
struct LayerTexture;

// Releases every texture tile of the record and clears all entries.
void ReleaseLayerTextures(LayerRecord* record);
