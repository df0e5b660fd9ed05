#include "platform/movie_player.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

#include "platform/messages.h"
#include "platform/window.h"

struct PlatformMovie {
  GstElement* mPipeline = nullptr;
  GstElement* mVideoSink = nullptr;
  GstBus* mBus = nullptr;
  PlatformWindow* mOwner = nullptr;
  PlatformMovieNotice mNotice;
  std::atomic<bool> mNoticePosted{false};
  std::atomic<uint64_t> mFrameCount{0};
  double mVolume = 1.0;
  // The newest picture (B, G, R, X) and the rectangle it goes to. The
  // player's threads read and write the record only under this lock.
  std::mutex mFrameLock;
  std::vector<unsigned char> mFrame;
  int mFrameWidth = 0;
  int mFrameHeight = 0;
  int mX = 0;
  int mY = 0;
  int mWidth = 0;
  int mHeight = 0;
};

namespace {

std::atomic<bool> g_silent{false};
// How long the player may take to reach its first picture.
constexpr GstClockTime kPrepareTimeout = 10 * GST_SECOND;

bool InitGstreamer() {
  static bool ready = gst_init_check(nullptr, nullptr, nullptr) == TRUE;
  return ready;
}

void PostNotice(PlatformMovie* movie) {
  if (movie->mNotice.mMessage == 0 || movie->mNoticePosted.exchange(true)) return;
  PostWindowMessage(movie->mOwner, movie->mNotice.mMessage, movie->mNotice.mWParam, movie->mNotice.mLParam);
}

// On the player's threads: the end and failures reach the owner window as
// its message; the bus keeps them for TakePlatformMovieEvent.
GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer data) {
  auto* movie = static_cast<PlatformMovie*>(data);
  GstMessageType type = GST_MESSAGE_TYPE(message);
  if (type == GST_MESSAGE_EOS || type == GST_MESSAGE_ERROR) {
    std::lock_guard<std::mutex> hold(movie->mFrameLock);
    PostNotice(movie);
  }
  return GST_BUS_PASS;
}

GstFlowReturn OnNewSample(GstAppSink* sink, gpointer data) {
  auto* movie = static_cast<PlatformMovie*>(data);
  GstSample* sample = gst_app_sink_pull_sample(sink);
  if (sample == nullptr) return GST_FLOW_OK;
  GstCaps* caps = gst_sample_get_caps(sample);
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  GstStructure* structure = caps != nullptr ? gst_caps_get_structure(caps, 0) : nullptr;
  int width = 0;
  int height = 0;
  GstMapInfo map;
  if (structure != nullptr && buffer != nullptr && gst_structure_get_int(structure, "width", &width) &&
      gst_structure_get_int(structure, "height", &height) && width > 0 && height > 0 &&
      gst_buffer_map(buffer, &map, GST_MAP_READ)) {
    size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    std::lock_guard<std::mutex> hold(movie->mFrameLock);
    if (map.size >= bytes) {
      movie->mFrame.assign(map.data, map.data + bytes);
      movie->mFrameWidth = width;
      movie->mFrameHeight = height;
    }
    gst_buffer_unmap(buffer, &map);
    movie->mFrameCount.fetch_add(1);
    if (movie->mNotice.mFrameMessage != 0) PostWindowMessage(movie->mOwner, movie->mNotice.mFrameMessage, 0, 0);
  }
  gst_sample_unref(sample);
  return GST_FLOW_OK;
}

GstElement* MakeElement(const char* factory) { return gst_element_factory_make(factory, nullptr); }

}  // namespace

PlatformMovie* OpenPlatformMovie(const std::string& nativePath, PlatformWindow* owner,
                                 const PlatformMovieNotice& notice) {
  if (nativePath.empty() || !InitGstreamer()) return nullptr;
  gchar* uri = gst_filename_to_uri(nativePath.c_str(), nullptr);
  if (uri == nullptr) return nullptr;
  GstElement* pipeline = MakeElement("playbin");
  GstElement* videoSink = MakeElement("appsink");
  if (pipeline == nullptr || videoSink == nullptr) {
    if (pipeline != nullptr) gst_object_unref(pipeline);
    if (videoSink != nullptr) gst_object_unref(videoSink);
    g_free(uri);
    return nullptr;
  }
  auto* movie = new PlatformMovie();
  movie->mPipeline = pipeline;
  movie->mVideoSink = videoSink;
  movie->mOwner = owner;
  movie->mNotice = notice;
  GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", nullptr);
  gst_app_sink_set_caps(GST_APP_SINK(videoSink), caps);
  gst_caps_unref(caps);
  g_object_set(videoSink, "sync", TRUE, "max-buffers", 2, "drop", TRUE, nullptr);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = OnNewSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(videoSink), &callbacks, movie, nullptr);
  g_object_set(pipeline, "uri", uri, "video-sink", videoSink, nullptr);
  g_free(uri);
  if (g_silent.load()) {
    GstElement* audioSink = MakeElement("fakesink");
    if (audioSink != nullptr) {
      g_object_set(audioSink, "sync", TRUE, nullptr);
      g_object_set(pipeline, "audio-sink", audioSink, nullptr);
    }
  }
  movie->mBus = gst_element_get_bus(pipeline);
  gst_bus_set_sync_handler(movie->mBus, OnBusMessage, movie, nullptr);
  // Prepared to the first picture: a file the player cannot play fails here.
  GstStateChangeReturn change = gst_element_set_state(pipeline, GST_STATE_PAUSED);
  if (change == GST_STATE_CHANGE_ASYNC) change = gst_element_get_state(pipeline, nullptr, nullptr, kPrepareTimeout);
  if (change == GST_STATE_CHANGE_FAILURE || change == GST_STATE_CHANGE_ASYNC) {
    ClosePlatformMovie(movie);
    return nullptr;
  }
  // A failure of the preparation that is told only on the bus.
  GstMessage* failure = gst_bus_pop_filtered(movie->mBus, GST_MESSAGE_ERROR);
  if (failure != nullptr) {
    gst_message_unref(failure);
    ClosePlatformMovie(movie);
    return nullptr;
  }
  movie->mNoticePosted.store(false);
  return movie;
}

void ClosePlatformMovie(PlatformMovie* movie) {
  if (movie == nullptr) return;
  // No further notice from a player that is going away.
  movie->mNoticePosted.store(true);
  gst_element_set_state(movie->mPipeline, GST_STATE_NULL);
  // The player's threads touch the record only under the lock: once it is
  // taken here after the stop, their last touch is over.
  { std::lock_guard<std::mutex> hold(movie->mFrameLock); }
  if (movie->mBus != nullptr) {
    gst_bus_set_sync_handler(movie->mBus, nullptr, nullptr, nullptr);
    gst_object_unref(movie->mBus);
  }
  gst_object_unref(movie->mPipeline);
  delete movie;
}

bool PlayPlatformMovie(PlatformMovie* movie) {
  if (movie == nullptr) return false;
  return gst_element_set_state(movie->mPipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

void StopPlatformMovie(PlatformMovie* movie) {
  if (movie == nullptr) return;
  gst_element_set_state(movie->mPipeline, GST_STATE_PAUSED);
  gst_element_get_state(movie->mPipeline, nullptr, nullptr, kPrepareTimeout);
  gst_element_seek_simple(movie->mPipeline, GST_FORMAT_TIME,
                          static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0);
}

void SetPlatformMovieRect(PlatformMovie* movie, int x, int y, int width, int height) {
  if (movie == nullptr) return;
  std::lock_guard<std::mutex> hold(movie->mFrameLock);
  movie->mX = x;
  movie->mY = y;
  movie->mWidth = width;
  movie->mHeight = height;
}

void SetPlatformMovieVolume(PlatformMovie* movie, double factor) {
  if (movie == nullptr) return;
  if (!(factor >= 0.0)) factor = 0.0;
  if (factor > 1.0) factor = 1.0;
  movie->mVolume = factor;
  g_object_set(movie->mPipeline, "volume", factor, nullptr);
}

double GetPlatformMovieVolume(const PlatformMovie* movie) { return movie != nullptr ? movie->mVolume : 0.0; }

bool GetPlatformMovieRect(PlatformMovie* movie, int rect[4]) {
  if (movie == nullptr) return false;
  std::lock_guard<std::mutex> hold(movie->mFrameLock);
  rect[0] = movie->mX;
  rect[1] = movie->mY;
  rect[2] = movie->mWidth;
  rect[3] = movie->mHeight;
  return true;
}

PlatformMovieEvent TakePlatformMovieEvent(PlatformMovie* movie) {
  if (movie == nullptr || movie->mBus == nullptr) return kMovieEventNone;
  GstMessage* message =
      gst_bus_pop_filtered(movie->mBus, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  if (message == nullptr) return kMovieEventNone;
  PlatformMovieEvent event = GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS ? kMovieEventEnd : kMovieEventError;
  gst_message_unref(message);
  return event;
}

bool DrawPlatformMovieFrame(PlatformMovie* movie) {
  if (movie == nullptr || movie->mOwner == nullptr) return false;
  std::lock_guard<std::mutex> hold(movie->mFrameLock);
  if (movie->mFrame.empty() || movie->mWidth <= 0 || movie->mHeight <= 0) return false;
  PlatformBlit blit;
  blit.mPixels = movie->mFrame.data();
  blit.mImageWidth = movie->mFrameWidth;
  blit.mImageHeight = movie->mFrameHeight;
  blit.mSrcWidth = movie->mFrameWidth;
  blit.mSrcHeight = movie->mFrameHeight;
  blit.mDstX = movie->mX;
  blit.mDstY = movie->mY;
  blit.mDstWidth = movie->mWidth;
  blit.mDstHeight = movie->mHeight;
  return BlitToPlatformWindow(movie->mOwner, blit);
}

uint64_t CountPlatformMovieFrames(const PlatformMovie* movie) {
  return movie != nullptr ? movie->mFrameCount.load() : 0;
}

void SetPlatformMovieSilent(bool silent) { g_silent.store(silent); }
