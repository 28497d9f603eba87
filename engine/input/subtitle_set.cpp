#include "engine/input/subtitle_set.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>
#include <system_error>

#include "engine/media/av_log.h"
#include "engine/media/media_lib.h"

namespace vexo {

namespace {

constexpr int64_t kOpenEnd = std::numeric_limits<int64_t>::max();
// A sidecar this large is no subtitle file.
constexpr int64_t kSidecarBytes = 32LL << 20;

bool IndexedContainer(const AVFormatContext& container) {
  const char* name = container.iformat ? container.iformat->name : nullptr;
  return name && std::string(name).rfind("mov,", 0) == 0;
}

std::string Metadata(const AVStream& stream, const char* key) {
  const AVDictionaryEntry* entry = ff::av_dict_get(stream.metadata, key, nullptr, 0);
  return entry && entry->value ? entry->value : "";
}

bool IsTextCodec(AVCodecID id) {
  const AVCodecDescriptor* desc = ff::avcodec_descriptor_get(id);
  return desc && (desc->props & AV_CODEC_PROP_TEXT_SUB);
}

// The dialogue fields after the decoder's own read order, which counts every
// decode and so differs when the same packet is read again.
std::string WithoutReadOrder(const char* ass) {
  std::string line = ass ? ass : "";
  const size_t comma = line.find(',');
  line = comma == std::string::npos ? line : line.substr(comma + 1);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

TSubtitleBitmap BitmapOfRect(const AVSubtitleRect& rect) {
  TSubtitleBitmap bitmap;
  if (rect.w <= 0 || rect.h <= 0 || !rect.data[0] || !rect.data[1] || rect.nb_colors <= 0)
    return bitmap;
  bitmap.X = rect.x;
  bitmap.Y = rect.y;
  bitmap.Width = rect.w;
  bitmap.Height = rect.h;
  const uint32_t* palette = reinterpret_cast<const uint32_t*>(rect.data[1]);
  bitmap.Pixels.resize(size_t(rect.w) * size_t(rect.h));
  for (int y = 0; y < rect.h; ++y)
    for (int x = 0; x < rect.w; ++x) {
      const uint8_t index = rect.data[0][size_t(y) * size_t(rect.linesize[0]) + size_t(x)];
      bitmap.Pixels[size_t(y) * size_t(rect.w) + size_t(x)] =
          index < rect.nb_colors ? palette[index] : 0;
    }
  return bitmap;
}

bool SameEvent(const TSubtitleEvent& a, const TSubtitleEvent& b) {
  if (a.StartMs != b.StartMs || a.EndMs != b.EndMs || a.Line != b.Line ||
      a.Bitmaps.size() != b.Bitmaps.size())
    return false;
  for (size_t i = 0; i < a.Bitmaps.size(); ++i)
    if (a.Bitmaps[i].X != b.Bitmaps[i].X || a.Bitmaps[i].Y != b.Bitmaps[i].Y ||
        a.Bitmaps[i].Pixels != b.Bitmaps[i].Pixels)
      return false;
  return true;
}

}  // namespace

bool TSubtitleStore::Add(TSubtitleEvent event) {
  auto first =
      std::lower_bound(FEvents.begin(), FEvents.end(), event.StartMs,
                       [](const TSubtitleEvent& e, int64_t start) { return e.StartMs < start; });
  for (auto it = first; it != FEvents.end() && it->StartMs == event.StartMs; ++it)
    if (SameEvent(*it, event)) return false;
  auto place =
      std::upper_bound(first, FEvents.end(), event.StartMs,
                       [](int64_t start, const TSubtitleEvent& e) { return start < e.StartMs; });
  event.Serial = ++FVersion;
  FEvents.insert(place, std::move(event));
  return true;
}

std::vector<const TSubtitleEvent*> TSubtitleStore::At(int64_t ms) const {
  std::vector<const TSubtitleEvent*> shown;
  auto end = std::upper_bound(FEvents.begin(), FEvents.end(), ms,
                              [](int64_t t, const TSubtitleEvent& e) { return t < e.StartMs; });
  for (auto it = FEvents.begin(); it != end; ++it) {
    int64_t stop = it->EndMs;
    if (stop == kOpenEnd) {
      // Until the next event that starts later.
      auto next =
          std::upper_bound(it, FEvents.end(), it->StartMs,
                           [](int64_t t, const TSubtitleEvent& e) { return t < e.StartMs; });
      stop = next == FEvents.end() ? kOpenEnd : next->StartMs;
    }
    if (ms < stop) shown.push_back(&*it);
  }
  return shown;
}

struct TSubtitleSet::TDecoder {
  AVCodecContext* Ctx = nullptr;
  int32_t StreamIndex = -1;
  TSubtitleTrack* Track = nullptr;
  ~TDecoder() {
    if (Ctx) ff::avcodec_free_context(&Ctx);
  }
};

namespace {

AVCodecContext* OpenSubtitleDecoder(const AVStream& stream) {
  const AVCodec* codec = ff::avcodec_find_decoder(stream.codecpar->codec_id);
  if (!codec) return nullptr;
  AVCodecContext* ctx = ff::avcodec_alloc_context3(codec);
  if (!ctx) return nullptr;
  if (ff::avcodec_parameters_to_context(ctx, stream.codecpar) < 0 ||
      (ctx->pkt_timebase = stream.time_base, ff::avcodec_open2(ctx, codec, nullptr) < 0)) {
    ff::avcodec_free_context(&ctx);
    return nullptr;
  }
  return ctx;
}

void DescribeTrack(TSubtitleTrack& track, const AVStream& stream, const AVCodecContext* ctx) {
  track.StreamIndex = stream.index;
  const char* name = ff::avcodec_get_name(stream.codecpar->codec_id);
  track.CodecName = name ? name : "";
  track.Language = Metadata(stream, "language");
  track.Title = Metadata(stream, "title");
  track.Text = IsTextCodec(stream.codecpar->codec_id);
  track.Default = (stream.disposition & AV_DISPOSITION_DEFAULT) != 0;
  track.Forced = (stream.disposition & AV_DISPOSITION_FORCED) != 0;
  if (ctx && ctx->subtitle_header && ctx->subtitle_header_size > 0)
    track.Header.assign(reinterpret_cast<const char*>(ctx->subtitle_header),
                        size_t(ctx->subtitle_header_size));
  track.RefWidth = stream.codecpar->width;
  track.RefHeight = stream.codecpar->height;
}

}  // namespace

TSubtitleSet::TSubtitleSet() = default;
TSubtitleSet::~TSubtitleSet() = default;

std::vector<std::string> TSubtitleSet::SidecarNames(const std::string& fileName) {
  std::vector<std::string> names;
  const std::filesystem::path video(fileName);
  for (const char* ext : {".srt", ".ass", ".ssa", ".vtt", ".SRT", ".ASS", ".SSA", ".VTT"}) {
    std::filesystem::path side = video;
    side.replace_extension(ext);
    names.push_back(side.string());
  }
  return names;
}

void TSubtitleSet::Open(AVFormatContext& container, const std::string& fileName, int64_t startMs) {
  FStartMs = startMs;
  for (unsigned i = 0; i < container.nb_streams; ++i) {
    const AVStream& stream = *container.streams[i];
    if (stream.codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE) continue;
    auto decoder = std::make_unique<TDecoder>();
    decoder->Ctx = OpenSubtitleDecoder(stream);
    auto track = std::make_unique<TSubtitleTrack>();
    DescribeTrack(*track, stream, decoder->Ctx);
    decoder->StreamIndex = int32_t(i);
    decoder->Track = track.get();
    FTracks.push_back(std::move(track));
    if (decoder->Ctx) FDecoders.push_back(std::move(decoder));
  }
  const int64_t size = container.pb ? ff::avio_size(container.pb) : -1;
  if (!FTracks.empty() &&
      (IndexedContainer(container) || (size >= 0 && size <= SubtitleReadWholeBytes)))
    ReadWhole(fileName, false, startMs);
  std::error_code ec;
  for (const std::string& side : SidecarNames(fileName)) {
    if (side == fileName || !std::filesystem::is_regular_file(side, ec)) continue;
    const auto bytes = std::filesystem::file_size(side, ec);
    if (ec || bytes > uint64_t(kSidecarBytes)) continue;
    // One file on a file system that ignores case is found under two names.
    const bool seen = std::any_of(FTracks.begin(), FTracks.end(), [&](const auto& track) {
      return track->Sidecar && std::filesystem::equivalent(track->Title, side, ec);
    });
    if (!seen) ReadWhole(side, true, 0);
  }
  // A sidecar is shown; a track inside the file when it is marked to be.
  FChoice = -1;
  for (size_t i = 0; i < FTracks.size() && FChoice < 0; ++i)
    if (FTracks[i]->Sidecar) FChoice = int32_t(i);
  for (size_t i = 0; i < FTracks.size() && FChoice < 0; ++i)
    if (FTracks[i]->Default || FTracks[i]->Forced) FChoice = int32_t(i);
}

void TSubtitleSet::ReadWhole(const std::string& path, bool sidecar, int64_t startMs) {
  AVFormatContext* ctx = nullptr;
  if (ff::avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) {
    if (sidecar) Log("Subtitle file not read: " + path);
    return;
  }
  std::vector<std::unique_ptr<TDecoder>> decoders(ctx->nb_streams);
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    AVStream& stream = *ctx->streams[i];
    stream.discard = AVDISCARD_ALL;
    if (stream.codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE) continue;
    TSubtitleTrack* track = nullptr;
    if (sidecar) {
      auto own = std::make_unique<TSubtitleTrack>();
      own->Sidecar = true;
      FTracks.push_back(std::move(own));
      track = FTracks.back().get();
    } else {
      for (auto& t : FTracks)
        if (t->StreamIndex == int32_t(i) && !t->Sidecar) track = t.get();
    }
    if (!track) continue;
    auto decoder = std::make_unique<TDecoder>();
    decoder->Ctx = OpenSubtitleDecoder(stream);
    if (sidecar) {
      DescribeTrack(*track, stream, decoder->Ctx);
      track->StreamIndex = -1;
      // A sidecar is named by its file.
      track->Title = path;
    }
    if (!decoder->Ctx) continue;
    decoder->Track = track;
    stream.discard = AVDISCARD_DEFAULT;
    decoders[i] = std::move(decoder);
  }
  AVPacket* packet = ff::av_packet_alloc();
  bool ended = false;
  while (packet) {
    const int read = ff::av_read_frame(ctx, packet);
    if (read < 0) {
      ended = read == AVERROR_EOF;
      break;
    }
    const int index = packet->stream_index;
    if (index >= 0 && unsigned(index) < ctx->nb_streams && decoders[size_t(index)]) {
      TDecoder& decoder = *decoders[size_t(index)];
      Decode(decoder, *decoder.Track, *packet, av_q2d(ctx->streams[index]->time_base), startMs);
    }
    ff::av_packet_unref(packet);
  }
  ff::av_packet_free(&packet);
  // A read error leaves the track to be filled as playback reads the file.
  for (auto& decoder : decoders)
    if (decoder) decoder->Track->Complete = ended || sidecar;
  ff::avformat_close_input(&ctx);
}

void TSubtitleSet::Feed(const AVStream& stream, AVPacket& packet) {
  for (auto& decoder : FDecoders)
    if (decoder->StreamIndex == stream.index && !decoder->Track->Complete)
      Decode(*decoder, *decoder->Track, packet, av_q2d(stream.time_base), FStartMs);
}

void TSubtitleSet::Decode(TDecoder& decoder, TSubtitleTrack& track, AVPacket& packet,
                          double timeBase, int64_t startMs) {
  AVSubtitle sub{};
  int got = 0;
  if (ff::avcodec_decode_subtitle2(decoder.Ctx, &sub, &got, &packet) < 0 || !got) return;
  const int64_t stamp = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
  if (stamp != AV_NOPTS_VALUE) {
    TSubtitleEvent event;
    event.StartMs = int64_t(double(stamp) * timeBase * 1000.0 + 0.5) - startMs +
                    int64_t(sub.start_display_time);
    if (sub.end_display_time > sub.start_display_time && sub.end_display_time != UINT32_MAX)
      event.EndMs = event.StartMs + int64_t(sub.end_display_time - sub.start_display_time);
    else if (packet.duration > 0)
      event.EndMs = event.StartMs + int64_t(double(packet.duration) * timeBase * 1000.0 + 0.5);
    else
      event.EndMs = kOpenEnd;
    if (track.Text) {
      for (unsigned i = 0; i < sub.num_rects; ++i)
        if (sub.rects[i]->type == SUBTITLE_ASS && sub.rects[i]->ass) {
          TSubtitleEvent line = event;
          line.Line = WithoutReadOrder(sub.rects[i]->ass);
          track.Store.Add(std::move(line));
        }
    } else {
      for (unsigned i = 0; i < sub.num_rects; ++i)
        if (sub.rects[i]->type == SUBTITLE_BITMAP) {
          TSubtitleBitmap bitmap = BitmapOfRect(*sub.rects[i]);
          if (!bitmap.Pixels.empty()) event.Bitmaps.push_back(std::move(bitmap));
        }
      if (decoder.Ctx->width > 0 && decoder.Ctx->height > 0) {
        track.RefWidth = decoder.Ctx->width;
        track.RefHeight = decoder.Ctx->height;
      }
      // An empty one ends the picture before it.
      track.Store.Add(std::move(event));
    }
  }
  ff::avsubtitle_free(&sub);
}

void TSubtitleSet::SetChoice(int32_t choice) {
  FChoice = choice >= 0 && size_t(choice) < FTracks.size() ? choice : -1;
}

TSubtitleTrack* TSubtitleSet::Shown() const {
  return FChoice >= 0 ? FTracks[size_t(FChoice)].get() : nullptr;
}

}  // namespace vexo
