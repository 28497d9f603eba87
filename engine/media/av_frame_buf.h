#pragma once
// A small ring of converted pictures held back for later display. The pixel
// storage of every slot is kept across uses; only picture records come and go.
#include <array>
#include <cstdint>

#include "engine/media/buffer.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace vexo {

class TAVFrameBuf {
 public:
  static constexpr int32_t Slots = 4;

  TAVFrameBuf() = default;
  ~TAVFrameBuf();
  TAVFrameBuf(const TAVFrameBuf&) = delete;
  TAVFrameBuf& operator=(const TAVFrameBuf&) = delete;

  // Copies the picture into the next slot. On a full ring the oldest picture is
  // overwritten and dropped, so Count never exceeds Size.
  void Put(const AVFrame* source, AVPixelFormat pixFmt, int width, int height);
  // Copies the oldest picture into `dest` (which must have room for it) and
  // frees its slot. On an empty ring `dest` becomes nullptr; the caller keeps
  // its own reference to the record it passed.
  void Take(AVFrame*& dest, AVPixelFormat pixFmt, int width, int height);
  // Forgets the held pictures; records and storage stay for reuse.
  void Reset();

  int32_t Count = 0;
  int32_t Size = Slots;
  std::array<AVFrame*, Slots> Frames{};
  std::array<TBuffer, Slots> Buffers;
  int32_t WritePos = 0;
  int32_t ReadPos = 0;

 private:
  struct TSlotLayout {
    AVPixelFormat PixFmt = AV_PIX_FMT_NONE;
    int Width = 0;
    int Height = 0;
  };
  bool WrapSlot(int32_t slot, AVPixelFormat pixFmt, int width, int height);
  void ReleaseRecord(int32_t slot);
  std::array<TSlotLayout, Slots> FLayouts{};
};

}  // namespace vexo
