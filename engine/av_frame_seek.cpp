#include "engine/av_frame_seek.h"

#include <cmath>

#include "engine/av_in_file.h"
#include "engine/av_screen.h"

namespace vexo {

namespace {

// The key-frame search: after it, the video queue holds a key packet at or
// before the target and the demultiplexer reads on behind it.
void SearchKeyFrame(TAVInFile& file, int64_t target, bool withAudio) {
  TTrack& video = file.Video;
  int64_t n = target;
  for (;;) {
    file.Flush();
    file.Seek(n, withAudio);
    TAVPacket* packet = nullptr;
    bool found = false;
    if (file.ReadPacket(packet, video.StreamIndex) == 0) {
      if (packet->pts != AV_NOPTS_VALUE && video.TicksPerFrame > 0)
        video.KeyFramePos =
            int32_t(std::floor(double(packet->pts) / double(video.TicksPerFrame) + 0.5));
      video.DecodedSinceSeek = int32_t(n);
      found = (packet->flags & AV_PKT_FLAG_KEY) && video.KeyFramePos <= target;
      if (found)
        video.PacketQueue->Push(packet);
      else
        FreePacket(packet);
    }
    if (found || n == 0) return;
    n -= 1;
  }
}

}  // namespace

int SeekFileToFrame(TAVInFile& file, TAVScreen& screen, int64_t frame, bool withAudio,
                    TAVInFile* prevFile, uint8_t firstFrame) {
  TTrack& video = file.Video;
  if (frame < 0) frame = 0;
  video.TargetFrame = int32_t(frame);
  // AVI seeks every stream at once; a separate sound seek only costs time.
  if (file.FormatName() == "avi") withAudio = false;
  if (file.IsImage) {
    file.Flush();
    file.Seek(0, withAudio);
  } else {
    SearchKeyFrame(file, frame, withAudio);
  }
  int result = drSkipped;
  while (result == drSkipped) {
    result = file.DecodeVideo(screen, prevFile, dfShow | dfKeySeek, firstFrame);
    video.DecodedSinceSeek += 1;
  }
  // Frames before the target are decoded but not converted.
  while (result == drPicture && video.FramePos < frame) {
    result = file.DecodeVideo(screen, prevFile, 0, 0);
    video.DecodedSinceSeek += 1;
  }
  if (result == drPicture && video.FramePos == frame) {
    result = file.DecodeVideo(screen, prevFile, dfShow, 0);
    video.DecodedSinceSeek += 1;
  }
  if (video.FramePos > 0) video.SeekFrame = int32_t(video.FramePos - 1);
  TTrack& audio = file.Audio[0];
  audio.SkipTicks = std::llround(double(video.SeekFrame) * audio.TicksPerFrame);
  if (file.WaveBuf && video.FrameRate > 0)
    audio.DeliveredBytes =
        std::llround(double(video.SeekFrame) / video.FrameRate * file.WaveBuf->OutRate) *
        file.WaveBuf->OutChannels * 2;
  return result;
}

}  // namespace vexo
