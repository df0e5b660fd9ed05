#pragma once
// The GPU texture tiles of layer records.
struct LayerRecord;
struct LayerTexture;

// Releases every texture tile of the record and clears all entries.
void ReleaseLayerTextures(LayerRecord* record);
// Builds the record's texture tiles from its pixels with the flag and the
// tile size limits. 0, or -1 after a report.
int UploadLayerTexture(LayerRecord* record, int flag, int tileLimitX, int tileLimitY);
