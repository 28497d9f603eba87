#include "engine/input/av_in_file.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>

#include "engine/input/audio_streams.h"
#include "engine/input/heif_photo.h"
#include "engine/media/av_log.h"
#include "engine/media/av_types.h"
#include "engine/media/decoder_names.h"
#include "engine/media/exif_orientation.h"
#include "engine/media/media_lib.h"

namespace vexo {

namespace {

// Files whose size a scan for the last time stamp reads from the end.
constexpr int64_t kTailScanBytes = 1 << 20;
// Seconds before the end where the scan of a container seekable only by time
// starts. Its seek goes back to a key picture, so the end is always read,
// however far apart the key pictures lie.
constexpr int64_t kTailScanSeconds = 5;
// Packets read at most while looking for the first decoded sound.
constexpr int kAudioPeekPackets = 256;

std::string LowerExtension(const std::string& fileName) {
  std::string ext = std::filesystem::path(fileName).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return ext;
}

double ToDouble(AVRational r) {
  return r.den ? double(r.num) / double(r.den) : 0.0;
}

// The picture rate the container or stream header states. It stands in for
// the decoding context's time base, which today's library leaves unset until
// the first picture is decoded.
double HeaderFrameRate(const AVStream* stream, const AVCodecContext* ctx) {
  for (AVRational rate :
       {stream->avg_frame_rate, stream->r_frame_rate, ctx ? ctx->framerate : AVRational{0, 1}})
    if (rate.num > 0 && rate.den > 0) return ToDouble(rate);
  if (stream->time_base.num > 0) return 1.0 / ToDouble(stream->time_base);
  return 0.0;
}

// The demultiplexers of single pictures: the file-name pattern reader and
// the readers of one picture format each (jpeg_pipe, png_pipe, webp_pipe ...).
bool IsPictureFormat(const std::string& format) {
  return format == "image2" ||
         (format.size() > 5 && format.compare(format.size() - 5, 5, "_pipe") == 0);
}

bool ValidDuration(int64_t duration) {
  return duration != AV_NOPTS_VALUE && duration > 0;
}

// How the stored pictures are turned to stand upright: a photo by its EXIF
// Orientation tag, a video by its stream's display matrix. The user may
// switch either off.
TPictureTurn StoredTurn(const TAVParams& params, const AVStream* stream, bool image,
                        const std::string& codecName, const std::string& fileName) {
  if (image) {
    // libheif has turned a HEIF photo by the file's own rotation and mirror,
    // which its EXIF tag repeats: it is not turned twice.
    if (!params.TurnPhotos || !(DecoderIs(codecName, "mjpeg") || DecoderIs(codecName, "png") ||
                                DecoderIs(codecName, "webp")))
      return ptNone;
    return TurnOfOrientation(ReadExifOrientation(fileName));
  }
  if (!params.TurnVideos) return ptNone;
  size_t size = 0;
  const uint8_t* matrix = ff::av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
  if (!matrix || size < 9 * sizeof(int32_t)) return ptNone;
  int32_t entries[9];
  std::memcpy(entries, matrix, sizeof entries);
  return TurnOfDisplayMatrix(entries);
}

}  // namespace

TAVInFile::TAVInFile(const std::string& fileName, std::string& error, int32_t fileIndex,
                     TAVInFile* prevFile, int32_t photoWidth, int32_t photoHeight)
    : FileIndex(fileIndex),
      PrevFileRef(prevFile),
      FileName(fileName),
      FPhotoWidth(photoWidth),
      FPhotoHeight(photoHeight) {
  error.clear();
  Ext = LowerExtension(fileName);
  StreamsInfoOK = 0;
  if (Ext == ".exe") {
    error = "not a video file";
    return;
  }
  if (!Open(prevFile, error)) return;
  FormatCtx->flags |= AVFMT_FLAG_GENPTS;
  MapStreams();
  if (Video.StreamIndex < 0) {
    error = "No video stream found";
    return;
  }
  if (Video.CodecCtx->width == 0) {
    Log("Warning: vid.CodecCtx.width = 0, setting streams_info_OK to false");
    StreamsInfoOK = 0;
  }
  if (Video.CodecCtx->codec_id == AV_CODEC_ID_NONE) {
    error = "Unknown video format";
    return;
  }
  FJpeg = Video.CodecCtx->codec_id == AV_CODEC_ID_MJPEG;
  for (TTrack* track : StreamMap)
    if (track) track->PacketQueue = std::make_unique<TAVPacketBuf>();
  if (IsImage && !StreamsInfoOK && prevFile) {
    // A photo after a photo is described by its predecessor until it becomes
    // current; probing every picture of a slideshow up front is too slow.
    Video.Width = prevFile->Video.Width;
    Video.Height = prevFile->Video.Height;
    Video.SampleAspect = prevFile->Video.SampleAspect;
    Video.HeaderPixFmt = prevFile->Video.HeaderPixFmt;
    Video.FrameCount = prevFile->Video.FrameCount;
    Video.FrameRate = prevFile->Video.FrameRate;
    return;
  }
  InitDecoders(prevFile, error);
  if (!error.empty()) return;
  OpenSubtitles();
  LowPassOn = Params.LowPassOn;
  if (LowPassOn && (AudioCount == 0 || Audio[0].SampleRate * 0.4 < double(Params.LowPassCutoff)))
    LowPassOn = 0;
  if (LowPassOn)
    for (int32_t channel = 0; channel < Audio[0].Channels; ++channel)
      LowPass.emplace_back(Params.LowPassCutoff, Params.LowPassOrder, Audio[0].SampleRate, 0.1);
}

void TAVInFile::OpenSubtitles() {
  if (IsImage || !FormatCtx) return;
  // Events are counted from the first picture, as the pictures are.
  int64_t startMs = 0;
  if (Video.Stream && Video.Stream->start_time != AV_NOPTS_VALUE && Video.Stream->start_time > 0)
    startMs = int64_t(double(Video.Stream->start_time) * av_q2d(Video.Stream->time_base) * 1000);
  Subtitles = std::make_unique<TSubtitleSet>();
  Subtitles->Open(*FormatCtx, FileName, startMs);
}

int TAVInFile::OpenContainer() {
  if (!FHeif) return ff::avformat_open_input(&FormatCtx, FileName.c_str(), nullptr, nullptr);
  FormatCtx = ff::avformat_alloc_context();
  if (!FormatCtx) return AVERROR(ENOMEM);
  FormatCtx->pb = FHeif->Reader();
  if (!FormatCtx->pb) {
    ff::avformat_free_context(FormatCtx);
    FormatCtx = nullptr;
    return AVERROR(ENOMEM);
  }
  // The demultiplexer is told the picture's size and layout, which it would
  // otherwise learn only by decoding it.
  AVDictionary* options = nullptr;
  ff::av_dict_set(&options, "video_size",
                  (std::to_string(FHeif->Width()) + "x" + std::to_string(FHeif->Height())).c_str(),
                  0);
  ff::av_dict_set(&options, "pixel_format", "rgb24", 0);
  const int opened =
      ff::avformat_open_input(&FormatCtx, FileName.c_str(), THeifPhoto::Format(), &options);
  ff::av_dict_free(&options);
  return opened;
}

int TAVInFile::ProbeStreams() {
  FProbed = true;
  if (!IsImage) return ff::avformat_find_stream_info(FormatCtx, nullptr);
  std::vector<AVDictionary*> options(FormatCtx->nb_streams, nullptr);
  for (AVDictionary*& entry : options)
    ff::av_dict_set(&entry, "max_pixels", std::to_string(kMaxPhotoPixels).c_str(), 0);
  const int probed = ff::avformat_find_stream_info(FormatCtx, options.data());
  for (AVDictionary*& entry : options) ff::av_dict_free(&entry);
  return probed;
}

// A JPEG photo of tens of megapixels shown on a screen of two: its decoder
// leaves out what the screen cannot show, as libjpeg's scaled decoding
// does, by the largest of 1/2, 1/4 and 1/8 whose picture still covers the
// photo's size on the screen. Save As copies the file itself, and rotation
// works on the file, so neither loses anything by it.
int TAVInFile::PhotoScale() const {
  if (!IsImage || FPhotoWidth <= 0 || FPhotoHeight <= 0 || Video.Width <= 0 || Video.Height <= 0 ||
      !Video.Codec || !DecoderIs(Video.CodecName, "mjpeg"))
    return 0;
  const double fit =
      std::min({1.0, double(FPhotoWidth) / Video.Width, double(FPhotoHeight) / Video.Height});
  const double shownWidth = std::ceil(Video.Width * fit),
               shownHeight = std::ceil(Video.Height * fit);
  int scale = 0;
  while (scale < std::min(3, int(Video.Codec->max_lowres)) &&
         (Video.Width >> (scale + 1)) >= shownWidth && (Video.Height >> (scale + 1)) >= shownHeight)
    ++scale;
  return scale;
}

bool TAVInFile::Open(TAVInFile* prevFile, std::string& error) {
  const char* step = "open input file";
  try {
    if (THeifPhoto::IsHeifFile(FileName)) {
      step = "decode HEIF picture";
      FHeif = std::make_unique<THeifPhoto>();
      error = FHeif->Open(FileName);
      if (!error.empty()) return false;
      // Before the demultiplexer reads it, which then reads the preview.
      if (Params.ProbeEachImage == 1 || !prevFile || !prevFile->IsImage)
        FPreviewShown = FHeif->StartWithPreview();
    }
    const int opened = OpenContainer();
    if (opened < 0) {
      FormatCtx = nullptr;
      error = "ErrorCode " + std::to_string(opened) + " on av_open_input_file";
      return false;
    }
    FInputFormat = FormatCtx->iformat;
    const std::string format = FormatName();
    // A JPEG small enough for the format probe to read to its end is taken
    // for a JPEG stream rather than a picture file; it is a photo all the same.
    if (IsPictureFormat(format)) IsImage = 1;
    // A few bytes may declare a picture of gigabytes: the size stated in the
    // header decides before a decoder sees it.
    const TDeclaredSize declared = IsImage ? DeclaredPictureSize(FileName) : TDeclaredSize{};
    if (declared.Width * declared.Height > kMaxPhotoPixels) {
      error = "Picture too large (" + std::to_string(declared.Width) + " x " +
              std::to_string(declared.Height) + ")";
      return false;
    }
    const bool probe = format == "mpeg" || format == "flv" ||
                       (!IsImage && HeaderLacksPictureRate()) ||
                       (IsImage && (Params.ProbeEachImage == 1 || !prevFile || !prevFile->IsImage));
    // The picture libheif decodes is described by its own header; where a
    // photo would be probed, it is decoded now, once, so that a damaged one
    // is known before the list plays; one with a preview is decoded beside
    // it, the preview standing in meanwhile.
    if (FHeif) {
      StreamsInfoOK = 1;
      if (probe && !FPreviewShown && !FHeif->DecodePicture()) {
        error = FHeif->DecodeError();
        return false;
      }
      return true;
    }
    if (!probe) {
      StreamsInfoOK = IsImage ? 0 : 1;
      return true;
    }
    step = "find stream info";
    const int probed = ProbeStreams();
    StreamsInfoOK = probed >= 0;
    if (probed < 0) {
      error = "ErrorCode " + std::to_string(probed) + " on av_find_stream_info";
      return false;
    }
    return true;
  } catch (...) {
    error = std::string("Unhandled error on ") + step;
    return false;
  }
}

namespace {

// A sound stream the engine can play: one of a real rate with channels.
bool UsableAudio(const AVCodecParameters* par) {
  return par->codec_type == AVMEDIA_TYPE_AUDIO && par->sample_rate > 1000 &&
         par->ch_layout.nb_channels > 0;
}

std::string StreamTag(const AVStream* stream, const char* key) {
  const AVDictionaryEntry* entry = ff::av_dict_get(stream->metadata, key, nullptr, 0);
  return entry && entry->value ? entry->value : "";
}

}  // namespace

void TAVInFile::BindTrack(TTrack& track, int32_t index) {
  track.Opened = 0;
  track.SharedFrom = -1;
  track.Queued = 1;
  track.StreamIndex = index;
  track.Stream = FormatCtx->streams[index];
  track.OwnCodecCtx = track.CodecCtx = NewDecoderContext(track.Stream);
  StreamMap[size_t(index)] = &track;
}

void TAVInFile::MapStreams() {
  AudioCount = 0;
  AudioStreams.clear();
  StreamMap.assign(std::max<size_t>(MinStreamMap, FormatCtx->nb_streams), nullptr);
  int32_t videoIndex = -1, audioIndex = -1;
  // The sound the user chose for this file before, where it is still there.
  const int32_t chosen = RememberedAudioStream(FileName);
  for (unsigned i = 0; i < FormatCtx->nb_streams; ++i) {
    const AVStream* stream = FormatCtx->streams[i];
    const AVCodecParameters* par = stream->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
      videoIndex = int32_t(i);  // the last video stream wins
    } else if (UsableAudio(par)) {
      if (AudioCount == 0 || int32_t(i) == chosen) audioIndex = int32_t(i);
      AudioCount += 1;
      AudioStreams.push_back({int32_t(i), StreamTag(stream, "language"), StreamTag(stream, "title"),
                              ff::avcodec_get_name(par->codec_id), par->ch_layout.nb_channels,
                              par->sample_rate});
    }
  }
  if (videoIndex < 0) return;
  BindTrack(Video, videoIndex);
  if (AudioCount > 0) {
    BindTrack(Audio[0], audioIndex);
    Audio[0].Resync = 1;
    Audio[0].WholePackets = 0;
    Audio[0].LimitPackets = 0;
  }
}

int32_t TAVInFile::AudioStreamIndex() const {
  return AudioCount > 0 ? Audio[0].StreamIndex : -1;
}

bool TAVInFile::SelectAudioStream(int32_t streamIndex) {
  if (!FormatCtx || Video.StreamIndex < 0 || streamIndex == AudioStreamIndex()) return false;
  const auto offered =
      std::find_if(AudioStreams.begin(), AudioStreams.end(),
                   [&](const TAudioStreamInfo& info) { return info.StreamIndex == streamIndex; });
  if (offered == AudioStreams.end() || unsigned(streamIndex) >= FormatCtx->nb_streams) return false;
  TTrack& track = Audio[0];
  // The sound handed out so far stays; the new stream goes on from its end.
  const int64_t delivered = track.DeliveredBytes;
  if (track.StreamIndex >= 0 && size_t(track.StreamIndex) < StreamMap.size())
    StreamMap[size_t(track.StreamIndex)] = nullptr;
  if (track.OwnCodecCtx) ff::avcodec_free_context(&track.OwnCodecCtx);
  track = TTrack{};
  AudioCount = int32_t(AudioStreams.size());
  BindTrack(track, streamIndex);
  track.PacketQueue = std::make_unique<TAVPacketBuf>();
  track.Resync = 1;
  ff::swr_free(&FSampleConv);
  FSampleConvFormat = -1;
  FAudioDraining = false;
  // The decoder opens at the next decode; reading the file ahead to check
  // the AAC format would move the pictures' reading too.
  SetUpAudio(nullptr, false);
  if (AudioCount == 0) return true;
  if (StartPts >= 0 && track.TicksPerSecond > 0)
    FAudioStartTicks = ff::av_rescale_q(StartPts, Video.Stream->time_base,
                                        AVRational{1, int(track.TicksPerSecond)});
  track.DeliveredBytes = delivered;
  const double bytesPerSecond = WaveBuf ? double(WaveBuf->OutRate) * WaveBuf->OutChannels * 2 : 0.0;
  if (bytesPerSecond > 0)
    track.SkipTicks = std::llround(double(delivered) / bytesPerSecond * track.TicksPerSecond);
  return true;
}

void TAVInFile::InitDecoders(TAVInFile* prevFile, std::string& error) {
  error.clear();
  if (!FormatCtx || Video.StreamIndex < 0) {
    error = "No video stream found";
    return;
  }
  // A second probe learns nothing new, and the library may fail hard on a
  // damaged file it has probed before.
  if (!StreamsInfoOK && !FProbed) {
    if (ProbeStreams() < 0) {
      error = "error on finding stream info";
      return;
    }
    StreamsInfoOK = 1;
    // The probe filled in the stream parameters; contexts made from the header
    // alone learn them now, before any of them is opened.
    for (TTrack* track : {&Video, &Audio[0]})
      if (track->Stream && track->OwnCodecCtx && !track->Opened)
        ff::avcodec_parameters_to_context(track->OwnCodecCtx, track->Stream->codecpar);
  }
  AVCodecContext* ctx = Video.CodecCtx;
  // A damaged header may claim a picture of gigabytes: the screen made for it
  // would take the machine's memory before the first picture failed.
  if (IsImage && ctx->width == 0) {
    error = "Picture cannot be decoded";
    return;
  }
  if (ctx->width == 0 ||
      ff::av_image_get_buffer_size(AV_PIX_FMT_BGRA, ctx->width, ctx->height, 1) < 0) {
    error = "Bad video stream (width=" + std::to_string(ctx->width) + ")";
    return;
  }
  if (IsImage && int64_t(ctx->width) * ctx->height > kMaxPhotoPixels) {
    error = "Picture too large (" + std::to_string(ctx->width) + " x " +
            std::to_string(ctx->height) + ")";
    return;
  }
  Video.Codec = ff::avcodec_find_decoder(ctx->codec_id);
  if (!Video.Codec) {
    error = "Can't find video decoder, codec_id = " + std::to_string(int(ctx->codec_id));
    return;
  }
  Video.CodecName = Video.Codec->name;
  Video.Width = ctx->width;
  Video.Height = ctx->height;
  // Some cameras write 320x240 into the header of MP4 files of other sizes;
  // the bit rate tells which.
  if (Ext == ".mp4" && Video.Width == 320 && Video.Height == 240) {
    if (ctx->bit_rate == 256000) {
      Video.Width = 176;
      Video.Height = 144;
    } else if (ctx->bit_rate == 2000000 || ctx->bit_rate == 3000000) {
      Video.Width = 640;
      Video.Height = 480;
    }
  }
  // A file taken from its header without probing has the aspect only where
  // the container or the stream's parameters carry it.
  AVRational sampleAspect = ctx->sample_aspect_ratio;
  for (AVRational known :
       {Video.Stream->sample_aspect_ratio, Video.Stream->codecpar->sample_aspect_ratio})
    if (sampleAspect.num <= 0 || sampleAspect.den <= 0) sampleAspect = known;
  if (sampleAspect.num > 0 && sampleAspect.den > 0) {
    Video.SampleAspect = float(ToDouble(sampleAspect));
    Video.DisplayAspect = float(Video.Width * Video.SampleAspect / Video.Height);
  } else {
    Video.SampleAspect = 1;
    Video.DisplayAspect = float(double(Video.Width) / Video.Height);
  }
  // Everything after this sees the picture as it stands upright.
  Video.Turn = StoredTurn(Params, Video.Stream, IsImage, Video.CodecName, FileName);
  if (TurnSwapsAxes(Video.Turn)) {
    std::swap(Video.Width, Video.Height);
    Video.SampleAspect = 1 / Video.SampleAspect;
    Video.DisplayAspect = 1 / Video.DisplayAspect;
  }
  OpenDecoder(tkVideo, prevFile, true);
  CountFrames();
  ComputeFrameRate();
  CollectFrameTimes();
  Video.FramePos = 0;
  Video.SeekFrame = 0;
  Video.KeyFramePos = Video.ShownFrame = Video.DecodedSinceSeek = Video.TargetFrame = 0;
  StartPts = -1;
  Video.TicksPerSecond = float(1.0 / ToDouble(Video.Stream->time_base));
  Video.TicksPerFrame = Video.FrameRate > 0 ? Video.TicksPerSecond / Video.FrameRate : 1;
  SetUpAudio(prevFile);
}

void TAVInFile::SetUpAudio(TAVInFile* prevFile, bool atOpen) {
  TTrack& track = Audio[0];
  if (!track.Stream || !track.CodecCtx || track.CodecCtx->codec_id == AV_CODEC_ID_NONE) return;
  track.Codec = ff::avcodec_find_decoder(track.CodecCtx->codec_id);
  if (!track.Codec) {
    DropAudio();  // played as silent video
    return;
  }
  track.CodecName = track.Codec->name;
  track.SampleRate = track.CodecCtx->sample_rate;
  track.Channels = track.CodecCtx->ch_layout.nb_channels;
  if (atOpen) OpenDecoder(tkAudio, prevFile, true);
  if (AudioCount == 0) return;  // the decoder failed to open
  const AVRational timeBase = track.Stream->time_base;
  track.TicksPerSecond = float(timeBase.den);
  track.TicksPerFrame = Video.FrameRate > 0 ? track.TicksPerSecond / Video.FrameRate : 1;
  track.SkipTicks = 0;
  track.DeliveredBytes = 0;
  track.PtsScale = track.DurScale = timeBase.num;
  const std::string& name = track.CodecName;
  if (atOpen && DecoderIs(name, "mpeg4aac") &&
      (track.SampleRate == 24000 || track.SampleRate == 16000))
    CorrectAacFormat(track);
  if (DecoderIs(name, "adpcm_ms")) track.PtsScale = 1;
  if (DecoderIs(name, "adpcm_ima_wav")) track.DurScale = 1;
  if (DecoderStartsWith(name, "pcm") || DecoderStartsWith(name, "libamr") ||
      DecoderStartsWith(name, "adpcm") || DecoderIs(name, "liba52"))
    track.WholePackets = 1;
  if (DecoderIs(name, "adpcm_ima_wav") && Ext == ".mov") {
    track.LimitPackets = 1;
    // Below 22050 Hz the quotient is 0, which would feed the decoder nothing.
    track.PacketLimit = track.Channels * std::max(1, track.SampleRate / 22050) * 512;
  }
}

// AAC at 24000 or 16000 Hz may carry spectral band replication, which doubles
// the output rate (and parametric stereo, which makes mono stereo) without the
// header saying so. Only the decoder knows: decode the first packet and take
// the format it reports.
void TAVInFile::CorrectAacFormat(TTrack& track) {
  AVCodecContext* ctx = NewDecoderContext(track.Stream);
  TAVPacket* packet = NewPacket();
  AVFrame* frame = ff::av_frame_alloc();
  bool decoded = false;
  if (ff::avcodec_open2(ctx, track.Codec, nullptr) >= 0 && packet && frame) {
    for (int n = 0; n < kAudioPeekPackets && !decoded; ++n) {
      if (ff::av_read_frame(FormatCtx, packet) < 0) break;
      if (packet->stream_index == track.StreamIndex && ff::avcodec_send_packet(ctx, packet) >= 0)
        decoded = ff::avcodec_receive_frame(ctx, frame) >= 0;
      ff::av_packet_unref(packet);
    }
  }
  if (decoded && frame->sample_rate > 0 && frame->ch_layout.nb_channels > 0 &&
      (frame->sample_rate != track.SampleRate || frame->ch_layout.nb_channels != track.Channels)) {
    Log("Audio: decoder output " + std::to_string(frame->sample_rate) + " Hz, " +
        std::to_string(frame->ch_layout.nb_channels) + " channels");
    track.SampleRate = frame->sample_rate;
    track.Channels = frame->ch_layout.nb_channels;
  }
  ff::av_frame_free(&frame);
  FreePacket(packet);
  ff::avcodec_free_context(&ctx);
  RewindToStart();
}

void TAVInFile::CountFrames() {
  AVStream* stream = Video.Stream;
  if (stream->nb_frames > 0) {
    // An edit list that starts between key frames keeps the pictures before
    // its start for decoding; they are counted but never shown.
    int64_t hidden = 0;
    const int entries = ff::avformat_index_get_entries_count(stream);
    for (int i = 0; i < entries; ++i) {
      const AVIndexEntry* entry = ff::avformat_index_get_entry(stream, i);
      if (entry && (entry->flags & AVINDEX_DISCARD_FRAME)) hidden += 1;
    }
    Video.FrameCount = stream->nb_frames > hidden ? stream->nb_frames - hidden : stream->nb_frames;
    return;
  }
  const std::string format = FormatName();
  // Matroska, WebM, Ogg and ASF state no frame count, and what index they
  // have lists key frames only: their pictures are timed by their stamps.
  const bool keyFrameIndex = IsMatroska() || format == "ogg" || format == "asf";
  if (format == "flv" || keyFrameIndex) {
    ScanFrameCount();
  } else if (ff::avformat_index_get_entries_count(stream) > 0 && !FullyParsed()) {
    Video.FrameCount = ff::avformat_index_get_entries_count(stream);
  } else if ((format == "mpeg" || format == "mpegts") && ValidDuration(stream->duration)) {
    Video.FrameCount = int64_t(double(stream->duration) * ToDouble(stream->time_base) *
                               HeaderFrameRate(stream, Video.CodecCtx));
  } else if (format == "mpeg" || format == "mpegts") {
    ScanFrameCount();
  } else {
    Video.FrameCount = 1;
  }
}

// Frame count from the time stamps of the video packets: FLV files are read
// whole and their video packets counted; MPEG program and transport streams
// are timed from the first video packet to the end of the last one.
void TAVInFile::ScanFrameCount() {
  const bool flv = FormatName() == "flv";
  const int32_t index = Video.StreamIndex;
  AVStream* stream = Video.Stream;
  TAVPacket* packet = NewPacket();
  int64_t first = AV_NOPTS_VALUE, last = AV_NOPTS_VALUE, top = AV_NOPTS_VALUE;
  int64_t interval = 0, tailDuration = 0, count = 0;
  auto isVideoStamp = [&] {
    return packet->stream_index == index && packet->pts != AV_NOPTS_VALUE;
  };
  FScanStamps.clear();
  FScanComplete = true;
  auto keepStamp = [&] {
    if (!(packet->flags & AV_PKT_FLAG_DISCARD)) FScanStamps.push_back(packet->pts);
  };
  if (!flv) {
    while (ff::av_read_frame(FormatCtx, packet) >= 0) {
      const bool found = isVideoStamp();
      if (found) {
        first = packet->pts;
        keepStamp();
      }
      ff::av_packet_unref(packet);
      if (found) break;
    }
    if (JumpToTail()) {
      FScanComplete = false;
      FScanStamps.clear();
    }
  }
  while (ff::av_read_frame(FormatCtx, packet) >= 0) {
    if (isVideoStamp()) {
      keepStamp();
      if (first == AV_NOPTS_VALUE) first = packet->pts;
      if (last != AV_NOPTS_VALUE && packet->pts > last &&
          (interval == 0 || packet->pts - last < interval))
        interval = packet->pts - last;
      if (top == AV_NOPTS_VALUE || packet->pts >= top) {
        top = packet->pts;
        tailDuration = packet->duration;
      }
      last = packet->pts;
      count += 1;
    }
    ff::av_packet_unref(packet);
  }
  FreePacket(packet);
  // The stream lasts to the end of its last picture, not to its start.
  if (first != AV_NOPTS_VALUE && top != AV_NOPTS_VALUE)
    stream->duration = top + (tailDuration > 0 ? tailDuration : interval) - first;
  if (flv) {
    Video.FrameCount = count;
  } else {
    Video.FrameCount = 0;
    if (ValidDuration(stream->duration))
      Video.FrameCount = int64_t(double(stream->duration) * ToDouble(stream->time_base) *
                                 HeaderFrameRate(stream, Video.CodecCtx));
    if (Video.FrameCount <= 0) Video.FrameCount = Video.CodecCtx->width > 0 ? 1 : 0;
  }
  RewindToStart();
}

// Near the end of a long file, where the scan for the last time stamp starts.
// Program and transport streams resynchronise anywhere, so a byte position
// serves. Matroska, Ogg and ASF are entered only through their own seek: a
// jump into the middle of a Matroska cluster makes the demultiplexer index
// blocks under wrong times, and every later seek lands in the wrong place.
bool TAVInFile::JumpToTail() {
  const int64_t size = FormatCtx->pb ? ff::avio_size(FormatCtx->pb) : -1;
  if (size <= kTailScanBytes) return false;
  if (FullyParsed()) {
    ff::av_seek_frame(FormatCtx, -1, size - kTailScanBytes, AVSEEK_FLAG_BYTE);
    return true;
  }
  const int64_t duration = FormatCtx->duration;
  if (duration == AV_NOPTS_VALUE || duration <= kTailScanSeconds * AV_TIME_BASE) return false;
  const int64_t start = FormatCtx->start_time != AV_NOPTS_VALUE ? FormatCtx->start_time : 0;
  const int64_t target = start + duration - kTailScanSeconds * AV_TIME_BASE;
  // A seek that fails leaves the reading where it was: the scan then reads on
  // to the end from there.
  ff::avformat_seek_file(FormatCtx, -1, std::numeric_limits<int64_t>::min(), target, target, 0);
  return true;
}

void TAVInFile::ComputeFrameRate() {
  if (IsImage) {
    Video.FrameRate = float(double(Video.FrameCount) / (Params.PhotoDurationMs / 1000.0));
    return;
  }
  const AVStream* stream = Video.Stream;
  const double headerRate = HeaderFrameRate(stream, Video.CodecCtx);
  Video.FrameRate = float(headerRate);
  if (ValidDuration(stream->duration)) {
    const double seconds = double(stream->duration) * ToDouble(stream->time_base);
    const double measured = seconds > 0 ? double(Video.FrameCount) / seconds : 0;
    if (measured > 0 && std::fabs(measured - Video.FrameRate) > 0.01 * measured)
      Video.FrameRate = float(measured);
  }
  // MPEG-2 counted by fields comes out at twice its picture rate; a stream
  // that really runs at 50 or 60 pictures a second is left alone.
  if (DecoderIs(Video.CodecName, "mpeg2video") && Video.FrameRate > 49 &&
      Video.FrameRate > 1.5 * headerRate) {
    Video.FrameRate /= 2;
    Video.FrameCount = int64_t(uint64_t(Video.FrameCount) >> 1);
  }
}

TTrack* TAVInFile::TrackOf(int32_t kind) {
  if (kind == tkVideo) return &Video;
  // Not by its stream: a suspended file has none, and its decoder context may
  // still belong to a chain that is being released.
  return AudioCount > 0 && Audio[0].StreamIndex >= 0 ? &Audio[0] : nullptr;
}

void TAVInFile::Suspend() {
  if (!FormatCtx) return;
  for (TTrack* track : {&Video, &Audio[0]}) {
    if (track->PacketQueue) track->PacketQueue->Clear();
    track->Stream = nullptr;
  }
  if (DecFrame) ff::av_frame_free(&DecFrame);
  if (DstPicture) ff::av_frame_free(&DstPicture);
  FStreamTimes.clear();
  for (unsigned i = 0; i < FormatCtx->nb_streams; ++i)
    FStreamTimes.push_back({FormatCtx->streams[i]->start_time, FormatCtx->streams[i]->duration});
  FFormatTimes = {FormatCtx->start_time, FormatCtx->duration};
  ff::avformat_close_input(&FormatCtx);
  if (FHeif) FHeif->Release();
  FSuspended = true;
}

bool TAVInFile::Resume() {
  if (!FSuspended) return FormatCtx != nullptr;
  if (OpenContainer() < 0) {
    FormatCtx = nullptr;
    Log("Could not open again: " + FileName);
    return false;
  }
  // The same probe as at the first opening, so that the streams are described
  // as they were then.
  if (FProbed) ProbeStreams();
  FormatCtx->flags |= AVFMT_FLAG_GENPTS;
  FormatCtx->start_time = FFormatTimes.Start;
  FormatCtx->duration = FFormatTimes.Duration;
  for (unsigned i = 0; i < FormatCtx->nb_streams && i < FStreamTimes.size(); ++i) {
    FormatCtx->streams[i]->start_time = FStreamTimes[i].Start;
    FormatCtx->streams[i]->duration = FStreamTimes[i].Duration;
  }
  auto rebind = [this](TTrack& track) {
    if (track.StreamIndex < 0) return true;
    if (unsigned(track.StreamIndex) >= FormatCtx->nb_streams) return false;
    track.Stream = FormatCtx->streams[track.StreamIndex];
    return true;
  };
  const bool audio = AudioCount == 0 || rebind(Audio[0]);
  if (!rebind(Video) || !audio) {
    Log("Could not open again: " + FileName);
    ff::avformat_close_input(&FormatCtx);
    Video.Stream = Audio[0].Stream = nullptr;
    return false;
  }
  // A context closed while the file was suspended could not be made afresh
  // without its stream.
  for (TTrack* track : {&Video, &Audio[0]}) {
    if (!track->Stream || track->OwnCodecCtx) continue;
    track->OwnCodecCtx = NewDecoderContext(track->Stream);
    if (!track->CodecCtx) track->CodecCtx = track->OwnCodecCtx;
  }
  FSuspended = false;
  return true;
}

void TAVInFile::SetOnPictureReady(std::function<void()> onReady) {
  if (FHeif) FHeif->SetOnReady(std::move(onReady));
}

bool TAVInFile::ShowsPreview() const {
  return FHeif && FHeif->ReadsPreview();
}

std::string TAVInFile::FormatName() const {
  return FormatCtx && FormatCtx->iformat && FormatCtx->iformat->name ? FormatCtx->iformat->name
                                                                     : "";
}

// Windows Media files, and Matroska written without a default duration,
// carry no picture rate in their header: only the packets can tell it.
bool TAVInFile::HeaderLacksPictureRate() const {
  for (unsigned i = 0; i < FormatCtx->nb_streams; ++i) {
    const AVStream* stream = FormatCtx->streams[i];
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && stream->avg_frame_rate.num <= 0 &&
        stream->r_frame_rate.num <= 0)
      return true;
  }
  return false;
}

bool TAVInFile::IsMatroska() const {
  return FormatName().rfind("matroska", 0) == 0;
}

bool TAVInFile::FullyParsed() const {
  const std::string format = FormatName();
  return format == "mpeg" || format == "mpegts" || format == "mpegvideo";
}

bool TAVInFile::AviReorders() const {
  if (FormatName() != "avi" || !Video.Stream) return false;
  return Video.Stream->codecpar->video_delay > 0 ||
         (Video.CodecCtx && Video.CodecCtx->has_b_frames > 0);
}

int64_t TAVInFile::PictureStamp() const {
  int64_t stamp = DecFrame ? DecFrame->best_effort_timestamp : AV_NOPTS_VALUE;
  // Reordered AVI pictures carry the index of the packet that let them out,
  // which runs the decoder's delay behind the picture itself.
  if (stamp != AV_NOPTS_VALUE && AviReorders() && Video.CodecCtx)
    stamp -= int64_t(std::llround(Video.CodecCtx->has_b_frames * Video.TicksPerFrame));
  return stamp;
}

bool TAVInFile::StampsPlacePictures() const {
  const std::string format = FormatName();
  return format == "avi" || format == "mpeg" || format == "mpegts";
}

int TAVInFile::RewindToStart() {
  if (!FormatCtx) return -1;
  const std::string format = FormatName();
  if (format == "mpeg" || format == "mpegts" || format == "flv") {
    const int result = ff::av_seek_frame(FormatCtx, -1, 0, AVSEEK_FLAG_BYTE);
    if (result >= 0) return result;
  }
  // A Matroska seek by the pictures drops every block stamped before the key
  // picture it lands on, and the sound's first block often is: its codec's
  // priming puts it earlier. A seek by the sound keeps both.
  if (IsMatroska()) {
    for (unsigned i = 0; i < FormatCtx->nb_streams; ++i) {
      const AVStream* stream = FormatCtx->streams[i];
      if (stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
      const int64_t first = stream->start_time != AV_NOPTS_VALUE
                                ? stream->start_time
                                : std::numeric_limits<int64_t>::min();
      const int result = ff::av_seek_frame(FormatCtx, int(i), first, AVSEEK_FLAG_BACKWARD);
      if (result >= 0) return result;
      break;
    }
  }
  const int64_t start = FormatCtx->start_time != AV_NOPTS_VALUE ? FormatCtx->start_time : 0;
  const int result =
      ff::avformat_seek_file(FormatCtx, -1, std::numeric_limits<int64_t>::min(), start, start, 0);
  // The picture demultiplexer reads a photo through the byte stream that
  // opened it, and its seek only resets its picture counter: the stream stays
  // at the photo's end, and a photo shown once would read as empty.
  if (IsImage && FormatCtx->pb) ff::avio_seek(FormatCtx->pb, 0, SEEK_SET);
  return result;
}

TAVInFile::~TAVInFile() {
  if (DecFrame) ff::av_frame_free(&DecFrame);
  if (DstPicture) ff::av_frame_free(&DstPicture);
  if (FAudioFrame) ff::av_frame_free(&FAudioFrame);
  ff::swr_free(&FSampleConv);
  // The file frees the contexts it made; a context borrowed from another file
  // (CodecCtx while sharing) is that file's to free.
  for (TTrack* track : {&Video, &Audio[0]}) {
    track->PacketQueue.reset();
    if (track->OwnCodecCtx) ff::avcodec_free_context(&track->OwnCodecCtx);
    track->CodecCtx = nullptr;
  }
  if (FormatCtx) ff::avformat_close_input(&FormatCtx);
}

}  // namespace vexo
