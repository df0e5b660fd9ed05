// WAV files of the formats other programs write: made by sox (or, where sox
// cannot write the container, by libsndfile) and compared sample by sample
// with what sox itself decodes from the same file.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/object_tree.h"
#include "core/process_state.h"
#include "platform/wav_convert.h"
#include "sound/sound_record.h"
#include "sound/sound_ring.h"
#include "sound/sound_stream.h"
#include "sound/sound_thread.h"
#include "support/sound_fixtures.h"

namespace {

SoundRecord* Rec(ObjectTreeNode* node) { return static_cast<SoundRecord*>(node->mPayload); }

bool SoxInstalled() { return std::system("sox --version >/dev/null 2>&1") == 0; }

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void PutLe(std::vector<uint8_t>* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A WAV image of any format tag, with a "fmt " body of 16 bytes and the
// given extra bytes (an extra size of 0 when there are none).
std::vector<uint8_t> MakeTaggedWav(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                                   uint16_t blockAlign, const std::vector<uint8_t>& extra,
                                   const std::vector<uint8_t>& data) {
  std::vector<uint8_t> fmt;
  PutLe(&fmt, tag, 2);
  PutLe(&fmt, channels, 2);
  PutLe(&fmt, rate, 4);
  PutLe(&fmt, rate * blockAlign, 4);
  PutLe(&fmt, blockAlign, 2);
  PutLe(&fmt, bits, 2);
  PutLe(&fmt, static_cast<uint32_t>(extra.size() >= 2 ? extra.size() - 2 : 0), 2);
  if (extra.size() > 2) fmt.insert(fmt.end(), extra.begin() + 2, extra.end());
  std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
  PutLe(&out, static_cast<uint32_t>(4 + 8 + fmt.size() + 8 + data.size()), 4);
  for (char c : std::string("WAVEfmt ")) out.push_back(static_cast<uint8_t>(c));
  PutLe(&out, static_cast<uint32_t>(fmt.size()), 4);
  out.insert(out.end(), fmt.begin(), fmt.end());
  for (char c : std::string("data")) out.push_back(static_cast<uint8_t>(c));
  PutLe(&out, static_cast<uint32_t>(data.size()), 4);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::vector<uint8_t> FloatBytes(const std::vector<float>& values) {
  std::vector<uint8_t> out(values.size() * 4);
  std::memcpy(out.data(), values.data(), out.size());
  return out;
}

struct WavFixture : testing::Test {
  SoundTestEnvironment mEnv;

  void SetUp() override {
    // The debug log goes to the game folder.
    std::snprintf(g_ExeFolder, sizeof g_ExeFolder, "%s/", mEnv.mScript.Folder().c_str());
    if (!SoxInstalled()) GTEST_SKIP() << "sox is not installed (scripts/setup-deps.sh installs it)";
  }
  std::string Path(const std::string& name) const { return mEnv.mScript.Folder() + "/" + name; }
  void Sox(const std::string& arguments) const {
    std::string command = "sox -D " + arguments + " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  // Every sample sox decodes from a file, as 16-bit signed (no dither).
  std::vector<int16_t> SoxDecode(const std::string& name) const {
    std::string raw = name + ".raw";
    Sox(Path(name) + " -t raw -e signed-integer -b 16 -L " + Path(raw));
    std::vector<uint8_t> bytes = ReadBytes(Path(raw));
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
  }
  SoundRecord* Load(const std::string& name) {
    ObjectTreeNode* node = mEnv.Add("wav");
    mEnv.Load(node, name.c_str(), SOUND_SOURCE_WAV);
    mEnv.Poll();
    EXPECT_EQ(Rec(node)->mState, SOUND_STATE_LOADED);
    return Rec(node);
  }
  std::string DebugLog() const {
    std::ifstream in(Path("debuglog.txt"));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

// The samples a record plays, as 16-bit values (8-bit ones moved up).
std::vector<int16_t> PlayedSamples(const SoundRecord* record) {
  std::vector<int16_t> out;
  if (record->mFormat.mBitsPerSample == 8) {
    for (uint32_t i = 0; i < record->mPcmLen; ++i) out.push_back(static_cast<int16_t>((record->mPcmData[i] - 128) * 256));
  } else {
    out.resize(record->mPcmLen / 2);
    std::memcpy(out.data(), record->mPcmData, out.size() * 2);
  }
  return out;
}

void ExpectSameSamples(const std::vector<int16_t>& played, const std::vector<int16_t>& reference) {
  ASSERT_EQ(played.size(), reference.size());
  int mismatches = 0;
  for (size_t i = 0; i < reference.size() && mismatches < 5; ++i) {
    if (played[i] != reference[i]) {
      ADD_FAILURE() << "sample " << i << ": " << played[i] << " != " << reference[i];
      ++mismatches;
    }
  }
}

struct FormatCase {
  const char* mName;
  // sox's options for the output file, or empty for a libsndfile file.
  const char* mSoxFormat;
  int mSndfileFormat;  // SF_FORMAT_* major | subformat, for sox-less cases
  uint16_t mChannels;
  uint8_t mDecodedKind;  // 0 played in place, 2 converted
  uint16_t mBits;        // what the mixer plays
  const char* mGain;     // sox's gain in dB: the level a file keeps
};

class WavFormatCaseTest : public WavFixture, public testing::WithParamInterface<FormatCase> {};

TEST_P(WavFormatCaseTest, PlaysWhatSoxDecodesSampleForSample) {
  const FormatCase& c = GetParam();
  const uint32_t rate = 8000;
  std::string name = std::string(c.mName) + ".wav";
  if (c.mSoxFormat[0] != '\0') {
    std::string tones = c.mChannels == 1 ? "sine 440" : "sine 440 sine 660";
    Sox("-n -r " + std::to_string(rate) + " -c " + std::to_string(c.mChannels) + " " + c.mSoxFormat + " " +
        Path(name) + " synth 0.3 " + tones + " gain " + c.mGain);
  } else {
    std::vector<int16_t> tone = SineTone(c.mChannels, rate, rate * 3 / 10, 440);
    std::vector<uint8_t> image =
        MakeSndfileWav(tone, c.mChannels, rate, c.mSndfileFormat & SF_FORMAT_SUBMASK, c.mSndfileFormat & SF_FORMAT_TYPEMASK);
    mEnv.WriteFile(name, image);
  }
  std::vector<int16_t> reference = SoxDecode(name);
  ASSERT_FALSE(reference.empty());
  SoundRecord* record = Load(name);
  EXPECT_EQ(record->mDecodedKind, c.mDecodedKind);
  EXPECT_EQ(record->mFormat.mFormatTag, 1);
  EXPECT_EQ(record->mFormat.mChannels, c.mChannels);
  EXPECT_EQ(record->mFormat.mSamplesPerSec, rate);
  EXPECT_EQ(record->mFormat.mBitsPerSample, c.mBits);
  EXPECT_EQ(record->mLengthMs, 300);
  ExpectSameSamples(PlayedSamples(record), reference);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WavFormatCaseTest,
    testing::Values(
        FormatCase{"Float32Stereo", "-b 32 -e floating-point", 0, 2, 2, 16, "-3"},
        FormatCase{"Float64Mono", "-b 64 -e floating-point", 0, 1, 2, 16, "-1"},
        // Full of quiet samples: a float file is not brought up to its peak.
        FormatCase{"QuietFloat", "-b 32 -e floating-point", 0, 1, 2, 16, "-40"},
        // sox writes samples wider than 16 bits in the extensible container.
        FormatCase{"Extensible24BitMono", "-b 24", 0, 1, 2, 16, "-2"},
        FormatCase{"Extensible24BitStereo", "-b 24", 0, 2, 2, 16, "-2"},
        FormatCase{"Extensible32BitStereo", "-b 32 -e signed-integer", 0, 2, 2, 16, "-2"},
        FormatCase{"Plain24Bit", "-t wavpcm -b 24", 0, 1, 2, 16, "-2"},
        FormatCase{"Extensible16BitStereo", "", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 2, 0, 16, ""},
        FormatCase{"Extensible8BitMono", "", SF_FORMAT_WAVEX | SF_FORMAT_PCM_U8, 1, 0, 8, ""},
        FormatCase{"ExtensibleFloatStereo", "", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 2, 2, 16, ""},
        FormatCase{"ExtensibleDoubleMono", "", SF_FORMAT_WAVEX | SF_FORMAT_DOUBLE, 1, 2, 16, ""}),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.mName); });

TEST_F(WavFixture, FloatsBeyondFullScaleClipAndTheRestKeepTheirLevel) {
  const std::vector<float> values = {0.0f, 0.5f, -0.5f, 0.25f, 1.0f, -1.0f, 1.5f, -1.5f, 8.0f, -8.0f, 0.001f, -0.75f};
  const std::vector<int16_t> expected = {0, 16384, -16384, 8192, 32767, -32768, 32767, -32768, 32767, -32768, 33, -24576};
  mEnv.WriteFile("hot.wav", MakeTaggedWav(3, 1, 8000, 32, 4, {0, 0}, FloatBytes(values)));
  std::vector<int16_t> reference = SoxDecode("hot.wav");
  SoundRecord* record = Load("hot.wav");
  EXPECT_EQ(record->mDecodedKind, 2);
  ExpectSameSamples(PlayedSamples(record), expected);
  ExpectSameSamples(reference, expected);
}

struct ConversionFailureCase {
  const char* mName;
  int32_t mCode;
  const char* mStep;
};

class ConversionFailureTest : public WavFixture, public testing::WithParamInterface<ConversionFailureCase> {};

// Each damaged or unplayable file, made from a good one by sox.
std::vector<uint8_t> MakeFailingFile(const WavFixture& fixture, const std::string& name) {
  std::vector<uint8_t> none;
  if (name == "UnknownTag") return MakeTaggedWav(0x1234, 1, 8000, 16, 2, {0, 0}, std::vector<uint8_t>(400));
  if (name == "SixChannels") {
    fixture.Sox("-n -r 8000 -c 6 -b 16 " + fixture.Path("six.wav") + " synth 0.1 sine 440");
    return ReadBytes(fixture.Path("six.wav"));
  }
  if (name == "ExtensibleWithoutAPlainTag") {
    fixture.Sox("-n -r 8000 -c 1 -b 24 " + fixture.Path("x24.wav") + " synth 0.1 sine 440");
    std::vector<uint8_t> image = ReadBytes(fixture.Path("x24.wav"));
    // The sub-format GUID starts 24 bytes into the "fmt " body, at 44: one
    // of its fixed bytes changed, it names no plain format tag.
    if (image.size() > 60) image[50] = 0x77;
    return image;
  }
  if (name == "FloatWithoutARate") return MakeTaggedWav(3, 1, 0, 32, 4, {0, 0}, std::vector<uint8_t>(400));
  if (name == "AdpcmWithoutABlockSize") {
    return MakeTaggedWav(0x11, 1, 8000, 4, 0, {2, 0, 0xF9, 0x01}, std::vector<uint8_t>(400));
  }
  if (name == "RateOutOfRange") return MakeTaggedWav(3, 1, 50000000, 32, 4, {0, 0}, std::vector<uint8_t>(400));
  return none;
}

TEST_P(ConversionFailureTest, ReportsTheStepInTheBoxNumberAndTheLog) {
  const ConversionFailureCase& c = GetParam();
  std::vector<uint8_t> image = MakeFailingFile(*this, c.mName);
  ASSERT_FALSE(image.empty());
  mEnv.WriteFile("bad.wav", image);
  ObjectTreeNode* node = mEnv.Add("bad");
  mEnv.Load(node, "bad.wav", SOUND_SOURCE_WAV);
  EXPECT_EQ(RunSoundPoll(), c.mCode);
  ASSERT_FALSE(mEnv.mScript.mDialogs.mBoxes.empty());
  EXPECT_EQ(mEnv.mScript.mDialogs.mBoxes.back().mCaption, "DEBUG Message");
  EXPECT_EQ(mEnv.mScript.mDialogs.mBoxes.back().mText.rfind("エラー番号：" + std::to_string(-c.mCode) + "\n", 0), 0u);
  std::string line = std::string("sound: bad.wav: the WAV conversion failed at ") + c.mStep + " (error " +
                     std::to_string(c.mCode) + ")";
  EXPECT_NE(DebugLog().find(line), std::string::npos) << DebugLog();
}

INSTANTIATE_TEST_SUITE_P(
    Files, ConversionFailureTest,
    testing::Values(ConversionFailureCase{"UnknownTag", -10200, "finding a PCM format for it"},
                    ConversionFailureCase{"SixChannels", -10200, "finding a PCM format for it"},
                    ConversionFailureCase{"ExtensibleWithoutAPlainTag", -10200, "finding a PCM format for it"},
                    ConversionFailureCase{"FloatWithoutARate", -10310, "opening the conversion"},
                    ConversionFailureCase{"AdpcmWithoutABlockSize", -10310, "opening the conversion"},
                    ConversionFailureCase{"RateOutOfRange", -10340, "sizing the converted samples"}),
    [](const testing::TestParamInfo<ConversionFailureCase>& info) { return std::string(info.param.mName); });

TEST(WavConvertTest, NoMemoryForTheSamplesStopsAtTheAllocation) {
  std::vector<float> values(800, 0.25f);
  std::vector<uint8_t> image = MakeTaggedWav(3, 1, 8000, 32, 4, {0, 0}, FloatBytes(values));
  ConvertedPcm out;
  EXPECT_EQ(ConvertWavToPcm16(image.data(), image.size(), &out, [](size_t) -> void* { return nullptr; }),
            WavConvertStep::Memory);
  EXPECT_EQ(out.mData, nullptr);
  ASSERT_EQ(ConvertWavToPcm16(image.data(), image.size(), &out), WavConvertStep::Done);
  EXPECT_EQ(out.mBytes, 1600u);
  EXPECT_EQ(reinterpret_cast<const int16_t*>(out.mData)[799], 8192);
  std::free(out.mData);
}

}  // namespace
