// Decoding the sound of an input file into the list's wave buffer and handing
// it out in chunks whose total matches the file's video length.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/input/av_in_file.h"
#include "engine/media/av_log.h"
#include "engine/media/decoder_names.h"
#include "engine/media/media_lib.h"

namespace vexo {

namespace {

// Room per packet is capped; a longer decode grows the buffer as it goes.
constexpr int64_t kMaxPacketBytes = 192000;
constexpr int64_t kUnknownPacketBytes = 65536;

void Reserve(TBuffer& buffer, int64_t bytes) {
  if (int64_t(buffer.size()) < bytes) buffer.resize(size_t(bytes));
}

// Samples the decoder drops from the front of this packet (encoder priming);
// the packet's sound really starts that much later than its time stamp.
int64_t SkippedSamples(const TAVPacket& packet) {
  size_t size = 0;
  const uint8_t* data = ff::av_packet_get_side_data(&packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
  if (!data || size < 4) return 0;
  return int64_t(data[0]) | int64_t(data[1]) << 8 | int64_t(data[2]) << 16 | int64_t(data[3]) << 24;
}

}  // namespace

bool TAVInFile::PrepareSampleConverter(const AVFrame& frame) {
  const int channels = frame.ch_layout.nb_channels;
  if (FSampleConv && frame.format == FSampleConvFormat && frame.sample_rate == FSampleConvRate &&
      channels == FSampleConvChannels)
    return true;
  ff::swr_free(&FSampleConv);
  FSampleConvFormat = -1;
  if (channels <= 0 || frame.sample_rate <= 0 || Audio[0].Channels <= 0) return false;
  AVChannelLayout in{}, out{};
  if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    ff::av_channel_layout_default(&in, channels);
  else
    ff::av_channel_layout_copy(&in, &frame.ch_layout);
  ff::av_channel_layout_default(&out, Audio[0].Channels);
  const int made =
      ff::swr_alloc_set_opts2(&FSampleConv, &out, AV_SAMPLE_FMT_S16, Audio[0].SampleRate, &in,
                              AVSampleFormat(frame.format), frame.sample_rate, 0, nullptr);
  ff::av_channel_layout_uninit(&in);
  ff::av_channel_layout_uninit(&out);
  if (made < 0 || ff::swr_init(FSampleConv) < 0) {
    ff::swr_free(&FSampleConv);
    return false;
  }
  FSampleConvFormat = frame.format;
  FSampleConvRate = frame.sample_rate;
  FSampleConvChannels = channels;
  return true;
}

// Appends one decoded frame to the wave buffer: first as 16-bit interleaved
// sound in the track's format, then through the list's converter when the
// list plays another format. Returns the output bytes added.
int64_t TAVInFile::AppendFrameSound(const AVFrame& frame, SwrContext* converter) {
  if (frame.nb_samples <= 0 || !PrepareSampleConverter(frame)) return 0;
  TWaveBuffer& wave = *WaveBuf;
  const TTrack& audio = Audio[0];
  const int64_t fileFrameBytes = int64_t(audio.Channels) * 2;
  const int64_t room =
      ff::av_rescale_rnd(ff::swr_get_delay(FSampleConv, frame.sample_rate) + frame.nb_samples,
                         audio.SampleRate, frame.sample_rate, AV_ROUND_UP) +
      16;
  TBuffer& target = converter ? wave.Temp : wave.Data;
  const int64_t offset = converter ? 0 : wave.Filled;
  Reserve(target, offset + room * fileFrameBytes);
  uint8_t* out = target.data() + offset;
  const int got =
      ff::swr_convert(FSampleConv, &out, int(room),
                      const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
  if (got <= 0) return 0;
  if (!converter) {
    wave.Filled += int32_t(got * fileFrameBytes);
    return got * fileFrameBytes;
  }
  const int64_t outFrameBytes = int64_t(wave.OutChannels) * 2;
  const int64_t outRoom = ff::av_rescale_rnd(ff::swr_get_delay(converter, audio.SampleRate) + got,
                                             wave.OutRate, audio.SampleRate, AV_ROUND_UP) +
                          16;
  Reserve(wave.Data, wave.Filled + outRoom * outFrameBytes);
  uint8_t* converted = wave.Data.data() + wave.Filled;
  const uint8_t* source = wave.Temp.data();
  const int made = ff::swr_convert(converter, &converted, int(outRoom), &source, got);
  if (made <= 0) return 0;
  wave.Filled += int32_t(made * outFrameBytes);
  return made * outFrameBytes;
}

// Sends one packet (or the end of the stream) and collects every frame the
// decoder hands out for it. Returns the decoder's output in 16-bit bytes of
// the track's format, the measure of the size check.
int64_t TAVInFile::DecodeAudioPacket(TAVPacket* packet, SwrContext* converter) {
  AVCodecContext* ctx = Audio[0].CodecCtx;
  if (!FAudioFrame) FAudioFrame = ff::av_frame_alloc();
  if (!FAudioFrame) throw std::bad_alloc();
  if (packet) {
    int sent = ff::avcodec_send_packet(ctx, packet);
    if (sent == AVERROR_EOF) {
      FlushDecoder(ctx);
      FAudioDraining = false;
      sent = ff::avcodec_send_packet(ctx, packet);
    }
    if (sent < 0) return 0;
  } else {
    FAudioDraining = true;
    ff::avcodec_send_packet(ctx, nullptr);
  }
  int64_t decoded = 0;
  while (ff::avcodec_receive_frame(ctx, FAudioFrame) >= 0) {
    decoded += int64_t(FAudioFrame->nb_samples) * Audio[0].Channels * 2;
    AppendFrameSound(*FAudioFrame, converter);
    ff::av_frame_unref(FAudioFrame);
  }
  return decoded;
}

// Decodes packets until a chunk's worth is collected or the sound ends. After
// a seek the first packet rarely starts at the target: a gap before it becomes
// silence (wait) and the part before the target is cut (trim).
void TAVInFile::CollectAudio(int64_t& waitBytes, int64_t& trimBytes, SwrContext* converter) {
  TWaveBuffer& wave = *WaveBuf;
  TTrack& audio = Audio[0];
  const int64_t outFrameBytes = int64_t(wave.OutChannels) * 2;
  const bool asf = FormatName() == "asf";
  const double ticksPerSecond = audio.TicksPerSecond > 0 ? audio.TicksPerSecond : 1;
  for (;;) {
    TAVPacket* packet = nullptr;
    int read = 0;
    while ((read = ReadPacket(packet, audio.StreamIndex)) == 0 && packet->pts != AV_NOPTS_VALUE &&
           packet->pts + packet->duration < audio.SkipTicks)
      FreePacket(packet);
    const bool readFailed = read != 0;
    if (!packet) {
      if (!FAudioDraining) DecodeAudioPacket(nullptr, converter);
      break;
    }
    const bool knownDuration = packet->duration != 0 && !asf;
    int64_t expectedDecoded = kUnknownPacketBytes;
    int64_t packetSamples = 0;
    // The first packet after opening or seeking places the sound.
    const bool placesSound = knownDuration && packet->pts != AV_NOPTS_VALUE && audio.Resync;
    if (knownDuration) {
      const double seconds = double(packet->duration) / ticksPerSecond;
      packetSamples = std::llround(seconds * audio.SampleRate);
      expectedDecoded = int64_t(std::ceil(seconds * audio.SampleRate)) * audio.Channels * 2 + 64;
      if (packet->pts != AV_NOPTS_VALUE) {
        const int rate = audio.CodecCtx->sample_rate > 0 ? audio.CodecCtx->sample_rate : 1;
        const double start =
            double(packet->pts) + double(SkippedSamples(*packet)) * ticksPerSecond / rate;
        const double skip = double(audio.SkipTicks);
        if (audio.Resync) {
          if (start > skip && wave.Filled == 0)
            waitBytes = int64_t((start - skip) / ticksPerSecond * wave.OutRate) * outFrameBytes;
          audio.Resync = 0;
        }
        if (start < skip && wave.Filled == 0 && trimBytes == 0)
          trimBytes = int64_t((skip - start) / ticksPerSecond * wave.OutRate) * outFrameBytes;
      }
    } else if (!DurationWarned) {
      Log("Warning: a_pkt.duration = 0");
      DurationWarned = 1;
    }
    Reserve(wave.Data, wave.Filled + std::min(expectedDecoded + waitBytes, kMaxPacketBytes));
    // Today's decoders take a packet whole; LimitPackets and WholePackets
    // described how far older ones read into a packet, and need nothing here.
    const int64_t decoded = DecodeAudioPacket(packet, converter);
    if (placesSound && decoded > 0)
      PlaceAfterDecoderSkip(
          packetSamples - SkippedSamples(*packet) - decoded / (audio.Channels * 2), waitBytes,
          trimBytes);
    FreePacket(packet);
    if (knownDuration && decoded > expectedDecoded && !DecoderIs(audio.CodecName, "aac"))
      throw TAVDecodeError("Decoded audio packet is larger than expected (" +
                           std::to_string(decoded) + ", expected " +
                           std::to_string(expectedDecoded) + ")");
    if (wave.Filled + waitBytes - trimBytes >= wave.ChunkBytes || readFailed) break;
  }
}

// Some decoders (Opus) drop their codec's priming samples on their own,
// without the packet saying so: the sound they hand out starts that much
// later than its packet, so less of it is cut or a little silence goes first.
// What is missing beyond the codec's stated delay belongs to the packet's end.
void TAVInFile::PlaceAfterDecoderSkip(int64_t missingSamples, int64_t& waitBytes,
                                      int64_t& trimBytes) const {
  const TTrack& audio = Audio[0];
  const int64_t dropped = std::min<int64_t>(missingSamples, audio.CodecCtx->delay);
  if (dropped <= 0 || audio.SampleRate <= 0) return;
  const TWaveBuffer& wave = *WaveBuf;
  const int64_t bytes =
      int64_t(double(dropped) / audio.SampleRate * wave.OutRate) * int64_t(wave.OutChannels) * 2;
  const int64_t cut = std::min(bytes, trimBytes);
  trimBytes -= cut;
  waitBytes += bytes - cut;
}

void TAVInFile::FilterSound(uint8_t* data, int32_t bytes) {
  const size_t channels = LowPass.size();
  if (!LowPassOn || channels == 0) return;
  for (int32_t i = 0; i + 1 < bytes; i += 2) {
    uint16_t sample;
    std::memcpy(&sample, data + i, 2);
    sample = LowPass[size_t(i / 2) % channels].Process(sample);
    std::memcpy(data + i, &sample, 2);
  }
}

void TAVInFile::HandOutSound(uint8_t*& output, int32_t& count) {
  TWaveBuffer& wave = *WaveBuf;
  TTrack& audio = Audio[0];
  int64_t piece = wave.OutBytes > 0 ? std::min(wave.Filled, wave.OutBytes) : wave.Filled;
  // Sound beyond the video's length is dropped: the next file's sound, or
  // the end of play, belongs there.
  bool rest = false;
  if (audio.ExpectedBytes > 0 && piece >= audio.ExpectedBytes - audio.DeliveredBytes) {
    piece = std::max<int64_t>(audio.ExpectedBytes - audio.DeliveredBytes, 0);
    rest = true;
  }
  if (piece < wave.Filled && !rest) {
    Reserve(FAudioOut, piece);
    std::memcpy(FAudioOut.data(), wave.Data.data(), size_t(piece));
    wave.DropFront(int32_t(piece), wave.Filled);
    wave.Filled -= int32_t(piece);
    output = FAudioOut.data();
  } else {
    output = wave.Data.data();
    wave.Filled = 0;
  }
  count = int32_t(piece);
  audio.DeliveredBytes += piece;
  FilterSound(output, count);
}

int TAVInFile::DecodeAudio(uint8_t*& output, int32_t& count, int32_t mode, TAVInFile* prevFile) {
  output = nullptr;
  count = 0;
  if (!WaveBuf) return -1;
  TWaveBuffer& wave = *WaveBuf;
  TTrack& audio = Audio[0];
  int64_t trimBytes = 0, waitBytes = 0;
  SwrContext* converter = mode == 0 ? AudioResample : EncResample;
  const int64_t outFrameBytes = int64_t(wave.OutChannels) * 2;
  audio.ExpectedBytes = LengthInSamples(wave.OutRate) * outFrameBytes;
  if (AudioCount > 0 && !audio.Opened && audio.SharedFrom < 0)
    OpenDecoder(tkAudio, prevFile, false);
  const bool decoding = AudioCount > 0 && audio.CodecCtx && ff::avcodec_is_open(audio.CodecCtx);
  const bool belowVideoLength =
      audio.ExpectedBytes > 0 && audio.DeliveredBytes < audio.ExpectedBytes;
  if (decoding && wave.Filled < wave.ChunkBytes && (belowVideoLength || audio.ExpectedBytes <= 0))
    CollectAudio(waitBytes, trimBytes, converter);
  if (wave.Filled > 0) {
    if (trimBytes > 0) {
      const int32_t cut = int32_t(std::min<int64_t>(trimBytes, wave.Filled));
      wave.DropFront(cut, wave.Filled);
      wave.Filled -= cut;
      Log("Audio trimBytes = " + std::to_string(trimBytes));
    }
    if (waitBytes > 0) {
      wave.InsertSilence(int32_t(waitBytes), wave.Filled);
      wave.Filled += int32_t(waitBytes);
      Log("Audio waitBytes = " + std::to_string(waitBytes));
    }
  }
  // Sound that ends before the video is followed by silence up to its length.
  if ((wave.Filled > 0 && wave.Filled < wave.ChunkBytes) ||
      (wave.Filled == 0 && belowVideoLength)) {
    Reserve(wave.Data, wave.ChunkBytes);
    std::memset(wave.Data.data() + wave.Filled, 0, size_t(wave.ChunkBytes - wave.Filled));
    wave.Filled = wave.ChunkBytes;
  }
  if (wave.Filled <= 0) return -1;
  HandOutSound(output, count);
  return count > 0 ? 0 : -1;
}

}  // namespace vexo
