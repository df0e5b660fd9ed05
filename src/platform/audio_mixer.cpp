#include "platform/audio_mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

// A buffer's samples are read by the mix (the device's thread) and written by
// the sound thread: both go through g_MixerLock. A lock hands out a staging
// copy, so the writer never touches samples the mix is reading.
struct AudioBuffer {
  AudioBufferFormat mFormat;
  uint32_t mBytes;
  uint32_t mFrames;
  std::vector<uint8_t> mData;
  std::vector<uint8_t> mStaging;
  uint64_t mPosition;  // frames, 32.32 fixed point
  bool mPlaying;
  bool mLooping;
  int32_t mVolume;
  int32_t mPan;
  uint32_t mRate;
  float mGainLeft;
  float mGainRight;
  // The frames from the play cursor up to the write cursor are taken by the
  // mix ahead of time, as a device takes them: a write there is no longer
  // heard this time round. mCommit is a ring of those frames' bytes.
  std::vector<uint8_t> mCommit;
  uint32_t mCommitCapacity;  // frames
  uint32_t mCommitHead;      // ring slot of the first taken frame
  uint32_t mCommitFrame;     // buffer frame of the first taken frame
  uint32_t mCommitCount;
};

namespace {

std::mutex g_MixerLock;
std::vector<AudioBuffer*> g_Buffers;

// The write cursor runs this far ahead of the play cursor.
constexpr uint32_t kLatencyMs = 10;

double GainOf(int32_t centibels) {
  if (centibels <= kAudioSilence) return 0.0;
  if (centibels >= 0) return 1.0;
  return std::pow(10.0, centibels / 2000.0);
}

void UpdateGains(AudioBuffer* buffer) {
  double gain = GainOf(buffer->mVolume);
  double left = gain;
  double right = gain;
  if (buffer->mPan < 0) right *= GainOf(buffer->mPan);
  if (buffer->mPan > 0) left *= GainOf(-buffer->mPan);
  buffer->mGainLeft = static_cast<float>(left);
  buffer->mGainRight = static_cast<float>(right);
}

bool ValidFormat(const AudioBufferFormat& format) {
  if (format.mChannels != 1 && format.mChannels != 2) return false;
  if (format.mBits != 8 && format.mBits != 16) return false;
  if (format.mRate < 1 || format.mRate > 1000000) return false;
  return format.mBlockAlign == format.mChannels * format.mBits / 8;
}

uint32_t LatencyFrames(const AudioBuffer* buffer) {
  uint32_t latency = static_cast<uint32_t>((static_cast<uint64_t>(buffer->mFormat.mRate) * kLatencyMs + 999) / 1000);
  return std::min(latency, buffer->mFrames - 1);
}

void ForgetCommitted(AudioBuffer* buffer) { buffer->mCommitCount = 0; }

// Takes the frames from `frame` up to the write cursor (and the one after,
// which interpolation reads) out of the buffer.
void CommitAhead(AudioBuffer* buffer, uint32_t frame) {
  uint32_t distance = (frame + buffer->mFrames - buffer->mCommitFrame) % buffer->mFrames;
  if (buffer->mCommitCount == 0 || distance >= buffer->mCommitCount) {
    buffer->mCommitCount = 0;
    buffer->mCommitFrame = frame;
  } else {
    buffer->mCommitHead = (buffer->mCommitHead + distance) % buffer->mCommitCapacity;
    buffer->mCommitCount -= distance;
    buffer->mCommitFrame = frame;
  }
  uint32_t wanted = std::min(LatencyFrames(buffer) + 2, buffer->mCommitCapacity);
  uint32_t block = buffer->mFormat.mBlockAlign;
  while (buffer->mCommitCount < wanted) {
    uint32_t source = buffer->mCommitFrame + buffer->mCommitCount;
    if (source >= buffer->mFrames) {
      if (!buffer->mLooping) break;
      source %= buffer->mFrames;
    }
    uint32_t slot = (buffer->mCommitHead + buffer->mCommitCount) % buffer->mCommitCapacity;
    std::memcpy(buffer->mCommit.data() + static_cast<size_t>(slot) * block,
                buffer->mData.data() + static_cast<size_t>(source) * block, block);
    ++buffer->mCommitCount;
  }
}

float SampleAt(const AudioBuffer* buffer, uint32_t frame, int channel) {
  const uint8_t* block = buffer->mData.data() + static_cast<size_t>(frame) * buffer->mFormat.mBlockAlign;
  uint32_t distance = (frame + buffer->mFrames - buffer->mCommitFrame) % buffer->mFrames;
  if (distance < buffer->mCommitCount) {
    uint32_t slot = (buffer->mCommitHead + distance) % buffer->mCommitCapacity;
    block = buffer->mCommit.data() + static_cast<size_t>(slot) * buffer->mFormat.mBlockAlign;
  }
  if (buffer->mFormat.mBits == 8) return (static_cast<int>(block[channel]) - 128) / 128.0f;
  int16_t value = static_cast<int16_t>(block[channel * 2] | (block[channel * 2 + 1] << 8));
  return value / 32768.0f;
}

float Interpolate(float a, float b, uint32_t fraction) {
  if (fraction == 0) return a;
  return a + (b - a) * static_cast<float>(fraction / 4294967296.0);
}

void MixBuffer(AudioBuffer* buffer, float* out, uint32_t frames) {
  uint64_t step = (static_cast<uint64_t>(buffer->mRate) << 32) / kMixRate;
  uint64_t end = static_cast<uint64_t>(buffer->mFrames) << 32;
  bool stereo = buffer->mFormat.mChannels == 2;
  for (uint32_t i = 0; i < frames; ++i) {
    if (buffer->mPosition >= end) {
      if (!buffer->mLooping) {
        buffer->mPlaying = false;
        buffer->mPosition = 0;
        return;
      }
      buffer->mPosition %= end;
    }
    uint32_t frame = static_cast<uint32_t>(buffer->mPosition >> 32);
    CommitAhead(buffer, frame);
    uint32_t fraction = static_cast<uint32_t>(buffer->mPosition);
    uint32_t next = frame + 1;
    if (next >= buffer->mFrames) next = buffer->mLooping ? 0 : frame;
    float left = Interpolate(SampleAt(buffer, frame, 0), SampleAt(buffer, next, 0), fraction);
    float right = stereo ? Interpolate(SampleAt(buffer, frame, 1), SampleAt(buffer, next, 1), fraction) : left;
    out[2 * i] += left * buffer->mGainLeft;
    out[2 * i + 1] += right * buffer->mGainRight;
    buffer->mPosition += step;
  }
}

}  // namespace

AudioBuffer* CreateAudioBuffer(const AudioBufferFormat& format, uint32_t bytes) {
  if (!ValidFormat(format) || bytes < format.mBlockAlign || bytes % format.mBlockAlign != 0) return nullptr;
  auto* buffer = new AudioBuffer{};
  buffer->mFormat = format;
  buffer->mBytes = bytes;
  buffer->mFrames = bytes / format.mBlockAlign;
  buffer->mData.assign(bytes, format.mBits == 8 ? 128 : 0);
  buffer->mStaging.assign(bytes, 0);
  buffer->mRate = format.mRate;
  buffer->mCommitCapacity = std::min(LatencyFrames(buffer) + 2, buffer->mFrames);
  buffer->mCommit.assign(static_cast<size_t>(buffer->mCommitCapacity) * format.mBlockAlign, 0);
  UpdateGains(buffer);
  std::lock_guard<std::mutex> guard(g_MixerLock);
  g_Buffers.push_back(buffer);
  return buffer;
}

void ReleaseAudioBuffer(AudioBuffer* buffer) {
  if (buffer == nullptr) return;
  {
    std::lock_guard<std::mutex> guard(g_MixerLock);
    g_Buffers.erase(std::remove(g_Buffers.begin(), g_Buffers.end(), buffer), g_Buffers.end());
  }
  delete buffer;
}

bool PlayAudioBuffer(AudioBuffer* buffer, bool looping) {
  if (buffer == nullptr) return false;
  std::lock_guard<std::mutex> guard(g_MixerLock);
  // A stopped buffer takes its frames afresh: what was written meanwhile is
  // heard.
  if (!buffer->mPlaying) ForgetCommitted(buffer);
  buffer->mPlaying = true;
  buffer->mLooping = looping;
  return true;
}

void StopAudioBuffer(AudioBuffer* buffer) {
  if (buffer == nullptr) return;
  std::lock_guard<std::mutex> guard(g_MixerLock);
  buffer->mPlaying = false;
}

bool IsAudioBufferPlaying(const AudioBuffer* buffer) {
  if (buffer == nullptr) return false;
  std::lock_guard<std::mutex> guard(g_MixerLock);
  return buffer->mPlaying;
}

bool GetAudioBufferCursors(AudioBuffer* buffer, uint32_t* play, uint32_t* write) {
  if (buffer == nullptr) return false;
  std::lock_guard<std::mutex> guard(g_MixerLock);
  uint32_t frame = static_cast<uint32_t>(buffer->mPosition >> 32) % buffer->mFrames;
  uint32_t latency = LatencyFrames(buffer);
  if (play != nullptr) *play = frame * buffer->mFormat.mBlockAlign;
  if (write != nullptr) *write = (frame + latency) % buffer->mFrames * buffer->mFormat.mBlockAlign;
  return true;
}

bool SetAudioBufferCursor(AudioBuffer* buffer, uint32_t play) {
  if (buffer == nullptr || play >= buffer->mBytes) return false;
  std::lock_guard<std::mutex> guard(g_MixerLock);
  buffer->mPosition = static_cast<uint64_t>(play / buffer->mFormat.mBlockAlign) << 32;
  ForgetCommitted(buffer);
  return true;
}

bool LockAudioBuffer(AudioBuffer* buffer, uint32_t offset, uint32_t bytes, AudioRegions* regions) {
  if (buffer == nullptr || regions == nullptr || offset >= buffer->mBytes || bytes > buffer->mBytes) return false;
  std::lock_guard<std::mutex> guard(g_MixerLock);
  uint32_t first = std::min(bytes, buffer->mBytes - offset);
  regions->mOffset = offset;
  regions->mFirst = buffer->mStaging.data() + offset;
  regions->mFirstBytes = first;
  regions->mSecond = first < bytes ? buffer->mStaging.data() : nullptr;
  regions->mSecondBytes = bytes - first;
  std::memcpy(regions->mFirst, buffer->mData.data() + offset, first);
  if (regions->mSecondBytes > 0) std::memcpy(regions->mSecond, buffer->mData.data(), regions->mSecondBytes);
  return true;
}

void UnlockAudioBuffer(AudioBuffer* buffer, const AudioRegions& regions) {
  if (buffer == nullptr || regions.mFirst == nullptr) return;
  std::lock_guard<std::mutex> guard(g_MixerLock);
  std::memcpy(buffer->mData.data() + regions.mOffset, regions.mFirst, regions.mFirstBytes);
  if (regions.mSecondBytes > 0) std::memcpy(buffer->mData.data(), regions.mSecond, regions.mSecondBytes);
}

void SetAudioBufferVolume(AudioBuffer* buffer, int32_t centibels) {
  if (buffer == nullptr) return;
  std::lock_guard<std::mutex> guard(g_MixerLock);
  buffer->mVolume = std::clamp(centibels, kAudioSilence, 0);
  UpdateGains(buffer);
}

void SetAudioBufferPan(AudioBuffer* buffer, int32_t centibels) {
  if (buffer == nullptr) return;
  std::lock_guard<std::mutex> guard(g_MixerLock);
  buffer->mPan = std::clamp(centibels, kAudioSilence, -kAudioSilence);
  UpdateGains(buffer);
}

bool SetAudioBufferFrequency(AudioBuffer* buffer, uint32_t rate) {
  if (buffer == nullptr || rate < 1 || rate > 1000000) return false;
  std::lock_guard<std::mutex> guard(g_MixerLock);
  buffer->mRate = rate;
  return true;
}

int32_t GetAudioBufferVolume(const AudioBuffer* buffer) {
  if (buffer == nullptr) return 0;
  std::lock_guard<std::mutex> guard(g_MixerLock);
  return buffer->mVolume;
}

int32_t GetAudioBufferPan(const AudioBuffer* buffer) {
  if (buffer == nullptr) return 0;
  std::lock_guard<std::mutex> guard(g_MixerLock);
  return buffer->mPan;
}

uint32_t GetAudioBufferFrequency(const AudioBuffer* buffer) {
  if (buffer == nullptr) return 0;
  std::lock_guard<std::mutex> guard(g_MixerLock);
  return buffer->mRate;
}

void RenderAudioMix(float* out, uint32_t frames) {
  std::fill(out, out + static_cast<size_t>(frames) * 2, 0.0f);
  std::lock_guard<std::mutex> guard(g_MixerLock);
  for (AudioBuffer* buffer : g_Buffers) {
    if (buffer->mPlaying) MixBuffer(buffer, out, frames);
  }
}

size_t CountAudioBuffers() {
  std::lock_guard<std::mutex> guard(g_MixerLock);
  return g_Buffers.size();
}

void ReleaseAllAudioBuffers() {
  std::vector<AudioBuffer*> buffers;
  {
    std::lock_guard<std::mutex> guard(g_MixerLock);
    buffers.swap(g_Buffers);
  }
  for (AudioBuffer* buffer : buffers) delete buffer;
}
