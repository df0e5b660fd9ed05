#include "support/movie_fixtures.h"

#include <gst/gst.h>
#include <ogg/ogg.h>
#include <theora/theoraenc.h>

#include <algorithm>

#include "support/sound_fixtures.h"

namespace {

uint8_t ClampByte(double value) { return static_cast<uint8_t>(std::clamp(value + 0.5, 0.0, 255.0)); }

void AppendPage(std::vector<uint8_t>* out, const ogg_page& page) {
  out->insert(out->end(), page.header, page.header + page.header_len);
  out->insert(out->end(), page.body, page.body + page.body_len);
}

}  // namespace

uint32_t TheoraSpecPixel(const TheoraMovieSpec& spec, int frame, int x, int y) {
  if (spec.mPixel) return spec.mPixel(frame, x, y);
  if (spec.mFrameColours.empty()) return 0;
  size_t index = std::min(static_cast<size_t>(frame), spec.mFrameColours.size() - 1);
  return spec.mFrameColours[index];
}

std::vector<uint8_t> MakeTheoraMovie(const TheoraMovieSpec& spec) {
  th_info info;
  th_info_init(&info);
  int frameWidth = (spec.mWidth + 15) & ~15;
  int frameHeight = (spec.mHeight + 15) & ~15;
  info.frame_width = static_cast<ogg_uint32_t>(frameWidth);
  info.frame_height = static_cast<ogg_uint32_t>(frameHeight);
  info.pic_width = static_cast<ogg_uint32_t>(spec.mWidth);
  info.pic_height = static_cast<ogg_uint32_t>(spec.mHeight);
  info.pic_x = 0;
  info.pic_y = 0;
  info.fps_numerator = static_cast<ogg_uint32_t>(spec.mRateNumerator);
  info.fps_denominator = static_cast<ogg_uint32_t>(spec.mRateDenominator);
  info.aspect_numerator = 1;
  info.aspect_denominator = 1;
  info.colorspace = TH_CS_UNSPECIFIED;
  info.pixel_fmt = TH_PF_420;
  info.quality = spec.mQuality;
  info.keyframe_granule_shift = 6;
  th_enc_ctx* encoder = th_encode_alloc(&info);
  th_info_clear(&info);
  if (encoder == nullptr) return {};
  ogg_uint32_t keyInterval = static_cast<ogg_uint32_t>(spec.mKeyFrameInterval);
  th_encode_ctl(encoder, TH_ENCCTL_SET_KEYFRAME_FREQUENCY_FORCE, &keyInterval, sizeof keyInterval);

  ogg_stream_state stream;
  ogg_stream_init(&stream, 0x7E01);
  std::vector<uint8_t> out;
  ogg_page page;
  ogg_packet packet;
  th_comment comment;
  th_comment_init(&comment);
  bool first = true;
  while (th_encode_flushheader(encoder, &comment, &packet) > 0) {
    ogg_stream_packetin(&stream, &packet);
    if (first) {
      // The first header alone on the first page; the sound track's first
      // page follows it.
      while (ogg_stream_flush(&stream, &page) != 0) AppendPage(&out, page);
      first = false;
      if (!spec.mSound.empty()) {
        std::vector<uint8_t> sound = EncodeVorbis(spec.mSound, 1, 22050, 0x7E02);
        out.insert(out.end(), sound.begin(), sound.end());
      }
    }
  }
  th_comment_clear(&comment);
  while (ogg_stream_flush(&stream, &page) != 0) AppendPage(&out, page);

  std::vector<uint8_t> luma(static_cast<size_t>(frameWidth) * frameHeight, 16);
  std::vector<uint8_t> cb(static_cast<size_t>(frameWidth / 2) * (frameHeight / 2), 128);
  std::vector<uint8_t> cr(cb.size(), 128);
  for (int frame = 0; frame < spec.mFrames; ++frame) {
    // Each chroma sample is the mean of its 2 x 2 picture pixels.
    std::vector<double> cbSum(cb.size(), 0.0), crSum(cb.size(), 0.0), count(cb.size(), 0.0);
    for (int y = 0; y < spec.mHeight; ++y) {
      for (int x = 0; x < spec.mWidth; ++x) {
        uint32_t rgb = TheoraSpecPixel(spec, frame, x, y);
        double r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
        luma[static_cast<size_t>(y) * frameWidth + x] = ClampByte(16 + (65.738 * r + 129.057 * g + 25.064 * b) / 256);
        size_t c = static_cast<size_t>(y / 2) * (frameWidth / 2) + x / 2;
        cbSum[c] += 128 + (-37.945 * r - 74.494 * g + 112.439 * b) / 256;
        crSum[c] += 128 + (112.439 * r - 94.154 * g - 18.285 * b) / 256;
        count[c] += 1;
      }
    }
    for (size_t c = 0; c < cb.size(); ++c) {
      if (count[c] == 0) continue;
      cb[c] = ClampByte(cbSum[c] / count[c]);
      cr[c] = ClampByte(crSum[c] / count[c]);
    }
    th_ycbcr_buffer planes;
    planes[0] = {frameWidth, frameHeight, frameWidth, luma.data()};
    planes[1] = {frameWidth / 2, frameHeight / 2, frameWidth / 2, cb.data()};
    planes[2] = {frameWidth / 2, frameHeight / 2, frameWidth / 2, cr.data()};
    if (th_encode_ycbcr_in(encoder, planes) != 0) break;
    int last = frame + 1 == spec.mFrames ? 1 : 0;
    while (th_encode_packetout(encoder, last, &packet) > 0) ogg_stream_packetin(&stream, &packet);
    while (ogg_stream_pageout(&stream, &page) != 0) AppendPage(&out, page);
  }
  while (ogg_stream_flush(&stream, &page) != 0) AppendPage(&out, page);
  ogg_stream_clear(&stream);
  th_encode_free(encoder);
  return out;
}

bool MakeTestPatternMovie(const std::string& path, const std::string& kind, int buffers) {
  if (gst_init_check(nullptr, nullptr, nullptr) != TRUE) return false;
  std::string video = "videotestsrc num-buffers=" + std::to_string(buffers) +
                      " pattern=smpte ! video/x-raw,width=64,height=48,framerate=30/1 ! videoconvert ! ";
  std::string audio = "audiotestsrc num-buffers=" + std::to_string(std::max(1, buffers * 22050 / 30 / 1024)) +
                      " samplesperbuffer=1024 ! audio/x-raw,rate=22050,channels=1 ! audioconvert ! vorbisenc ! ";
  std::string description;
  if (kind == "webm") {
    description = video + "vp8enc deadline=1 ! mux. " + audio + "mux. webmmux name=mux ! filesink location=\"" +
                  path + "\"";
  } else {
    description = video + "theoraenc ! mux. " + audio + "mux. oggmux name=mux ! filesink location=\"" + path + "\"";
  }
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
  if (error != nullptr) {
    g_error_free(error);
    if (pipeline != nullptr) gst_object_unref(pipeline);
    return false;
  }
  if (pipeline == nullptr) return false;
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* message = gst_bus_timed_pop_filtered(bus, 60 * GST_SECOND,
                                                   static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  bool done = message != nullptr && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
  if (message != nullptr) gst_message_unref(message);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return done;
}
