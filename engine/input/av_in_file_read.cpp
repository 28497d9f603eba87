// Reading packets stream by stream, seeking and flushing an input file.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/input/av_in_file.h"
#include "engine/media/decoder_names.h"
#include "engine/media/media_lib.h"

namespace vexo {

namespace {

bool HasStamp(int64_t stamp) {
  return stamp != AV_NOPTS_VALUE;
}

constexpr uint8_t kSequenceHeader = 0xB3;
constexpr uint8_t kGroupOfPictures = 0xB8;
// Longer than any sound block: how far before its target a Matroska sound
// seek goes.
constexpr double kMatroskaSoundLead = 0.1;

// MPEG video packets that do not start with a sequence header or a picture
// carry their key mark by the first start code in them. Only a sequence header
// or a GOP opens a key frame: the parser's first packet after a seek may begin
// in the middle of a picture, at the picture coding extension (0xB5) that
// every MPEG-2 picture carries.
bool MpegPacketIsKey(const TAVPacket& packet) {
  const uint8_t* p = packet.data;
  for (int i = 0; i + 3 < packet.size; ++i)
    if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1)
      return p[i + 3] == kSequenceHeader || p[i + 3] == kGroupOfPictures;
  return false;
}

bool StartsWith(const TAVPacket& packet, uint32_t code) {
  if (packet.size < 4) return false;
  const uint8_t* p = packet.data;
  return (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]) == code;
}

}  // namespace

// The time stamp of frame 0. The stream's own start time is preferred to the
// first packet read, which after a seek may lie anywhere in the file; both
// sides rebase by it, the sound converted to its own ticks, so that they stay
// aligned whatever their time bases.
void TAVInFile::ResolveStartPts(const TAVPacket* firstVideoPacket) {
  if (StartPts >= 0 || !Video.Stream) return;
  const int64_t start = Video.Stream->start_time;
  if (HasStamp(start) && start >= 0)
    StartPts = start;
  else if (firstVideoPacket && HasStamp(firstVideoPacket->pts))
    StartPts = std::max<int64_t>(firstVideoPacket->pts, 0);
  else
    return;
  const TTrack& audio = Audio[0];
  FAudioStartTicks = 0;
  if (audio.Stream && audio.TicksPerSecond > 0)
    FAudioStartTicks = ff::av_rescale_q(StartPts, Video.Stream->time_base,
                                        AVRational{1, int(audio.TicksPerSecond)});
}

void TAVInFile::PrepareVideoPacket(TAVPacket& packet) {
  const std::string format = FormatName();
  if (format == "mpeg" && !StartsWith(packet, 0x000001B3) && !StartsWith(packet, 0x00000100)) {
    packet.flags &= ~AV_PKT_FLAG_KEY;
    if (MpegPacketIsKey(packet)) packet.flags |= AV_PKT_FLAG_KEY;
  }
  // An AVI stamps each packet with its index: the display slot, unless the
  // pictures are stored out of display order (B-frames). Then only the decoder
  // knows the order, and each picture's slot comes from its output order.
  if (format == "avi") packet.pts = AviReorders() ? AV_NOPTS_VALUE : packet.dts;
  if (IsImage) packet.pts = 0;
  if (packet.duration == 0) packet.duration = 1;
  ResolveStartPts(&packet);
  if (StartPts >= 0) {
    if (HasStamp(packet.pts)) packet.pts -= StartPts;
    if (HasStamp(packet.dts)) packet.dts -= StartPts;
  }
}

void TAVInFile::PrepareAudioPacket(TAVPacket& packet) {
  TTrack& audio = Audio[0];
  // Two samples per byte; the demultiplexer's durations do not count them.
  if (DecoderIs(audio.CodecName, "adpcm_ima_wav") || DecoderIs(audio.CodecName, "adpcm_ima_qt"))
    packet.duration = audio.Channels > 0 ? packet.size * 2 / audio.Channels : packet.duration;
  if (HasStamp(packet.pts)) packet.pts *= audio.PtsScale;
  if (HasStamp(packet.dts)) packet.dts *= audio.PtsScale;
  packet.duration *= audio.DurScale;
  if (StartPts >= 0) {
    if (HasStamp(packet.pts)) packet.pts -= FAudioStartTicks;
    if (HasStamp(packet.dts)) packet.dts -= FAudioStartTicks;
  }
}

// Packets that end at or before the frame last sought lie before the key frame
// the demultiplexer landed on; a packet without a time stamp cannot be judged.
// Packets before an edit list's start are kept when the seek went back to the
// key frame before it: later pictures refer to them, and the decoder drops
// their own pictures. Past a later key frame they are only the start of the
// file, read again for the sound.
bool TAVInFile::EndsAfterSeekTarget(const TTrack& track, const TAVPacket& packet) const {
  if (!HasStamp(packet.pts)) return true;
  if (packet.flags & AV_PKT_FLAG_DISCARD) return Video.SeekFrame <= 0;
  const double target = std::floor(FrameTicks(track, Video.SeekFrame) + 0.001);
  return double(packet.pts + packet.duration) > target;
}

int TAVInFile::ReadPacket(TAVPacket*& packet, int32_t streamIndex) {
  if (packet) throw TAVDecodeError("r_pkt = nil, StreamInd = " + std::to_string(streamIndex));
  if (!FormatCtx) return -1;
  TTrack* own = streamIndex >= 0 && size_t(streamIndex) < StreamMap.size()
                    ? StreamMap[size_t(streamIndex)]
                    : nullptr;
  if (own && own->PacketQueue && own->PacketQueue->Count > 0) {
    packet = own->PacketQueue->Pop();
    return 0;
  }
  ResolveStartPts(nullptr);
  const bool playAudio = !WaveBuf || WaveBuf->PlayAudio == 1;
  int result = 0;
  for (;;) {
    FreePacket(packet);
    packet = NewPacket();
    if (!packet) return -1;
    result = ff::av_read_frame(FormatCtx, packet);
    if (result < 0) break;
    const int index = packet->stream_index;
    TTrack* track =
        index >= 0 && size_t(index) < StreamMap.size() ? StreamMap[size_t(index)] : nullptr;
    if (!track) {
      if (Subtitles && unsigned(index) < FormatCtx->nb_streams)
        Subtitles->Feed(*FormatCtx->streams[index], *packet);
      continue;
    }
    if (track == &Video)
      PrepareVideoPacket(*packet);
    else
      PrepareAudioPacket(*packet);
    if (index != streamIndex) {
      // Sound is parked only for a list that decodes it.
      const bool wanted = track == &Video || (playAudio && WaveBuf);
      if (track->Queued && track->Codec && track->PacketQueue && wanted &&
          EndsAfterSeekTarget(*track, *packet))
        track->PacketQueue->Push(std::move(packet));
      continue;
    }
    if (EndsAfterSeekTarget(*track, *packet)) break;
  }
  // A fully parsed stream gives every real picture a stamp; one without is the
  // parser's leftover at the end of the file.
  if (result >= 0 && own == &Video && !HasStamp(packet->pts) && FullyParsed()) result = -1;
  if (result != 0) {
    FreePacket(packet);
    return result < 0 ? result : -1;
  }
  return 0;
}

int64_t TAVInFile::DemuxerPosition() const {
  return FormatCtx && FormatCtx->pb ? ff::avio_seek(FormatCtx->pb, 0, SEEK_CUR) : -1;
}

int TAVInFile::Seek(int64_t frame, bool withAudio) {
  int result = 0;
  if (IsImage) {
    // Always: the picture may have been read ahead without being counted.
    frame = 0;
    RewindToStart();
    Video.SeekFrame = 0;
  } else if (FormatCtx && Video.Stream) {
    ResolveStartPts(nullptr);
    const int64_t start = std::max<int64_t>(StartPts, 0);
    TTrack* audio = withAudio ? TrackOf(tkAudio) : nullptr;
    if (audio && !audio->CodecCtx) audio = nullptr;
    auto seekAudio = [&] {
      const AVRational base = audio->Stream->time_base;
      int64_t ticks = int64_t(FrameTicks(*audio, frame)) + FAudioStartTicks;
      // Matroska skips every block stamped before the target, the one that
      // holds it too: the seek goes a little further back, no earlier than
      // the sound's start.
      if (IsMatroska()) ticks -= int64_t(kMatroskaSoundLead * audio->TicksPerSecond);
      int64_t stamp = base.num > 0 ? ticks / base.num : ticks;
      if (IsMatroska() && HasStamp(audio->Stream->start_time))
        stamp = std::max(stamp, audio->Stream->start_time);
      ff::av_seek_frame(FormatCtx, audio->StreamIndex, stamp,
                        AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
      return DemuxerPosition();
    };
    int64_t audioPosition = -1;
    if (audio) {
      audioPosition = seekAudio();
      DurationWarned = 0;
    }
    // Backward: a key frame after the target would leave the frames between
    // undecodable, and some demultiplexers refuse a forward seek past the last
    // key frame altogether.
    const bool anyFrame = FormatName().rfind("mpeg", 0) == 0 || frame == Video.FrameCount - 1;
    const int flags = AVSEEK_FLAG_BACKWARD | (anyFrame ? AVSEEK_FLAG_ANY : 0);
    const int64_t stamp = int64_t(FrameTicks(Video, frame)) + start;
    // A transport stream is searched by decode stamps, and the first key
    // picture is decoded before the stream's start time: a seek by time to
    // frame 0 lands behind it.
    if (frame == 0 && FullyParsed())
      result = RewindToStart();
    else
      result = ff::av_seek_frame(FormatCtx, Video.StreamIndex, stamp, flags);
    const int64_t videoPosition = DemuxerPosition();
    // The sound's seek comes last where it is read from further back, and
    // always in Matroska, whose seek by the pictures drops the sound stamped
    // before their key picture.
    if (audioPosition > 0 &&
        (audioPosition < videoPosition || (IsMatroska() && audioPosition == videoPosition)))
      seekAudio();
    // Reading drops packets before the seek target; that target is the key
    // frame the demultiplexer went back to, or nothing would be left to decode
    // it from.
    Video.SeekFrame = int32_t(frame);
    if (!anyFrame && result >= 0) {
      const int entry = ff::av_index_search_timestamp(Video.Stream, stamp, AVSEEK_FLAG_BACKWARD);
      const AVIndexEntry* key =
          entry >= 0 ? ff::avformat_index_get_entry(Video.Stream, entry) : nullptr;
      if (key) {
        const int64_t keyFrame = FrameOfStamp(double(key->timestamp - start));
        Video.SeekFrame = int32_t(std::clamp<int64_t>(keyFrame, 0, frame));
      }
    }
  }
  Video.FramePos = frame;
  Started = 1;
  Audio[0].Resync = 1;
  return result;
}

void TAVInFile::Flush() {
  // A context taken over from another file holds this file's pictures now and
  // must forget them as well as one the file opened itself.
  if (Video.Opened || Video.SharedFrom >= 0) FlushDecoder(Video.CodecCtx);
  FVideoDraining = false;
  if (Video.PacketQueue) Video.PacketQueue->Clear();
  if (DecFrame) ff::av_frame_free(&DecFrame);
  if (DstPicture) ff::av_frame_free(&DstPicture);
  Audio[0].SkipTicks = 0;
  Audio[0].DeliveredBytes = 0;
  if (AudioCount > 0) {
    TTrack& audio = Audio[0];
    if (audio.Opened || audio.SharedFrom >= 0) FlushDecoder(audio.CodecCtx);
    FAudioDraining = false;
    if (audio.PacketQueue) audio.PacketQueue->Clear();
    if (WaveBuf) WaveBuf->Filled = 0;
  }
}

}  // namespace vexo
