// vexo-bench decode FILE [--fourcc YV12|ARGB] [--rounds N] [--convert]:
// decodes the whole timeline of FILE as fast as it goes into a screen of the
// file's size, has FFmpeg decode the same file alone on the same threads (with
// --convert also converting each picture with libswscale into the same
// layout), and compares the fastest round of each. bench/make-decode-media.sh
// makes the 1080p clips it is measured with.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include "bench/bench_command.h"
#include "engine/input/av_in_file_list.h"
#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"
#include "engine/playlist/av_playlist.h"
#include "engine/video/av_screen.h"
#include "engine/video/picture_colour.h"
#include "tests/support/memory_video_system.h"

namespace vexo::bench {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of every thread of the process: on a shared machine it shows
// the work done where the wall clock also shows the neighbours.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct TDecodeRun {
  int64_t Frames = 0;
  double Seconds = 0;
  double CpuSeconds = 0;
  int Threads = 0, ThreadType = 0;  // as the open decoder reports them
  std::string Error;
};

// The threads a decoder runs on: both sides must decode alike for their
// times to compare.
void NoteThreads(const AVCodecContext* ctx, TDecodeRun& run) {
  if (!ctx) return;
  run.Threads = ctx->thread_count;
  run.ThreadType = ctx->active_thread_type;
}

const char* ThreadTypeText(int type) {
  return type == FF_THREAD_FRAME ? "frame" : type == FF_THREAD_SLICE ? "slice" : "none";
}

// The engine's path: file list, decode, conversion into the screen's layout.
TDecodeRun DecodeTimeline(const std::string& file, TFourCC fourcc) {
  TDecodeRun run;
  TAVPlayList playList;
  playList.Add(file);
  std::string error, errorFile;
  // The picture is converted, not shown: sound stays off.
  TAVInFileList list(playList, TScreenSize{}, false, false, false, error, errorFile);
  if (!error.empty()) {
    run.Error = error;
    return run;
  }
  const int32_t width = list.BiggestWidth, height = list.BiggestHeight;
  list.ComputeFrameSize(width, height, false, float(width) / float(height));
  // "YV12" comes from a surface mode, "ARGB" from raster painting.
  test::TMemoryVideoSystem videos;
  const uint8_t mode = fourcc == FCC_YV12 ? vmGLShader : vmRaster;
  TAVScreen screen(width, height, mode, nullptr, 0, true, 0, 0, width, height,
                   float(width) / float(height));
  if (screen.FFourCC != fourcc) {
    run.Error = "the screen took " + FourCCText(screen.FFourCC);
    return run;
  }
  const auto start = Clock::now();
  const double cpuStart = CpuSeconds();
  while (list.DecodeVideo(screen, dfShow) == drPicture) ++run.Frames;
  run.Seconds = SecondsSince(start);
  run.CpuSeconds = CpuSeconds() - cpuStart;
  NoteThreads(list.File(0).Video.CodecCtx, run);
  if (!screen.FErrMsg.empty()) run.Error = screen.FErrMsg;
  return run;
}

// FFmpeg alone: demultiplex and decode the video stream, nothing else. The
// engine's timed loop also demultiplexes, so both sides count it; opening and
// probing stay outside on both.
// libswscale into a picture of the screen's layout, with the colours the
// engine gives the same frame.
class TReferenceConversion {
 public:
  explicit TReferenceConversion(TFourCC fourcc) : FFourCC(fourcc) {}
  ~TReferenceConversion() { sws_freeContext(FContext); }
  void Convert(const AVFrame& frame) {
    const AVPixelFormat to = FFourCC == FCC_ARGB ? AV_PIX_FMT_BGRA : AV_PIX_FMT_YUV420P;
    FContext =
        sws_getCachedContext(FContext, frame.width, frame.height, AVPixelFormat(frame.format),
                             frame.width, frame.height, to, SWS_POINT, nullptr, nullptr, nullptr);
    if (!FContext) return;
    if (FPixels.empty()) {
      FPixels.resize(size_t(av_image_get_buffer_size(to, frame.width, frame.height, 1)));
      av_image_fill_arrays(FData, FLines, FPixels.data(), to, frame.width, frame.height, 1);
    }
    const TPictureColour colour =
        ResolvedColour(ColourOfFrame(frame), frame.format, frame.width, frame.height);
    const int* table = sws_getCoefficients(SwsColourSpace(colour.Matrix));
    const int full = colour.Range == TColourRange::Full;
    sws_setColorspaceDetails(FContext, table, full, table, full, 0, 1 << 16, 1 << 16);
    sws_scale(FContext, frame.data, frame.linesize, 0, frame.height, FData, FLines);
  }

 private:
  TFourCC FFourCC;
  SwsContext* FContext = nullptr;
  std::vector<uint8_t> FPixels;
  uint8_t* FData[4] = {};
  int FLines[4] = {};
};

TDecodeRun DecodeWithFFmpeg(const std::string& file, int threads, int threadType,
                            TReferenceConversion* conversion) {
  TDecodeRun run;
  AVFormatContext* format = nullptr;
  if (ff::avformat_open_input(&format, file.c_str(), nullptr, nullptr) < 0) {
    run.Error = "cannot open";
    return run;
  }
  std::unique_ptr<AVFormatContext*, void (*)(AVFormatContext**)> closeFormat(
      &format, [](AVFormatContext** f) { ff::avformat_close_input(f); });
  ff::avformat_find_stream_info(format, nullptr);
  int index = -1;
  for (unsigned i = 0; i < format->nb_streams; ++i)
    if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
      index = int(i);
      break;
    }
  if (index < 0) {
    run.Error = "no video";
    return run;
  }
  const AVCodecParameters* par = format->streams[index]->codecpar;
  const AVCodec* codec = ff::avcodec_find_decoder(par->codec_id);
  AVCodecContext* ctx = ff::avcodec_alloc_context3(codec);
  std::unique_ptr<AVCodecContext*, void (*)(AVCodecContext**)> freeCtx(
      &ctx, [](AVCodecContext** c) { ff::avcodec_free_context(c); });
  ff::avcodec_parameters_to_context(ctx, par);
  // What the engine's decoder asked for and got; frame threading is the
  // library's default choice for this codec when both kinds are allowed.
  ctx->thread_count = threads;
  if (threadType) ctx->thread_type = threadType;
  if (!codec || ff::avcodec_open2(ctx, codec, nullptr) < 0) {
    run.Error = "cannot open the decoder";
    return run;
  }
  AVPacket* packet = ff::av_packet_alloc();
  AVFrame* frame = ff::av_frame_alloc();
  const auto start = Clock::now();
  const double cpuStart = CpuSeconds();
  auto drain = [&] {
    while (ff::avcodec_receive_frame(ctx, frame) == 0) {
      ++run.Frames;
      if (conversion) conversion->Convert(*frame);
      ff::av_frame_unref(frame);
    }
  };
  while (ff::av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == index) {
      ff::avcodec_send_packet(ctx, packet);
      drain();
    }
    ff::av_packet_unref(packet);
  }
  ff::avcodec_send_packet(ctx, nullptr);
  drain();
  run.Seconds = SecondsSince(start);
  run.CpuSeconds = CpuSeconds() - cpuStart;
  NoteThreads(ctx, run);
  ff::av_frame_free(&frame);
  ff::av_packet_free(&packet);
  return run;
}

void PrintRun(const char* label, const TDecodeRun& run) {
  std::printf("%s frames: %lld\n%s seconds: %.3f\n%s cpu seconds: %.3f\n%s fps: %.1f\n", label,
              static_cast<long long>(run.Frames), label, run.Seconds, label, run.CpuSeconds, label,
              run.Seconds > 0 ? double(run.Frames) / run.Seconds : 0.0);
  std::printf("%s threads: %d (%s)\n", label, run.Threads, ThreadTypeText(run.ThreadType));
}

// The fastest of the rounds: on a machine shared with others, slower rounds
// measure the neighbours.
void KeepFastest(TDecodeRun& best, const TDecodeRun& run) {
  if (best.Frames == 0 || run.Seconds < best.Seconds) best = run;
}

int RunDecode(int argc, char** argv) {
  std::string file;
  TFourCC fourcc = FCC_YV12;
  int rounds = 5;
  bool convert = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--convert")) {
      convert = true;
    } else if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (!std::strcmp(argv[i], "--fourcc") && i + 1 < argc) {
      const std::string name = argv[++i];
      if (name == "YV12")
        fourcc = FCC_YV12;
      else if (name == "ARGB")
        fourcc = FCC_ARGB;
      else
        file.clear(), i = argc;
    } else {
      file = argv[i];
    }
  }
  if (file.empty()) {
    std::fprintf(stderr,
                 "usage: vexo-bench decode FILE [--fourcc YV12|ARGB] [--rounds N] [--convert]\n");
    return 2;
  }
  if (!MediaLibLoad()) {
    std::fprintf(stderr, "the media libraries could not be loaded\n");
    return 1;
  }
  // The sides take turns, each going first in every other round, so that
  // neither always meets a cold cache or a clock still speeding up.
  TDecodeRun ours, theirs;
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      if ((turn == 0) == (round % 2 == 0)) {
        const TDecodeRun run = DecodeTimeline(file, fourcc);
        if (!run.Error.empty()) {
          std::fprintf(stderr, "decode: %s\n", run.Error.c_str());
          return 1;
        }
        KeepFastest(ours, run);
      } else {
        // The engine's decoder is set up by its first round.
        TReferenceConversion conversion(fourcc);
        const TDecodeRun run = DecodeWithFFmpeg(file, ours.Frames > 0 ? ours.Threads : 0,
                                                ours.ThreadType, convert ? &conversion : nullptr);
        if (!run.Error.empty()) {
          std::fprintf(stderr, "ffmpeg: %s\n", run.Error.c_str());
          return 1;
        }
        KeepFastest(theirs, run);
      }
    }
  }
  std::printf("fourcc: %s\nrounds: %d (fastest of each side)\nffmpeg converts: %s\n",
              FourCCText(fourcc).c_str(), rounds, convert ? "libswscale" : "no");
  PrintRun("vexo", ours);
  PrintRun("ffmpeg", theirs);
  std::printf("ratio: %.3f\n", theirs.Seconds > 0 ? ours.Seconds / theirs.Seconds : 0.0);
  // On a machine shared with others the processor time of the same rounds is
  // the steadier figure.
  std::printf("cpu ratio: %.3f\n",
              theirs.CpuSeconds > 0 ? ours.CpuSeconds / theirs.CpuSeconds : 0.0);
  return 0;
}

const RegisterCommand kDecodeCommand(
    "decode",
    "decode FILE's whole timeline into a screen [--fourcc YV12|ARGB] [--rounds N] [--convert]",
    RunDecode);

}  // namespace
}  // namespace vexo::bench
