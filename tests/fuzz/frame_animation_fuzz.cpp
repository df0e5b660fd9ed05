// Fuzz target of the frame-animation loader: the input is the animation
// file, handed over from memory, attached to a layer and shown frame by
// frame (the first frames, the last and two past either end).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/errors.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "datasrc/resource_lookup.h"
#include "fuzz/fuzz_harness.h"
#include "fuzz/fuzz_limits.h"
#include "image/pixel_primitives.h"
#include "layer/frame_animation.h"
#include "layer/layer_record.h"
#include "support/frame_animation_builder.h"
#include "support/image_fixtures.h"

namespace {

void WriteSeeds() {
  std::vector<uint8_t> grey(4 * 3, 0x40);
  std::vector<uint8_t> colour(4 * 3 * 3, 0x90);
  FrameAnimationFixture fixture;
  fixture.mAlphaFlag = 1;
  fixture.mFrames.push_back({WriteJpeg(4, 3, 3, colour, 80), WriteJpeg(4, 3, 1, grey, 80)});
  fixture.mFrames.push_back({WriteJpeg(2, 2, 1, std::vector<uint8_t>(4, 9), 80), WriteJpeg(4, 3, 1, grey, 80)});
  fuzz::WriteSeed("frame_animation.seed", WriteFrameAnimation(fixture));
}

// Every frame's JPEGs within the fuzzing cap (the file is checked and
// unscrambled on a copy first).
bool FramesWithinCap(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);
  FrameAnimation animation{};
  if (!ParseFrameAnimation(copy.data(), copy.size(), &animation)) return true;
  UnscrambleFrameAnimation(&animation);
  for (int32_t i = 0; i < animation.mFrameCount; ++i) {
    auto at = [&](const uint8_t* table) {
      const uint8_t* p = table + static_cast<size_t>(i) * 4;
      return static_cast<size_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
    };
    size_t offset = at(animation.mOffsets);
    size_t colour = at(animation.mColourSizes);
    size_t alpha = at(animation.mAlphaSizes);
    if (!fuzz::ImageWithinCap(FILE_TYPE_JPG, copy.data() + offset, colour)) return false;
    if (!fuzz::ImageWithinCap(FILE_TYPE_JPG, copy.data() + offset + colour, alpha)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    ready = true;
    fuzz::SetUpOnce();
    InitPixelPrimitives();
    WriteSeeds();
  }
  if (!FramesWithinCap(data, size)) return -1;
  CreateObjectTrees();
  ObjectTreeNode* node = CreateTreeNode(g_LayerRoot, "W0/anim", 1, 0);
  if (node == nullptr) std::abort();
  fuzz::HandOver("fuzz.dat", data, size);
  if (LoadFrameAnimation(node, "fuzz.dat") == 0) {
    const FrameAnimation* animation = GetLayerRecord(node)->mFrameAnimation;
    int64_t count = animation != nullptr ? animation->mFrameCount : 0;
    for (int64_t frame : {int64_t{-1}, int64_t{0}, int64_t{1}, count - 1, count}) ShowAnimationFrame(node, frame);
  }
  ResetErrorReporting();
  g_QuitFlag.store(0);
  fuzz::TakeBack();
  fuzz::Reset();
  return 0;
}
