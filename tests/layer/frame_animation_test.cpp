#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "core/errors.h"
#include "core/object_tree.h"
#include "image/pixel_buffers.h"
#include "layer/frame_animation.h"
#include "layer/layer_record.h"
#include "script/variables.h"
#include "support/frame_animation_builder.h"
#include "support/image_fixtures.h"
#include "support/script_assembler.h"
#include "support/script_runner.h"

namespace {

// A JPEG of a smooth pattern, colour (3 components) or grey (1).
std::vector<uint8_t> PatternJpeg(int width, int height, int components, int seed) {
  std::vector<uint8_t> samples;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < components; ++c) samples.push_back(static_cast<uint8_t>(seed * 37 + x * 9 + y * 5 + c * 60));
    }
  }
  return WriteJpeg(width, height, components, samples, 95);
}

// libjpeg's own decode of a JPEG: its samples, sides and components.
struct Decoded {
  int mWidth = 0, mHeight = 0, mComponents = 0;
  std::vector<uint8_t> mSamples;
};
Decoded DecodeReference(const std::vector<uint8_t>& jpeg) {
  Decoded out;
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  out.mWidth = static_cast<int>(info.output_width);
  out.mHeight = static_cast<int>(info.output_height);
  out.mComponents = info.output_components;
  out.mSamples.resize(static_cast<size_t>(out.mWidth) * out.mHeight * out.mComponents);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = &out.mSamples[static_cast<size_t>(info.output_scanline) * out.mWidth * out.mComponents];
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return out;
}

// The pixels a frame shows: B, G, R from the colour JPEG's R, G, B, alpha
// from the grey alpha JPEG when given, else 255.
std::vector<uint8_t> ExpectedFrame(const FrameAnimationFrame& frame, bool applyAlpha) {
  Decoded colour = DecodeReference(frame.mColour);
  std::vector<uint8_t> pixels;
  Decoded alpha;
  if (applyAlpha) alpha = DecodeReference(frame.mAlpha);
  for (int i = 0; i < colour.mWidth * colour.mHeight; ++i) {
    pixels.push_back(colour.mSamples[i * 3 + 2]);
    pixels.push_back(colour.mSamples[i * 3 + 1]);
    pixels.push_back(colour.mSamples[i * 3]);
    pixels.push_back(applyAlpha ? alpha.mSamples[i] : 255);
  }
  return pixels;
}

// 104010 and 100010 have built-in texts: the last report is compared whole
// (after any script location).
bool LastReportEndsWith(MessageId id, const std::vector<std::string>& arguments) {
  std::string expected = ExpectedReport(id, arguments);
  return g_LastErrorText.size() >= expected.size() &&
         g_LastErrorText.compare(g_LastErrorText.size() - expected.size(), expected.size(), expected) == 0;
}
bool ReportedUnreadable(const std::string& name) { return LastReportEndsWith(kMsgCannotReadFile, {name}); }

std::vector<uint8_t> Shown(const LayerRecord* record) {
  return std::vector<uint8_t>(record->mPixels,
                              record->mPixels + static_cast<size_t>(record->mWidth) * record->mHeight * 4);
}

class FrameAnimationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    code.Op("wait", {{"frames", Num(1)}});
    mGame.Add(code);
    ASSERT_TRUE(mGame.Load());
    mNode = CreateTreeNode(g_LayerRoot, "W0/pic", 1, 0);
    ASSERT_NE(mNode, nullptr);
    mRecord = GetLayerRecord(mNode);
    ASSERT_NE(mRecord, nullptr);
  }
  void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    mGame.mEnv.Write(GameFile{name, Bytes(bytes.begin(), bytes.end())});
  }
  // Three frames: 4x3, 4x3 and 6x2, each with a grey alpha JPEG of its size.
  FrameAnimationFixture ThreeFrames() {
    FrameAnimationFixture fixture;
    fixture.mAlphaFlag = 1;
    fixture.mValues[0] = 11;
    fixture.mValues[1] = -22;
    fixture.mValues[2] = 33;
    const int sides[3][2] = {{4, 3}, {4, 3}, {6, 2}};
    for (int i = 0; i < 3; ++i) {
      fixture.mFrames.push_back(
          {PatternJpeg(sides[i][0], sides[i][1], 3, i + 1), PatternJpeg(sides[i][0], sides[i][1], 1, i + 7)});
    }
    return fixture;
  }

  ScriptRunner mGame;
  ObjectTreeNode* mNode = nullptr;
  LayerRecord* mRecord = nullptr;
};

TEST_F(FrameAnimationTest, FramesShowInAnyOrderWithTheirAlphaAndClampedNumbers) {
  FrameAnimationFixture fixture = ThreeFrames();
  WriteFile("anim.dat", WriteFrameAnimation(fixture));
  ASSERT_EQ(LoadFrameAnimation(mNode, "anim.dat"), 0);
  ASSERT_NE(mRecord->mFrameAnimation, nullptr);
  EXPECT_EQ(mRecord->mFrameAnimation->mFrameCount, 3);
  struct Step {
    int64_t mAsked;
    int mShown;
  };
  for (Step step : {Step{2, 2}, Step{0, 0}, Step{1, 1}, Step{-5, 0}, Step{99, 2}, Step{1, 1}}) {
    SCOPED_TRACE(step.mAsked);
    ShowAnimationFrame(mNode, step.mAsked);
    const FrameAnimationFrame& frame = fixture.mFrames[step.mShown];
    Decoded colour = DecodeReference(frame.mColour);
    // A frame of another size resizes the layer to it.
    EXPECT_EQ(mRecord->mWidth, colour.mWidth);
    EXPECT_EQ(mRecord->mHeight, colour.mHeight);
    EXPECT_EQ(mRecord->mHasAlpha, 1);
    EXPECT_EQ(Shown(mRecord), ExpectedFrame(frame, true));
  }
  EXPECT_EQ(g_LastErrorText, "");
}

TEST_F(FrameAnimationTest, WithoutTheAlphaFlagFramesAreOpaqueAndTheLayerLosesItsAlpha) {
  FrameAnimationFixture fixture;
  fixture.mFrames.push_back({PatternJpeg(5, 4, 3, 2), {}});
  WriteFile("anim.dat", WriteFrameAnimation(fixture));
  mRecord->mHasAlpha = 1;
  ASSERT_EQ(LoadFrameAnimation(mNode, "anim.dat"), 0);
  ShowAnimationFrame(mNode, 0);
  EXPECT_EQ(mRecord->mHasAlpha, 0);
  EXPECT_EQ(Shown(mRecord), ExpectedFrame(fixture.mFrames[0], false));
}

TEST_F(FrameAnimationTest, GreyColourFramesAndMismatchedAlphaFrames) {
  FrameAnimationFixture fixture;
  fixture.mAlphaFlag = 1;
  // A grey colour frame: each byte in B, G and R.
  fixture.mFrames.push_back({PatternJpeg(4, 2, 1, 3), PatternJpeg(4, 2, 1, 4)});
  // An alpha frame of another size than its colour frame is not applied.
  fixture.mFrames.push_back({PatternJpeg(4, 2, 3, 5), PatternJpeg(8, 8, 1, 6)});
  // A colour alpha frame is not applied either.
  fixture.mFrames.push_back({PatternJpeg(4, 2, 3, 5), PatternJpeg(4, 2, 3, 6)});
  WriteFile("anim.dat", WriteFrameAnimation(fixture));
  ASSERT_EQ(LoadFrameAnimation(mNode, "anim.dat"), 0);

  ShowAnimationFrame(mNode, 0);
  Decoded grey = DecodeReference(fixture.mFrames[0].mColour);
  Decoded alpha = DecodeReference(fixture.mFrames[0].mAlpha);
  for (int i = 0; i < 8; ++i) {
    uint8_t g = grey.mSamples[i];
    EXPECT_EQ(mRecord->mPixels[i * 4], g);
    EXPECT_EQ(mRecord->mPixels[i * 4 + 1], g);
    EXPECT_EQ(mRecord->mPixels[i * 4 + 2], g);
    EXPECT_EQ(mRecord->mPixels[i * 4 + 3], alpha.mSamples[i]);
  }
  for (int frame : {1, 2}) {
    ShowAnimationFrame(mNode, frame);
    EXPECT_EQ(mRecord->mWidth, 4);
    EXPECT_EQ(Shown(mRecord), ExpectedFrame(fixture.mFrames[frame], false)) << frame;
  }
}

TEST_F(FrameAnimationTest, FrameWiderThanAnImageMayBeIsRefusedAndTheLayerKept) {
  FrameAnimationFixture fixture;
  fixture.mFrames.push_back({PatternJpeg(3, 2, 3, 1), {}});
  fixture.mFrames.push_back({PatternJpeg(8200, 1, 1, 2), {}});
  WriteFile("anim.dat", WriteFrameAnimation(fixture));
  ASSERT_EQ(LoadFrameAnimation(mNode, "anim.dat"), 0);
  ShowAnimationFrame(mNode, 0);
  std::vector<uint8_t> before = Shown(mRecord);
  ShowAnimationFrame(mNode, 1);
  ASSERT_FALSE(mGame.mEnv.mDialogs.mBoxes.empty());
  EXPECT_EQ(mGame.mEnv.mDialogs.mBoxes.back().mText, "ＣＧサイズが大きすぎます。X=8200, Y=1");
  EXPECT_TRUE(LastReportEndsWith(kMsgOutOfMemory, {})) << g_LastErrorText;
  EXPECT_EQ(mRecord->mWidth, 3);
  EXPECT_EQ(Shown(mRecord), before);
}

TEST_F(FrameAnimationTest, FramesAreStoredScrambledAndUnscrambledOnceAtLoad) {
  FrameAnimationFixture fixture = ThreeFrames();
  std::vector<uint8_t> file = WriteFrameAnimation(fixture);
  for (int i = 0; i < 3; ++i) {
    const std::vector<uint8_t>& colour = fixture.mFrames[i].mColour;
    size_t offset = static_cast<size_t>(FrameAnimationFrameOffset(fixture, i));
    // Stored scrambled: position p of each stream XOR the value p % 16.
    for (size_t p = 0; p < colour.size(); ++p) {
      ASSERT_EQ(file[offset + p], colour[p] ^ kFrameAnimationScramble[p % 16]) << p;
    }
  }
  // The engine's routine undoes the builder's scrambling, and is its own inverse.
  std::vector<uint8_t> stream = fixture.mFrames[1].mAlpha;
  std::vector<uint8_t> original = stream;
  ScrambleFrameStream(stream.data(), stream.size());
  EXPECT_NE(stream, original);
  ScrambleFrameStream(stream.data(), stream.size());
  EXPECT_EQ(stream, original);

  WriteFile("anim.dat", file);
  ASSERT_EQ(LoadFrameAnimation(mNode, "anim.dat"), 0);
  const FrameAnimation* animation = mRecord->mFrameAnimation;
  ASSERT_NE(animation, nullptr);
  for (int i = 0; i < 3; ++i) {
    const FrameAnimationFrame& frame = fixture.mFrames[i];
    const uint8_t* at = animation->mFileImage + FrameAnimationFrameOffset(fixture, i);
    EXPECT_EQ(0, std::memcmp(at, frame.mColour.data(), frame.mColour.size())) << i;
    EXPECT_EQ(0, std::memcmp(at + frame.mColour.size(), frame.mAlpha.data(), frame.mAlpha.size())) << i;
  }
  EXPECT_EQ(animation->mHeaderValues[1], -22);
}

TEST_F(FrameAnimationTest, DamagedFilesAreRefusedWithTheFileMessage) {
  struct Case {
    const char* mName;
    std::function<void(FrameAnimationFixture&)> mChange;
    std::function<void(std::vector<uint8_t>&)> mChangeBytes;
  };
  const Case cases[] = {
      {"no frames", [](FrameAnimationFixture& f) { f.mCount = 0; }, nullptr},
      {"negative count", [](FrameAnimationFixture& f) { f.mCount = -1; }, nullptr},
      {"tables past the end", [](FrameAnimationFixture& f) { f.mCount = 1000000; }, nullptr},
      {"count with tables of 2^34 bytes", [](FrameAnimationFixture& f) { f.mCount = 0x7FFFFFFF; }, nullptr},
      {"offset past the end", [](FrameAnimationFixture& f) { f.mOffsets[2] = 1 << 30; }, nullptr},
      {"negative offset", [](FrameAnimationFixture& f) { f.mOffsets[0] = -8; }, nullptr},
      {"offset inside the tables", [](FrameAnimationFixture& f) { f.mOffsets[0] = 20; }, nullptr},
      {"colour size past the end", [](FrameAnimationFixture& f) { f.mColourSizes[2] += 1; }, nullptr},
      {"alpha size past the end", [](FrameAnimationFixture& f) { f.mAlphaSizes[2] = 0x7FFFFFFF; }, nullptr},
      {"sizes that wrap in 32 bits",
       [](FrameAnimationFixture& f) {
         f.mColourSizes[1] = 0x7FFFFFF0;
         f.mAlphaSizes[1] = 0x7FFFFFF0;
       },
       nullptr},
      {"shorter than the header", nullptr, [](std::vector<uint8_t>& b) { b.resize(20); }},
      {"truncated last frame", nullptr, [](std::vector<uint8_t>& b) { b.pop_back(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mName);
    FrameAnimationFixture fixture = ThreeFrames();
    if (c.mChange) {
      // The true sizes first, so that "+= 1" changes the true value.
      for (int i = 0; i < 3; ++i) {
        if (!fixture.mColourSizes.count(i)) fixture.mColourSizes[i] = static_cast<int32_t>(fixture.mFrames[i].mColour.size());
      }
      c.mChange(fixture);
    }
    std::vector<uint8_t> file = WriteFrameAnimation(fixture);
    if (c.mChangeBytes) c.mChangeBytes(file);
    WriteFile("bad.dat", file);
    g_LastErrorText.clear();
    EXPECT_EQ(LoadFrameAnimation(mNode, "bad.dat"), -1);
    EXPECT_TRUE(ReportedUnreadable("bad.dat"));
    EXPECT_EQ(mRecord->mFrameAnimation, nullptr);
  }
}

TEST_F(FrameAnimationTest, MissingFileIsReportedThenRefused) {
  EXPECT_EQ(LoadFrameAnimation(mNode, "none.dat"), -1);
  EXPECT_TRUE(ReportedUnreadable("none.dat"));
  EXPECT_EQ(mRecord->mFrameAnimation, nullptr);
}

TEST_F(FrameAnimationTest, LoadingASecondFileReleasesTheFirst) {
  FrameAnimationFixture first = ThreeFrames();
  FrameAnimationFixture second;
  second.mFrames.push_back({PatternJpeg(2, 2, 3, 9), {}});
  WriteFile("one.dat", WriteFrameAnimation(first));
  WriteFile("two.dat", WriteFrameAnimation(second));
  ASSERT_EQ(LoadFrameAnimation(mNode, "one.dat"), 0);
  ASSERT_EQ(LoadFrameAnimation(mNode, "two.dat"), 0);
  ASSERT_NE(mRecord->mFrameAnimation, nullptr);
  EXPECT_EQ(mRecord->mFrameAnimation->mFrameCount, 1);
  ShowAnimationFrame(mNode, 2);
  EXPECT_EQ(Shown(mRecord), ExpectedFrame(second.mFrames[0], false));
}

// The three commands from a script: attach and show, query, release.
TEST(FrameAnimationCommands, AttachShowQueryAndRelease) {
  ScriptRunner game;
  FrameAnimationFixture fixture;
  fixture.mAlphaFlag = 1;
  fixture.mValues[0] = 5;
  fixture.mValues[1] = 6;
  fixture.mValues[2] = 7;
  fixture.mFrames.push_back({PatternJpeg(3, 3, 3, 1), PatternJpeg(3, 3, 1, 2)});
  fixture.mFrames.push_back({PatternJpeg(5, 2, 3, 3), PatternJpeg(5, 2, 1, 4)});
  std::vector<uint8_t> file = WriteFrameAnimation(fixture);
  game.mEnv.Write(GameFile{"anim\\walk.dat", Bytes(file.begin(), file.end())});

  auto out = [](int i) { return Elem(kRunIntArray, {Num(i / 4), Num(i % 4)}); };
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  code.Op("anim", {{"path", Str("pic")}, {"file", Str("ANIM/Walk.dat")}, {"frame", Num(1)}});
  code.Op("anim_query", {{"path", Str("pic")}, {"out", out(0)}, {"count", Num(1)}});
  code.Op("anim_query", {{"path", Str("pic")}, {"out", out(1)}, {"value1", Num(1)}, {"value3", Num(1)}});
  code.Op("anim_query", {{"path", Str("pic")}, {"out", out(2)}, {"value2", Num(1)}});
  code.Op("anim_query", {{"path", Str("pic")}, {"out", out(3)}, {"value3", Num(1)}});
  code.Op("anim_query", {{"path", Str("pic")}, {"out", Var(kRunReal)}, {"count", Num(1)}});
  code.Op("anim_release", {{"path", Str("pic")}});
  code.Op("anim_query", {{"path", Str("pic")}, {"out", out(4)}, {"count", Num(1)}});
  // Without a layer path the commands have nothing to act on.
  code.Op("anim", {{"frame", Num(0)}});
  code.Op("anim_query", {{"out", out(5)}, {"count", Num(1)}});
  code.Op("wait", {{"frames", Num(1)}});
  game.Add(code);
  ASSERT_TRUE(game.Load());
  SetNumberElement(kRunIntArray, 4, 99);
  SetNumberElement(kRunIntArray, 5, 99);
  ObjectTreeNode* node = CreateTreeNode(g_LayerRoot, "W0/pic", 1, 0);
  ASSERT_NE(node, nullptr);
  LayerRecord* record = GetLayerRecord(node);
  game.Frame();
  EXPECT_EQ(g_LastErrorText, "");
  EXPECT_EQ(IntVar(kRunIntArray, 0), 2);
  EXPECT_EQ(IntVar(kRunIntArray, 1), 5);
  EXPECT_EQ(IntVar(kRunIntArray, 2), 6);
  EXPECT_EQ(IntVar(kRunIntArray, 3), 7);
  EXPECT_EQ(RealVar(kRunReal), 2.0);
  EXPECT_EQ(IntVar(kRunIntArray, 4), 0);   // released: no animation answers 0
  EXPECT_EQ(IntVar(kRunIntArray, 5), 99);  // no layer: nothing written
  EXPECT_EQ(record->mFrameAnimation, nullptr);
  // Frame 1 was shown before the release.
  EXPECT_EQ(record->mWidth, 5);
  EXPECT_EQ(record->mHeight, 2);
  EXPECT_EQ(Shown(record), ExpectedFrame(fixture.mFrames[1], true));
}

TEST(FrameAnimationCommands, MissingLayerAndTextOutputAreFatal) {
  struct Case {
    const char* mName;
    std::vector<Arg> mArgs;
    const char* mOp;
    MessageId mReport;
  };
  const Case cases[] = {
      {"attach to a missing layer", {{"path", Str("nothing")}, {"frame", Num(0)}}, "anim", kMsgShareSourceMissing},
      {"release a missing layer", {{"path", Str("nothing")}}, "anim_release", kMsgShareSourceMissing},
      {"query a missing layer", {{"path", Str("nothing")}, {"out", Var(kRunInt)}, {"count", Num(1)}}, "anim_query",
       kMsgShareSourceMissing},
      {"text output without animation", {{"path", Str("pic")}, {"out", Var(kRunText)}, {"count", Num(1)}},
       "anim_query", kMsgElementTypeMismatch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mName);
    ScriptRunner game;
    ScriptAssembler code = game.Script(0);
    code.Label("SYSTEM_START");
    code.Op(c.mOp, c.mArgs);
    code.Op("wait", {{"frames", Num(1)}});
    game.Add(code);
    ASSERT_TRUE(game.Load());
    ASSERT_NE(CreateTreeNode(g_LayerRoot, "W0/pic", 1, 0), nullptr);
    game.Frame();
    EXPECT_TRUE(LastReportIs(c.mReport)) << LastReportTag();
  }
}

}  // namespace
