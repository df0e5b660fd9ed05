#pragma once
// The WebP codec binding.
void LoadWebpCodec();
void ReleaseWebpCodec();
