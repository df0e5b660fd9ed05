#include "platform/theora_lib.h"

#include <ogg/ogg.h>
#include <theora/theoradec.h>
#include <vorbis/codec.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

struct TheoraVideo {
  bool mReverse = false;
  void* mAny = nullptr;
  TheoraRowCallback mRow = nullptr;
  th_info mInfo{};
  th_comment mComment{};
  th_setup_info* mSetup = nullptr;
  th_dec_ctx* mDecoder = nullptr;
  bool mLoaded = false;
  // The movie's picture packets in order, one a frame (an empty packet
  // repeats the frame before it), and which of them are key frames.
  std::vector<std::vector<uint8_t>> mPackets;
  std::vector<uint8_t> mKeyFrame;
  int32_t mDecodedFrame = -1;  // the frame the decoder holds; -1 none
  // The frame whose picture the rows hold, as written by the last call; -1
  // none. A repeated call for it writes nothing (the frame step asks for
  // the same frame on every display frame of a 30-a-second movie).
  int32_t mWrittenFrame = -1;
};

struct TheoraAudio {
  vorbis_info mInfo{};
  vorbis_comment mComment{};
  bool mLoaded = false;
  int64_t mTotalSamples = 0;
};

namespace {

std::atomic<int> g_loads{0};
std::atomic<bool> g_missing{false};

// The largest movie the decoder reads into memory.
constexpr uint32_t kMaxMovieBytes = 0x7FFFFFFF;
constexpr uint32_t kReadChunk = 1u << 16;

bool ReadWhole(const uint8_t* data, TheoraReadCallback read, TheoraSizeCallback size, std::vector<uint8_t>* out) {
  if (read == nullptr || size == nullptr) return false;
  uint32_t total = size();
  if (total == 0 || total > kMaxMovieBytes) return false;
  out->resize(total);
  uint32_t offset = 0;
  while (offset < total) {
    uint32_t want = std::min(kReadChunk, total - offset);
    uint32_t got = read(data, out->data() + offset, offset, want);
    if (got == 0 || got > want) return false;
    offset += got;
  }
  return true;
}

// Walks the Ogg pages of a movie held in memory and hands every packet of
// the first logical stream whose first packet `accept` takes to `packet`.
// accept and packet return false to stop.
template <typename Accept, typename Packet>
void WalkStream(const std::vector<uint8_t>& bytes, Accept accept, Packet packet) {
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  char* buffer = ogg_sync_buffer(&sync, static_cast<long>(bytes.size()));
  if (buffer == nullptr) {
    ogg_sync_clear(&sync);
    return;
  }
  std::memcpy(buffer, bytes.data(), bytes.size());
  ogg_sync_wrote(&sync, static_cast<long>(bytes.size()));
  ogg_stream_state stream;
  bool haveStream = false;
  bool going = true;
  ogg_page page;
  while (going) {
    int result = ogg_sync_pageout(&sync, &page);
    if (result == 0) break;
    if (result < 0) continue;  // skipped bytes of a damaged stretch
    if (!haveStream) {
      if (ogg_page_bos(&page) == 0) continue;
      ogg_stream_state candidate;
      ogg_stream_init(&candidate, ogg_page_serialno(&page));
      ogg_packet first;
      bool taken = ogg_stream_pagein(&candidate, &page) == 0 && ogg_stream_packetpeek(&candidate, &first) == 1 &&
                   accept(first);
      if (!taken) {
        ogg_stream_clear(&candidate);
        continue;
      }
      stream = candidate;
      haveStream = true;
    } else if (ogg_page_serialno(&page) != stream.serialno || ogg_stream_pagein(&stream, &page) != 0) {
      continue;
    }
    ogg_packet op;
    int out;
    while (going && (out = ogg_stream_packetout(&stream, &op)) != 0) {
      if (out < 0) continue;  // a gap: the packets before it are lost
      going = packet(op);
    }
  }
  if (haveStream) ogg_stream_clear(&stream);
  ogg_sync_clear(&sync);
}

// Video-range BT.601 Y'CbCr to B, G, R, A.
inline uint8_t Clamp255(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

void WritePicture(TheoraVideo* video, th_ycbcr_buffer planes) {
  const th_info& info = video->mInfo;
  int xShift = (info.pixel_fmt == TH_PF_444) ? 0 : 1;
  int yShift = (info.pixel_fmt == TH_PF_420) ? 1 : 0;
  int width = static_cast<int>(info.pic_width);
  int height = static_cast<int>(info.pic_height);
  for (int y = 0; y < height; ++y) {
    int row = video->mReverse ? y : height - 1 - y;
    uint8_t* out = video->mRow(video->mAny, row);
    if (out == nullptr) continue;
    int fy = static_cast<int>(info.pic_y) + y;
    const uint8_t* luma = planes[0].data + static_cast<ptrdiff_t>(fy) * planes[0].stride;
    const uint8_t* cb = planes[1].data + static_cast<ptrdiff_t>(fy >> yShift) * planes[1].stride;
    const uint8_t* cr = planes[2].data + static_cast<ptrdiff_t>(fy >> yShift) * planes[2].stride;
    for (int x = 0; x < width; ++x) {
      int fx = static_cast<int>(info.pic_x) + x;
      int c = 298 * (luma[fx] - 16);
      int d = cb[fx >> xShift] - 128;
      int e = cr[fx >> xShift] - 128;
      out[0] = Clamp255((c + 516 * d + 128) >> 8);
      out[1] = Clamp255((c - 100 * d - 208 * e + 128) >> 8);
      out[2] = Clamp255((c + 409 * e + 128) >> 8);
      out[3] = 255;
      out += 4;
    }
  }
}

void FreeDecoder(TheoraVideo* video) {
  if (video->mDecoder != nullptr) th_decode_free(video->mDecoder);
  video->mDecoder = nullptr;
  video->mDecodedFrame = -1;
  video->mWrittenFrame = -1;
}

bool FeedPacket(TheoraVideo* video, int32_t frame) {
  std::vector<uint8_t>& bytes = video->mPackets[static_cast<size_t>(frame)];
  ogg_packet op{};
  op.packet = bytes.empty() ? nullptr : bytes.data();
  op.bytes = static_cast<long>(bytes.size());
  op.granulepos = -1;
  op.packetno = frame + 3;
  int result = th_decode_packetin(video->mDecoder, &op, nullptr);
  if (result != 0 && result != TH_DUPFRAME) return false;
  video->mDecodedFrame = frame;
  return true;
}

// --- the entry points -------------------------------------------------------

TheoraVideo* VideoCreate() { return new TheoraVideo(); }

void VideoClear(TheoraVideo* video) {
  FreeDecoder(video);
  if (video->mSetup != nullptr) th_setup_free(video->mSetup);
  video->mSetup = nullptr;
  th_info_clear(&video->mInfo);
  th_comment_clear(&video->mComment);
  video->mPackets.clear();
  video->mKeyFrame.clear();
  video->mLoaded = false;
}

void VideoFree(TheoraVideo* video) {
  if (video == nullptr) return;
  VideoClear(video);
  delete video;
}

void VideoSetReverse(TheoraVideo* video, int32_t reverse) {
  if (video == nullptr || video->mReverse == (reverse != 0)) return;
  video->mReverse = reverse != 0;
  video->mWrittenFrame = -1;
}

int32_t VideoLoad(TheoraVideo* video, const uint8_t* data, TheoraReadCallback read, TheoraSizeCallback size,
                  void* any, TheoraRowCallback row, TheoraFrameSizeCallback frameSize, int32_t) {
  if (video == nullptr || row == nullptr) return -1;
  VideoClear(video);
  th_info_init(&video->mInfo);
  th_comment_init(&video->mComment);
  video->mAny = any;
  video->mRow = row;
  std::vector<uint8_t> bytes;
  if (!ReadWhole(data, read, size, &bytes)) return -1;
  bool headersDone = false;
  bool failed = false;
  auto accept = [&](ogg_packet& first) {
    th_info probe;
    th_comment comment;
    th_setup_info* setup = nullptr;
    th_info_init(&probe);
    th_comment_init(&comment);
    bool theora = th_decode_headerin(&probe, &comment, &setup, &first) > 0;
    th_info_clear(&probe);
    th_comment_clear(&comment);
    if (setup != nullptr) th_setup_free(setup);
    return theora;
  };
  auto packet = [&](ogg_packet& op) {
    if (!headersDone) {
      int result = th_decode_headerin(&video->mInfo, &video->mComment, &video->mSetup, &op);
      if (result > 0) return true;
      if (result < 0) {
        failed = true;
        return false;
      }
      headersDone = true;  // op is the first picture packet
    }
    video->mPackets.emplace_back(op.packet, op.packet + op.bytes);
    video->mKeyFrame.push_back(op.bytes > 0 && th_packet_iskeyframe(&op) == 1 ? 1 : 0);
    return true;
  };
  WalkStream(bytes, accept, packet);
  const th_info& info = video->mInfo;
  if (failed || video->mSetup == nullptr || info.pic_width == 0 || info.pic_height == 0 ||
      info.pic_x + info.pic_width > info.frame_width || info.pic_y + info.pic_height > info.frame_height) {
    VideoClear(video);
    return -2;
  }
  video->mDecoder = th_decode_alloc(&video->mInfo, video->mSetup);
  if (video->mDecoder == nullptr) {
    VideoClear(video);
    return -2;
  }
  video->mLoaded = true;
  if (frameSize != nullptr) {
    frameSize(any, static_cast<int32_t>(info.pic_width), static_cast<int32_t>(info.pic_height));
  }
  return 0;
}

int32_t VideoTotalFrames(TheoraVideo* video) {
  if (video == nullptr || !video->mLoaded) return 0;
  return static_cast<int32_t>(std::min<size_t>(video->mPackets.size(), INT32_MAX));
}

int32_t VideoDecodeFrame(TheoraVideo* video, int32_t frame) {
  if (video == nullptr || !video->mLoaded || frame < 0 || frame >= VideoTotalFrames(video)) return 0;
  if (frame == video->mWrittenFrame && frame == video->mDecodedFrame) return 1;
  if (frame != video->mDecodedFrame) {
    // Decoding starts at the last key frame at or before the frame, unless
    // the decoder already stands between that key frame and the frame.
    int32_t key = frame;
    while (key >= 0 && video->mKeyFrame[static_cast<size_t>(key)] == 0) --key;
    if (key < 0) return 0;
    int32_t start = key;
    if (video->mDecoder != nullptr && video->mDecodedFrame >= key && video->mDecodedFrame < frame) {
      start = video->mDecodedFrame + 1;
    } else {
      FreeDecoder(video);
      video->mDecoder = th_decode_alloc(&video->mInfo, video->mSetup);
      if (video->mDecoder == nullptr) return 0;
    }
    for (int32_t at = start; at <= frame; ++at) {
      if (!FeedPacket(video, at)) {
        FreeDecoder(video);
        return 0;
      }
    }
  }
  th_ycbcr_buffer planes;
  video->mWrittenFrame = -1;
  if (th_decode_ycbcr_out(video->mDecoder, planes) != 0) return 0;
  WritePicture(video, planes);
  video->mWrittenFrame = frame;
  return 1;
}

TheoraAudio* AudioCreate() { return new TheoraAudio(); }

void AudioClear(TheoraAudio* audio) {
  if (!audio->mLoaded) return;
  vorbis_info_clear(&audio->mInfo);
  vorbis_comment_clear(&audio->mComment);
  audio->mLoaded = false;
}

void AudioFree(TheoraAudio* audio) {
  if (audio == nullptr) return;
  AudioClear(audio);
  delete audio;
}

int32_t AudioLoad(TheoraAudio* audio, const uint8_t* data, TheoraReadCallback read, TheoraSizeCallback size) {
  if (audio == nullptr) return -1;
  AudioClear(audio);
  std::vector<uint8_t> bytes;
  if (!ReadWhole(data, read, size, &bytes)) return -1;
  vorbis_info_init(&audio->mInfo);
  vorbis_comment_init(&audio->mComment);
  audio->mLoaded = true;
  int headers = 0;
  int64_t lastGranule = 0;
  auto accept = [](ogg_packet& first) { return vorbis_synthesis_idheader(&first) == 1; };
  auto packet = [&](ogg_packet& op) {
    if (headers < 3) {
      if (vorbis_synthesis_headerin(&audio->mInfo, &audio->mComment, &op) != 0) return false;
      ++headers;
    } else if (op.granulepos > lastGranule) {
      lastGranule = op.granulepos;
    }
    return true;
  };
  WalkStream(bytes, accept, packet);
  if (headers < 3) {
    AudioClear(audio);
    return -2;
  }
  audio->mTotalSamples = lastGranule;
  return 0;
}

// The sound track is opened only: it never plays, so it stands at its start.
int64_t AudioNowSample(TheoraAudio*) { return 0; }

int32_t AudioTotalSamples(TheoraAudio* audio) {
  if (audio == nullptr || !audio->mLoaded) return 0;
  return static_cast<int32_t>(std::min<int64_t>(audio->mTotalSamples, INT32_MAX));
}

constexpr TheoraLibApi kApi = {
    VideoCreate,      VideoFree, VideoSetReverse, VideoLoad,      VideoTotalFrames, VideoDecodeFrame,
    AudioCreate,      AudioFree, AudioLoad,       AudioNowSample, AudioTotalSamples,
};

}  // namespace

const TheoraLibApi* LoadTheoraLibrary() {
  if (g_missing.load()) return nullptr;
  g_loads.fetch_add(1);
  return &kApi;
}

void UnloadTheoraLibrary() {
  int loads = g_loads.load();
  while (loads > 0 && !g_loads.compare_exchange_weak(loads, loads - 1)) {
  }
}

int CountTheoraLibraryLoads() { return g_loads.load(); }

void SetTheoraLibraryMissing(bool missing) { g_missing.store(missing); }
