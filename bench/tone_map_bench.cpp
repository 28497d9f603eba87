// vexo-bench tonemap FILE [--frames N] [--rounds N]: the processor time of
// tone mapping an HDR clip's pictures into the screen's layouts against the
// time ffmpeg's reference chain (zscale, tonemap) takes for the same
// pictures, in the same run. Ours converts pictures decoded beforehand;
// ffmpeg's chain is measured as the ffmpeg program running it, less the same
// program only decoding, both on one thread.
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_command.h"
#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"
#include "engine/video/av_scale.h"
#include "engine/video/picture_colour.h"
#include "engine/video/tone_map.h"

namespace vexo::bench {
namespace {

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The first `count` pictures of FILE's video, decoded on one thread.
std::vector<AVFrame*> DecodeFrames(const std::string& file, int count) {
  std::vector<AVFrame*> frames;
  AVFormatContext* format = nullptr;
  if (ff::avformat_open_input(&format, file.c_str(), nullptr, nullptr) < 0) return frames;
  ff::avformat_find_stream_info(format, nullptr);
  int index = -1;
  for (unsigned i = 0; i < format->nb_streams && index < 0; ++i)
    if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) index = int(i);
  AVCodecContext* ctx = nullptr;
  if (index >= 0) {
    const AVCodecParameters* par = format->streams[index]->codecpar;
    const AVCodec* codec = ff::avcodec_find_decoder(par->codec_id);
    ctx = ff::avcodec_alloc_context3(codec);
    ff::avcodec_parameters_to_context(ctx, par);
    ctx->thread_count = 1;
    if (!codec || ff::avcodec_open2(ctx, codec, nullptr) < 0) ff::avcodec_free_context(&ctx);
  }
  AVPacket* packet = ff::av_packet_alloc();
  auto drain = [&] {
    for (AVFrame* f = ff::av_frame_alloc(); ff::avcodec_receive_frame(ctx, f) == 0;
         f = ff::av_frame_alloc()) {
      if (int(frames.size()) < count)
        frames.push_back(f);
      else
        ff::av_frame_free(&f);
    }
  };
  while (ctx && int(frames.size()) < count && ff::av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == index) {
      ff::avcodec_send_packet(ctx, packet);
      drain();
    }
    ff::av_packet_unref(packet);
  }
  if (ctx) {
    ff::avcodec_send_packet(ctx, nullptr);
    drain();
  }
  ff::av_packet_free(&packet);
  ff::avcodec_free_context(&ctx);
  ff::avformat_close_input(&format);
  return frames;
}

// Processor seconds of the children that `command` runs, to its end.
double ChildSeconds(const std::string& command) {
  const double before = CpuSeconds(RUSAGE_CHILDREN);
  const int status = std::system(command.c_str());
  if (status != 0) return -1;
  return CpuSeconds(RUSAGE_CHILDREN) - before;
}

// Processor seconds per picture of ours converting every picture once.
double OursPerPicture(const std::vector<AVFrame*>& frames, TFourCC fourcc) {
  const int32_t w = frames[0]->width, h = frames[0]->height;
  std::vector<uint8_t> pixels(size_t(w) * h * 4);
  TAVPicture dst;
  if (fourcc == FCC_ARGB) {
    dst.data[0] = pixels.data();
    dst.linesize[0] = w * 4;
  } else {
    dst.data[0] = pixels.data();
    dst.data[1] = dst.data[0] + size_t(w) * h;
    dst.data[2] = dst.data[1] + size_t(w / 2) * (h / 2);
    dst.linesize[0] = w, dst.linesize[1] = dst.linesize[2] = w / 2;
  }
  std::string error;
  const double start = CpuSeconds(RUSAGE_SELF);
  for (const AVFrame* f : frames) {
    TAVPicture src;
    for (int p = 0; p < 4; ++p) src.data[p] = f->data[p], src.linesize[p] = f->linesize[p];
    src.Colour = ColourOfFrame(*f);
    ConvertPicture(src, dst, w, error, 1, fourcc, f->format, h, w, h, w, h);
  }
  return (CpuSeconds(RUSAGE_SELF) - start) / double(frames.size());
}

// Processor seconds per picture of handing every picture to the shader mode's
// device as it is (its 16-bit planes), where the shader tone-maps it.
double DeepPerPicture(const std::vector<AVFrame*>& frames) {
  const int32_t w = frames[0]->width, h = frames[0]->height;
  std::vector<uint8_t> pixels(size_t(ff::av_image_get_buffer_size(AV_PIX_FMT_YUV420P16, w, h, 1)));
  TAVPicture dst;
  ff::av_image_fill_arrays(dst.data, dst.linesize, pixels.data(), AV_PIX_FMT_YUV420P16, w, h, 1);
  const double start = CpuSeconds(RUSAGE_SELF);
  for (const AVFrame* f : frames) DeepPlanes(PictureOfFrame(*f), f->format, w, h, dst);
  return (CpuSeconds(RUSAGE_SELF) - start) / double(frames.size());
}

int RunToneMap(int argc, char** argv) {
  std::string file;
  int count = 25, rounds = 5;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--frames") && i + 1 < argc)
      count = std::max(1, std::atoi(argv[++i]));
    else if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc)
      rounds = std::max(1, std::atoi(argv[++i]));
    else
      file = argv[i];
  }
  if (file.empty()) {
    std::fprintf(stderr, "usage: vexo-bench tonemap FILE [--frames N] [--rounds N]\n");
    return 2;
  }
  if (!MediaLibLoad()) {
    std::fprintf(stderr, "the media libraries could not be loaded\n");
    return 1;
  }
  const std::vector<AVFrame*> frames = DecodeFrames(file, count);
  if (frames.empty()) {
    std::fprintf(stderr, "no pictures decoded from %s\n", file.c_str());
    return 1;
  }
  const std::string ffmpeg = "ffmpeg -nostdin -loglevel error -threads 1 -filter_threads 1 -i '" +
                             file + "' -frames:v " + std::to_string(frames.size()) + " -an ";
  const std::string chain =
      "-vf zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=hable:desat=0,"
      "zscale=t=bt709:m=bt709:r=tv,format=yuv420p ";
  // Fastest of the rounds for each: on a shared machine slower rounds
  // measure the neighbours. The sides take turns.
  double argb = 1e9, yv12 = 1e9, deep = 1e9, decode = 1e9, withChain = 1e9;
  const bool deepPlanes = HasDeepPlanes(frames[0]->format);
  for (int round = 0; round < rounds; ++round) {
    argb = std::min(argb, OursPerPicture(frames, FCC_ARGB));
    yv12 = std::min(yv12, OursPerPicture(frames, FCC_YV12));
    if (deepPlanes) deep = std::min(deep, DeepPerPicture(frames));
    const double d = ChildSeconds(ffmpeg + "-f null -");
    const double c = ChildSeconds(ffmpeg + chain + "-f null -");
    if (d < 0 || c < 0) {
      std::fprintf(stderr, "ffmpeg failed\n");
      return 1;
    }
    decode = std::min(decode, d / double(frames.size()));
    withChain = std::min(withChain, c / double(frames.size()));
  }
  const double reference = withChain - decode;
  std::printf("pictures: %zu of %dx%d, format %s, rounds: %d (fastest of each)\n", frames.size(),
              frames[0]->width, frames[0]->height, PixFmtText(frames[0]->format).c_str(), rounds);
  std::printf("ffmpeg decode only     %7.2f ms per picture\n", decode * 1e3);
  std::printf("ffmpeg decode + chain  %7.2f ms per picture\n", withChain * 1e3);
  std::printf("ffmpeg chain           %7.2f ms per picture\n", reference * 1e3);
  std::printf("ours into ARGB         %7.2f ms per picture  ratio %.3f\n", argb * 1e3,
              argb / reference);
  std::printf("ours into YV12         %7.2f ms per picture  ratio %.3f\n", yv12 * 1e3,
              yv12 / reference);
  // The shader mode's processor side: planes copied for the shader against
  // tone-mapping into YV12 on the processor.
  if (deepPlanes)
    std::printf("ours for the shader    %7.2f ms per picture  %.3f of YV12, %.2f ms saved\n",
                deep * 1e3, deep / yv12, (yv12 - deep) * 1e3);
  for (AVFrame* f : frames) ff::av_frame_free(&f);
  return 0;
}

const RegisterCommand kToneMapCommand(
    "tonemap",
    "HDR tone mapping per picture against ffmpeg's reference chain "
    "FILE [--frames N] [--rounds N]",
    RunToneMap);

}  // namespace
}  // namespace vexo::bench
