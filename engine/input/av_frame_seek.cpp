#include "engine/input/av_frame_seek.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/input/av_in_file.h"
#include "engine/video/av_screen.h"

namespace vexo {

namespace {

// Key-frame searches of one seek: the first, and earlier ones after a key
// picture whose stamp placed it too early.
constexpr int kMaxSearches = 3;

// One key-frame search and the decode forward from it. drPicture with
// FramePos = frame + 1 when the target is on the screen.
int DecodeToFrame(TAVInFile& file, TAVScreen& screen, int64_t frame, int64_t searchFrom,
                  bool withAudio, TAVInFile* prevFile, uint8_t firstFrame) {
  TTrack& video = file.Video;
  if (file.IsImage) {
    file.Flush();
    file.Seek(0, withAudio);
  } else {
    SearchKeyFrame(file, searchFrom, withAudio);
  }
  int result = drSkipped;
  while (result == drSkipped) {
    result = file.DecodeVideo(screen, prevFile, dfShow | dfKeySeek, firstFrame);
    video.DecodedSinceSeek += 1;
  }
  // Frames before the target are decoded but not converted.
  bool forward = false;
  while (result == drPicture && video.FramePos < frame) {
    result = file.DecodeVideo(screen, prevFile, 0, 0);
    video.DecodedSinceSeek += 1;
    forward = true;
  }
  if (result != drPicture) return result;
  if (video.FramePos == frame) {
    result = file.DecodeVideo(screen, prevFile, dfShow, 0);
    video.DecodedSinceSeek += 1;
  } else if (forward && video.FramePos == frame + 1) {
    // The picture's own stamp put it on the target, past a slot that has no
    // picture or a key picture stamped too early.
    if (!file.ShowDecodedPicture(screen)) return drEnd;
  }
  return result;
}

}  // namespace

// A fully parsed stream may stamp a key picture with a B picture shown before
// it, so that its stamp cannot tell whether it is the target itself: there
// the key frame must lie before the target, whose own stamp then places it.
bool SearchKeyFrame(TAVInFile& file, int64_t target, bool withAudio, bool firstOnly) {
  TTrack& video = file.Video;
  const int64_t last = file.FullyParsed() && target > 0 ? target - 1 : target;
  int64_t n = target;
  for (;;) {
    file.Flush();
    file.Seek(n, withAudio);
    TAVPacket* packet = nullptr;
    bool queued = false;
    if (file.ReadPacket(packet, video.StreamIndex) == 0) {
      // A reordered AVI key packet's index is where its picture shows at the
      // earliest: pictures stored after it may show before it.
      const int64_t stamp = packet->pts != AV_NOPTS_VALUE
                                ? packet->pts
                                : (file.AviReorders() ? packet->dts : AV_NOPTS_VALUE);
      if (stamp != AV_NOPTS_VALUE && video.TicksPerFrame > 0)
        video.KeyFramePos = int32_t(file.FrameOfStamp(double(stamp)));
      video.DecodedSinceSeek = int32_t(n);
      const bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
      queued = key && (video.KeyFramePos <= last || firstOnly);
      if (queued)
        video.PacketQueue->Push(std::move(packet));
      else
        FreePacket(packet);
    }
    if (queued || n <= 0 || firstOnly) return queued;
    n -= 1;
  }
}

int SeekFileToFrame(TAVInFile& file, TAVScreen& screen, int64_t frame, bool withAudio,
                    TAVInFile* prevFile, uint8_t firstFrame) {
  TTrack& video = file.Video;
  if (frame < 0) frame = 0;
  video.TargetFrame = int32_t(frame);
  // AVI seeks every stream at once; a separate sound seek only costs time.
  if (file.FormatName() == "avi") withAudio = false;
  int64_t searchFrom = frame;
  int result = drEnd;
  for (int search = 0; search < kMaxSearches; ++search) {
    result = DecodeToFrame(file, screen, frame, searchFrom, withAudio, prevFile, firstFrame);
    // A key picture stamped earlier than it shows makes the pictures after it
    // jump to their own slots, past the target: a key frame before it serves.
    if (result != drPicture || video.FramePos <= frame + 1 || file.IsImage) break;
    searchFrom = std::min<int64_t>(searchFrom, video.KeyFramePos) - 1;
    if (searchFrom < 0) break;
  }
  if (video.FramePos > 0) video.SeekFrame = int32_t(video.FramePos - 1);
  TTrack& audio = file.Audio[0];
  audio.SkipTicks = std::llround(file.FrameTicks(audio, video.SeekFrame));
  if (file.WaveBuf && video.FrameRate > 0)
    audio.DeliveredBytes =
        std::llround(file.FrameSeconds(video.SeekFrame) * file.WaveBuf->OutRate) *
        file.WaveBuf->OutChannels * 2;
  return result;
}

}  // namespace vexo
