#pragma once
// What the video thread needs of the timeline it paces: the file list's frame
// counters and timing, and the decode of the next picture into the current
// video screen. The player control implements it over its file-list and
// screen variables, reading them anew at every call.
//
// DecodeVideo and ResetFrameRing are called with AVThreadLock held; DecodeVideo
// runs on the user-interface thread (a synchronised call). The counters change
// only inside those calls, so the thread reads them between calls unlocked.
#include <cstdint>
#include <string>

namespace vexo {

// Decode request flags.
inline constexpr uint32_t kDecodeConvert = 1;   // decode the next frame into the screen
inline constexpr uint32_t kDecodeCatchUp = 4;   // drop packets up to the next key frame
inline constexpr uint32_t kDecodeMJpeg = 0x20;  // the current file's video codec is "mjpeg"

// DecodeVideo answers: a frame is ready, or a packet was dropped in catch-up
// mode; any other answer ends the timeline (its end or a failure).
inline constexpr int32_t kDecodeReady = 0;
inline constexpr int32_t kDecodeSkipped = -2;

class TVideoTimeline {
 public:
  virtual ~TVideoTimeline() = default;

  // Frames decoded on the timeline so far; the latest has index FramePos() - 1.
  virtual int64_t FramePos() = 0;
  virtual int64_t TotalFrames() = 0;
  virtual int64_t FrameToMs(int64_t frame) = 0;
  virtual int32_t CurFile() = 0;
  virtual int32_t Count() = 0;
  // First timeline frame of file `index`.
  virtual int64_t StartFrames(int32_t index) = 0;
  // The first file of the timeline is a still image.
  virtual bool FirstIsImage() = 0;
  // Video of the current file: frame rate, frames decoded, frame count, codec.
  virtual float FrameRate() = 0;
  virtual int64_t FileFramePos() = 0;
  virtual int64_t FileFrameCount() = 0;
  virtual std::string CodecName() = 0;
  // How long picture `frame` of the current file stays on show: one picture
  // of its rate, unless its pictures keep their own times.
  virtual double FileFrameMs(int64_t frame) {
    const float rate = FrameRate();
    (void)frame;
    return rate > 0 ? 1000.0 / rate : 0.0;
  }

  // Empties the decoded-frame ring before catching up.
  virtual void ResetFrameRing() = 0;
  // Decodes the next frame into the current screen with `flags`.
  virtual int32_t DecodeVideo(uint32_t flags) = 0;
  // The current screen's error text; empty while the screen is fine.
  virtual std::string ScreenErrorText() = 0;
};

}  // namespace vexo
