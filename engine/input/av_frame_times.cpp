// Pictures at their own times. Phones lower the picture rate in dim light and
// screen recorders change it freely: there one rate per file would put a
// picture far from the sound that goes with it. Such a file keeps the time of
// every picture, learnt once while it is counted; a file whose pictures one
// rate places keeps numbering by that rate alone.
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/input/av_in_file.h"
#include "engine/media/av_log.h"
#include "engine/media/media_lib.h"

namespace vexo {

namespace {

bool HasStamp(int64_t stamp) {
  return stamp != AV_NOPTS_VALUE;
}

// Every picture lies within half a picture of the slot its count gives it at
// `ticksPerFrame`: one rate shows it in time.
bool OneRatePlaces(const std::vector<int64_t>& sorted, double ticksPerFrame) {
  const double first = double(sorted.front());
  for (size_t k = 0; k < sorted.size(); ++k)
    if (std::fabs(double(sorted[k]) - first - double(k) * ticksPerFrame) > ticksPerFrame / 2)
      return false;
  return true;
}

// The last seconds of a long file, whose first pictures were not read: every
// picture follows the one before by about one picture's time.
bool StepsEvenly(const std::vector<int64_t>& sorted, double ticksPerFrame) {
  for (size_t k = 1; k < sorted.size(); ++k) {
    const double step = double(sorted[k] - sorted[k - 1]);
    if (step < ticksPerFrame / 2 || step > ticksPerFrame * 1.5) return false;
  }
  return true;
}

}  // namespace

std::vector<int64_t> TAVInFile::ReadVideoStamps() {
  std::vector<int64_t> stamps;
  std::vector<AVDiscard> discard;
  for (unsigned i = 0; i < FormatCtx->nb_streams; ++i) {
    discard.push_back(FormatCtx->streams[i]->discard);
    if (int(i) != Video.StreamIndex) FormatCtx->streams[i]->discard = AVDISCARD_ALL;
  }
  TAVPacket* packet = NewPacket();
  while (packet && ff::av_read_frame(FormatCtx, packet) >= 0) {
    if (packet->stream_index == Video.StreamIndex && HasStamp(packet->pts) &&
        !(packet->flags & AV_PKT_FLAG_DISCARD))
      stamps.push_back(packet->pts);
    ff::av_packet_unref(packet);
  }
  FreePacket(packet);
  for (unsigned i = 0; i < FormatCtx->nb_streams && i < discard.size(); ++i)
    FormatCtx->streams[i]->discard = discard[i];
  RewindToStart();
  return stamps;
}

void TAVInFile::CollectFrameTimes() {
  Video.FrameTimes.clear();
  Video.EndTicks = 0;
  std::vector<int64_t> stamps = std::move(FScanStamps);
  FScanStamps.clear();
  bool complete = FScanComplete;
  const std::string format = FormatName();
  // Only these containers stamp every picture with its own time; AVI numbers
  // them, and raw streams and MPEG streams keep their designed rate.
  const bool mov = format.rfind("mov,", 0) == 0;
  if (IsImage || !Video.Stream || Video.FrameRate <= 0 ||
      !(mov || IsMatroska() || format == "flv" || format == "ogg" || format == "asf"))
    return;
  const double ticksPerFrame = 1.0 / (av_q2d(Video.Stream->time_base) * Video.FrameRate);
  if (mov) {
    // The index holds every sample, by decoding time: even steps there mean
    // a constant rate without reading a byte of the pictures.
    stamps.clear();
    const int entries = ff::avformat_index_get_entries_count(Video.Stream);
    for (int i = 0; i < entries; ++i) {
      const AVIndexEntry* entry = ff::avformat_index_get_entry(Video.Stream, i);
      if (entry && !(entry->flags & AVINDEX_DISCARD_FRAME)) stamps.push_back(entry->timestamp);
    }
    complete = !stamps.empty();
  }
  if (stamps.size() < 2) return;
  std::sort(stamps.begin(), stamps.end());
  if (complete ? OneRatePlaces(stamps, ticksPerFrame) : StepsEvenly(stamps, ticksPerFrame)) return;
  // Decoding times differ from presentation times where pictures are
  // reordered, and a scan of the end saw only the end: the packets tell.
  if (mov || !complete) {
    stamps = ReadVideoStamps();
    std::sort(stamps.begin(), stamps.end());
    if (stamps.size() < 2 || OneRatePlaces(stamps, ticksPerFrame)) return;
  }
  // Frame 0 is where reading will rebase the stamps (the stream's start).
  const int64_t start = Video.Stream->start_time;
  const int64_t origin = HasStamp(start) && start >= 0 ? start : stamps.front();
  const int64_t lastStep = stamps.back() - stamps[stamps.size() - 2];
  for (int64_t stamp : stamps) Video.FrameTimes.push_back(stamp - origin);
  Video.EndTicks = Video.FrameTimes.back() + std::max<int64_t>(lastStep, 1);
  Video.FrameCount = int64_t(Video.FrameTimes.size());
  const double seconds = double(Video.EndTicks) * av_q2d(Video.Stream->time_base);
  if (seconds > 0) Video.FrameRate = float(double(Video.FrameCount) / seconds);
  Log("Video: " + std::to_string(Video.FrameCount) + " pictures at their own times over " +
      std::to_string(int64_t(std::llround(seconds * 1000))) + " ms");
}

double TAVInFile::FrameSeconds(int64_t frame) const {
  if (!VariableRate()) return Video.FrameRate > 0 ? double(frame) / Video.FrameRate : 0.0;
  const std::vector<int64_t>& times = Video.FrameTimes;
  const int64_t count = int64_t(times.size());
  double ticks = 0;
  if (frame < 0)
    ticks = double(frame) * Video.TicksPerFrame;
  else if (frame < count)
    ticks = double(times[size_t(frame)]);
  else
    ticks = double(Video.EndTicks) + double(frame - count) * Video.TicksPerFrame;
  return Video.TicksPerSecond > 0 ? ticks / Video.TicksPerSecond : 0.0;
}

double TAVInFile::FrameTicks(const TTrack& track, int64_t frame) const {
  if (!VariableRate()) return double(frame) * track.TicksPerFrame;
  return FrameSeconds(frame) * track.TicksPerSecond;
}

int64_t TAVInFile::FrameOfStamp(double ticks) const {
  if (!VariableRate())
    return Video.TicksPerFrame > 0 ? int64_t(std::floor(ticks / Video.TicksPerFrame + 0.5)) : 0;
  const std::vector<int64_t>& times = Video.FrameTimes;
  auto next = std::lower_bound(times.begin(), times.end(), int64_t(std::ceil(ticks)));
  if (next == times.end()) return int64_t(times.size()) - 1;
  if (next != times.begin() && ticks - double(*(next - 1)) < double(*next) - ticks) --next;
  return int64_t(next - times.begin());
}

int64_t TAVInFile::FrameAtMs(double ms) const {
  if (!VariableRate()) return int64_t(ms * Video.FrameRate / 1000.0);
  const std::vector<int64_t>& times = Video.FrameTimes;
  // A millisecond stands for the last picture that starts within it, so
  // that the millisecond a picture is reported at finds that picture again.
  const double end = std::ceil((ms + 1) * Video.TicksPerSecond / 1000.0);
  auto after = std::lower_bound(times.begin(), times.end(), int64_t(end));
  return std::max<int64_t>(0, int64_t(after - times.begin()) - 1);
}

double TAVInFile::FrameDurationMs(int64_t frame) const {
  if (!VariableRate()) return Video.FrameRate > 0 ? 1000.0 / Video.FrameRate : 0.0;
  return (FrameSeconds(frame + 1) - FrameSeconds(frame)) * 1000.0;
}

int64_t TAVInFile::LengthInSamples(int32_t rate) const {
  if (Video.FrameRate <= 0) return 0;
  if (VariableRate()) return int64_t(FrameSeconds(Video.FrameCount) * rate);
  return int64_t(double(Video.FrameCount) * rate / Video.FrameRate);
}

}  // namespace vexo
