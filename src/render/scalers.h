#pragma once
// The processor scalers of frame presentation (and of the image-resize
// command). Pixels are 32-bit B, G, R, A; rows top-down; the source pitch is
// srcWidth pixels, the destination pitch its width in pixels. Every scaler
// writes every destination pixel: a pixel whose source position falls outside
// the source bounds becomes 0 in all four bytes.
#include <cstdint>

struct WorkerJob;

// The widest and tallest destination the position tables serve.
constexpr int32_t kScalerMaxSide = 8192;

// Nearest neighbour over the source span (x0, y0)-(x1, y1), inclusive pixels,
// into dstWidth x dstHeight pixels; rows spread over the pixel workers.
void ScaleImageNearestParallel(uint8_t* dst, const uint8_t* src, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                               int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight);

// Bilinear over the span (x0, y0)-(x1, y1) in hundredths of a source pixel,
// into dstWidth100 / 100 x dstHeight100 / 100 pixels (sizes in hundredths).
// The first destination column and row land on x0, y0 and the last on x1, y1.
void ScaleImageBilinear(uint8_t* dst, const uint8_t* src, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                        int32_t srcWidth, int32_t srcHeight, int32_t dstWidth100, int32_t dstHeight100);
// The same on the pixel workers, with the workers' rounding (each byte may
// differ by one from ScaleImageBilinear).
void ScaleImageBilinearParallel(uint8_t* dst, const uint8_t* src, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                int32_t srcWidth, int32_t srcHeight, int32_t dstWidth100, int32_t dstHeight100);
// ScaleImageBilinear with tables of its own, for the main thread while the
// frame step (which uses the shared tables) sleeps in its pacing wait.
void ScaleImageBilinearFrameThread(uint8_t* dst, const uint8_t* src, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                   int32_t srcWidth, int32_t srcHeight, int32_t dstWidth100, int32_t dstHeight100);

// The weight remap of the horizontal bilinear weights.
uint8_t GetBilinearWeightRemap(int weight);

// The worker jobs of the parallel scalers (codes 11 and 21); 0 done, 1 the
// job words describe no valid scale (nothing written).
int32_t RunScaleNearestJob(const WorkerJob& job);
int32_t RunScaleBilinearJob(const WorkerJob& job);

// Forgets the tables (they are rebuilt on the next call).
void ResetScalerTables();
