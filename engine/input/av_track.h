#pragma once
// One demultiplexed stream of an input file as the engine decodes it: the
// video track or the used audio track.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/media/av_packet_buf.h"
#include "engine/video/picture_turn.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vexo {

enum TTrackKind : int32_t { tkVideo = 0, tkAudio = 1 };

struct TTrack {
  // Name of the decoder found for the stream, as FFmpeg names it today.
  std::string CodecName;
  AVStream* Stream = nullptr;
  // The context decoding uses; may be another file's (decoder sharing).
  AVCodecContext* CodecCtx = nullptr;
  // The context this file made from the stream's parameters; the file frees it.
  AVCodecContext* OwnCodecCtx = nullptr;
  const AVCodec* Codec = nullptr;
  int32_t StreamIndex = -1;
  float TicksPerFrame = 0;
  float TicksPerSecond = 0;
  std::unique_ptr<TAVPacketBuf> PacketQueue;

  // Video.
  int64_t FrameCount = 0;
  int64_t FramePos = 0;
  int32_t SeekFrame = 0;
  int32_t KeyFramePos = 0;
  int32_t ShownFrame = 0;
  int32_t DecodedSinceSeek = 0;
  int32_t TargetFrame = 0;
  // Video whose pictures keep no one rate: each picture's presentation time in
  // stream ticks from frame 0's, in presentation order, and the end of the
  // last picture. Empty where FrameRate alone places every picture.
  std::vector<int64_t> FrameTimes;
  int64_t EndTicks = 0;

  // 1 when this track itself opened CodecCtx.
  uint8_t Opened = 0;
  // 1 when opening the decoder failed: the stream cannot be decoded, and
  // trying again would only fail again.
  uint8_t OpenFailed = 0;
  // -1, or the list index of the file whose decoder context this track uses.
  int32_t SharedFrom = -1;

  // Video.
  float FrameRate = 0;
  float DisplayAspect = 0;
  float SampleAspect = 1;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t HeaderPixFmt = 0;
  // Video: how each decoded picture is turned to stand upright. Width,
  // Height and the aspects above already describe the upright picture.
  TPictureTurn Turn = ptNone;

  // Audio: the decoder's output format.
  int32_t SampleRate = 0;
  int32_t Channels = 0;

  // Packets of this stream met while reading another stream are kept.
  uint8_t Queued = 0;
  // Audio: the next decode aligns itself to the video position.
  uint8_t Resync = 0;
  int32_t PtsScale = 1;
  int32_t DurScale = 1;
  int64_t SkipTicks = 0;
  int64_t ExpectedBytes = 0;
  int64_t DeliveredBytes = 0;
  // Audio: the decoder's output per packet cannot be predicted.
  uint8_t WholePackets = 0;
  // Audio: feed the decoder at most PacketLimit bytes at a time.
  uint8_t LimitPackets = 0;
  int32_t PacketLimit = 0;
};

// A fresh, unopened decoding context made from the stream's parameters.
AVCodecContext* NewDecoderContext(const AVStream* stream);
// Drops the pictures or sound a decoder holds. A context whose decoder never
// opened (or failed to) holds nothing, and the library must not be handed it.
void FlushDecoder(AVCodecContext* ctx);

}  // namespace vexo
