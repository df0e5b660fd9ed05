#pragma once
// The scalers of the resize operation that are not the presentation's:
// bicubic, the smooth scaler on the pixel workers and Lanczos-2. Blocks are
// 32-bit B, G, R, A pixels with a pitch of their width; every output pixel
// is written (a pixel whose source lies outside the image becomes 0).
#include <cstdint>

// Bicubic (cubic convolution, a = -1) of the source rectangle x0..x1, y0..y1
// (pixels, inclusive) of a W x H block into w x h.
void ResampleBicubic(uint8_t* out, const uint8_t* source, int64_t x0, int64_t y0, int64_t x1, int64_t y1,
                     int32_t sourceWidth, int32_t sourceHeight, int32_t width, int32_t height);

// The smooth scaler: rectangle and target size in hundredths of a pixel; the
// output is targetWidth/100 x targetHeight/100. Row bands go to the pixel
// workers (job 41); the result does not depend on how many there are.
void ScaleImageSmoothThreaded(uint8_t* out, const uint8_t* source, int64_t x0, int64_t y0, int64_t x1, int64_t y1,
                              int32_t sourceWidth, int32_t sourceHeight, int64_t targetWidth, int64_t targetHeight);

// Lanczos-2 of the whole W x H source into w x h, horizontally then
// vertically through a w x H work block.
void ResampleLanczos(uint8_t* out, const uint8_t* source, int32_t sourceWidth, int32_t sourceHeight, int32_t width,
                     int32_t height);
double LanczosKernel(double x);
double Sinc(double x);

// The bicubic kernel table K[0..512] (built on first use).
const int32_t* BicubicKernelTable();

// Forgets the tables built on first use.
void ResetResampleState();
