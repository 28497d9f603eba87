// vexo-bench decode FILE [--fourcc YV12|ARGB]: decodes the whole timeline of
// FILE as fast as it goes into a screen of the file's size, then has FFmpeg
// decode the same file alone with the same thread count, and compares.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "bench/bench_command.h"
#include "engine/av_in_file_list.h"
#include "engine/av_playlist.h"
#include "engine/av_screen.h"
#include "engine/av_types.h"
#include "engine/media_lib.h"
#include "engine/video_timeline.h"
#include "tests/support/memory_video_system.h"

namespace vexo::bench {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct TDecodeRun {
  int64_t Frames = 0;
  double Seconds = 0;
  std::string Error;
};

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
  const uint8_t mode = fourcc == FCC_YV12 ? vmDDraw : vmGDI;
  TAVScreen screen(width, height, mode, nullptr, 0, true, 0, 0, width, height,
                   float(width) / float(height));
  if (screen.FFourCC != fourcc) {
    run.Error = "the screen took " + FourCCText(screen.FFourCC);
    return run;
  }
  const auto start = Clock::now();
  while (list.DecodeVideo(screen, kDecodeConvert) == kDecodeReady) ++run.Frames;
  run.Seconds = SecondsSince(start);
  if (!screen.FErrMsg.empty()) run.Error = screen.FErrMsg;
  return run;
}

// FFmpeg alone: demultiplex and decode the video stream, nothing else.
TDecodeRun DecodeWithFFmpeg(const std::string& file) {
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
  ctx->thread_count = 0;  // as the engine's decoders: one per core
  if (!codec || ff::avcodec_open2(ctx, codec, nullptr) < 0) {
    run.Error = "cannot open the decoder";
    return run;
  }
  AVPacket* packet = ff::av_packet_alloc();
  AVFrame* frame = ff::av_frame_alloc();
  const auto start = Clock::now();
  auto drain = [&] {
    while (ff::avcodec_receive_frame(ctx, frame) == 0) {
      ++run.Frames;
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
  ff::av_frame_free(&frame);
  ff::av_packet_free(&packet);
  return run;
}

void PrintRun(const char* label, const TDecodeRun& run) {
  std::printf("%s frames: %lld\n%s seconds: %.3f\n%s fps: %.1f\n", label,
              static_cast<long long>(run.Frames), label, run.Seconds, label,
              run.Seconds > 0 ? double(run.Frames) / run.Seconds : 0.0);
}

int RunDecode(int argc, char** argv) {
  std::string file;
  TFourCC fourcc = FCC_YV12;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--fourcc") && i + 1 < argc) {
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
    std::fprintf(stderr, "usage: vexo-bench decode FILE [--fourcc YV12|ARGB]\n");
    return 2;
  }
  if (!MediaLibLoad()) {
    std::fprintf(stderr, "the media libraries could not be loaded\n");
    return 1;
  }
  const TDecodeRun ours = DecodeTimeline(file, fourcc);
  if (!ours.Error.empty()) {
    std::fprintf(stderr, "decode: %s\n", ours.Error.c_str());
    return 1;
  }
  const TDecodeRun theirs = DecodeWithFFmpeg(file);
  if (!theirs.Error.empty()) {
    std::fprintf(stderr, "ffmpeg: %s\n", theirs.Error.c_str());
    return 1;
  }
  std::printf("fourcc: %s\n", FourCCText(fourcc).c_str());
  PrintRun("vexo", ours);
  PrintRun("ffmpeg", theirs);
  std::printf("ratio: %.3f\n", theirs.Seconds > 0 ? ours.Seconds / theirs.Seconds : 0.0);
  return 0;
}

const RegisterCommand kRegister("decode",
                                "decode FILE's whole timeline into a screen [--fourcc YV12|ARGB]",
                                RunDecode);

}  // namespace
}  // namespace vexo::bench
