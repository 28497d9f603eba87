#include "engine/media/av_frame_buf.h"

#include "engine/media/media_lib.h"

namespace vexo {

TAVFrameBuf::~TAVFrameBuf() {
  for (int32_t slot = 0; slot < Size; ++slot) ReleaseRecord(slot);
}

void TAVFrameBuf::ReleaseRecord(int32_t slot) {
  if (Frames[size_t(slot)]) ff::av_frame_free(&Frames[size_t(slot)]);
  Frames[size_t(slot)] = nullptr;
}

// A record kept over a Reset may describe another format or size than the
// picture now put; it is wrapped afresh then, or the copy would overrun it.
bool TAVFrameBuf::WrapSlot(int32_t slot, AVPixelFormat pixFmt, int width, int height) {
  TSlotLayout& layout = FLayouts[size_t(slot)];
  AVFrame*& frame = Frames[size_t(slot)];
  if (frame && layout.PixFmt == pixFmt && layout.Width == width && layout.Height == height)
    return true;
  const int bytes = ff::av_image_get_buffer_size(pixFmt, width, height, 1);
  if (bytes <= 0) return false;
  if (!frame) frame = ff::av_frame_alloc();
  if (!frame) return false;
  TBuffer& buffer = Buffers[size_t(slot)];
  if (buffer.size() < size_t(bytes)) buffer.resize(size_t(bytes));
  ff::av_image_fill_arrays(frame->data, frame->linesize, buffer.data(), pixFmt, width, height, 1);
  frame->format = pixFmt;
  frame->width = width;
  frame->height = height;
  layout = {pixFmt, width, height};
  return true;
}

void TAVFrameBuf::Put(const AVFrame* source, AVPixelFormat pixFmt, int width, int height) {
  if (!source || !WrapSlot(WritePos, pixFmt, width, height)) return;
  AVFrame* slot = Frames[size_t(WritePos)];
  ff::av_image_copy(slot->data, slot->linesize, const_cast<const uint8_t**>(source->data),
                    source->linesize, pixFmt, width, height);
  if (Count == Size)
    ReadPos = (ReadPos + 1) % Size;
  else
    Count += 1;
  WritePos = (WritePos + 1) % Size;
}

void TAVFrameBuf::Take(AVFrame*& dest, AVPixelFormat pixFmt, int width, int height) {
  if (Count <= 0) {
    dest = nullptr;
    return;
  }
  const AVFrame* slot = Frames[size_t(ReadPos)];
  const TSlotLayout& layout = FLayouts[size_t(ReadPos)];
  if (dest && slot && layout.PixFmt == pixFmt && layout.Width == width && layout.Height == height)
    ff::av_image_copy(dest->data, dest->linesize, const_cast<const uint8_t**>(slot->data),
                      slot->linesize, pixFmt, width, height);
  ReleaseRecord(ReadPos);
  Count -= 1;
  ReadPos = (ReadPos + 1) % Size;
}

void TAVFrameBuf::Reset() {
  Count = 0;
  WritePos = 0;
  ReadPos = 0;
}

}  // namespace vexo
