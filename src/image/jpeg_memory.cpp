#include "image/jpeg_memory.h"

#include "image/pixel_buffers.h"

namespace {

struct JpegMemorySource {
  jpeg_source_mgr mPublic;
  const uint8_t* mData;
  size_t mSize;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void JpegMemoryInitSource(j_decompress_ptr info) {
  auto* source = reinterpret_cast<JpegMemorySource*>(info->src);
  source->mPublic.next_input_byte = source->mData;
  source->mPublic.bytes_in_buffer = source->mSize;
}

boolean JpegMemoryFillInput(j_decompress_ptr info) {
  // The whole file was handed over at the start: a further request means the
  // data ended early.
  WARNMS(info, JWRN_JPEG_EOF);
  info->src->next_input_byte = kEndOfImage;
  info->src->bytes_in_buffer = sizeof(kEndOfImage);
  return TRUE;
}

void JpegMemorySkipInput(j_decompress_ptr info, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = info->src;
  auto wanted = static_cast<size_t>(count);
  if (wanted > source->bytes_in_buffer) {
    source->next_input_byte += source->bytes_in_buffer;
    source->bytes_in_buffer = 0;
    return;
  }
  source->next_input_byte += wanted;
  source->bytes_in_buffer -= wanted;
}

void JpegMemoryTermSource(j_decompress_ptr) {}

void JpegSilentMessage(j_common_ptr) {}

}  // namespace

void JpegErrorExit(j_common_ptr info) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
  std::longjmp(manager->mJump, 1);
}

jpeg_error_mgr* InitJpegErrorManager(JpegErrorManager* manager) {
  jpeg_error_mgr* errors = jpeg_std_error(&manager->mPublic);
  errors->error_exit = JpegErrorExit;
  errors->output_message = JpegSilentMessage;
  return errors;
}

void SetJpegMemorySource(j_decompress_ptr info, const uint8_t* data, size_t size) {
  auto* source = static_cast<JpegMemorySource*>(
      (*info->mem->alloc_small)(reinterpret_cast<j_common_ptr>(info), JPOOL_PERMANENT, sizeof(JpegMemorySource)));
  source->mPublic.init_source = JpegMemoryInitSource;
  source->mPublic.fill_input_buffer = JpegMemoryFillInput;
  source->mPublic.skip_input_data = JpegMemorySkipInput;
  source->mPublic.resync_to_restart = jpeg_resync_to_restart;
  source->mPublic.term_source = JpegMemoryTermSource;
  source->mPublic.next_input_byte = nullptr;
  source->mPublic.bytes_in_buffer = 0;
  source->mData = data;
  source->mSize = size;
  info->src = &source->mPublic;
}

bool ReadJpegHeaderWithinLimits(j_decompress_ptr info, const uint8_t* data, size_t size) {
  jpeg_create_decompress(info);
  SetJpegMemorySource(info, data, size);
  jpeg_read_header(info, TRUE);
  return info->image_width <= static_cast<JDIMENSION>(kMaxImageSide) &&
         info->image_height <= static_cast<JDIMENSION>(kMaxImageSide);
}
