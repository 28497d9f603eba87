// vexo-bench convert: the picture conversion per frame against libswscale
// doing the same conversion (point sampling, one thread) in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "bench/bench_command.h"
#include "engine/media/media_lib.h"
#include "engine/video/av_scale.h"
#include "engine/video/streaming_store.h"

namespace vexo::bench {
namespace {

struct ConvertCase {
  const char* name;
  TFourCC code;
  int32_t dstWidth, dstHeight, contentWidth, contentHeight;
  AVPixelFormat swsFormat;
  TPictureTurn turn = ptNone;
  // A source stored upright as a portrait picture, the unturned measure of
  // a turned case.
  bool portraitSource = false;
};

constexpr int32_t kSrcWidth = 1920, kSrcHeight = 1080;

const ConvertCase kCases[] = {
    {"yuv420p 1920x1080 -> ARGB", FCC_ARGB, 1920, 1080, 1920, 1080, AV_PIX_FMT_BGRA},
    {"yuv420p 1920x1080 -> YV12", FCC_YV12, 1920, 1080, 1920, 1080, AV_PIX_FMT_YUV420P},
    {"yuv420p 1920x1080 -> UYVY 1280x720 in 1280x800 with borders", FCC_UYVY, 1280, 800, 1280, 720,
     AV_PIX_FMT_UYVY422},
};

// Portrait pictures stored lying down, turned upright while converted; each
// against the unturned case above that writes as many pixels.
struct TurnedCase {
  ConvertCase turned;
  const char* unturned;
};

const TurnedCase kTurnedCases[] = {
    {{"yuv420p 1920x1080 turned 90 -> ARGB 1080x1920", FCC_ARGB, 1080, 1920, 1080, 1920,
      AV_PIX_FMT_BGRA, ptRotate90},
     "yuv420p 1080x1920 -> ARGB 1080x1920"},
    {{"yuv420p 1920x1080 turned 90 -> YV12 1080x1920", FCC_YV12, 1080, 1920, 1080, 1920,
      AV_PIX_FMT_YUV420P, ptRotate90},
     "yuv420p 1080x1920 -> YV12 1080x1920"},
    {{"yuv420p 1920x1080 turned 180 -> ARGB", FCC_ARGB, 1920, 1080, 1920, 1080, AV_PIX_FMT_BGRA,
      ptRotate180},
     "yuv420p 1920x1080 -> ARGB"},
};

// The unturned measures of the quarter turns: the same output from a
// picture stored the way it is shown.
const ConvertCase kPortraitCases[] = {
    {"yuv420p 1080x1920 -> ARGB 1080x1920", FCC_ARGB, 1080, 1920, 1080, 1920, AV_PIX_FMT_BGRA,
     ptNone, true},
    {"yuv420p 1080x1920 -> YV12 1080x1920", FCC_YV12, 1080, 1920, 1080, 1920, AV_PIX_FMT_YUV420P,
     ptNone, true},
};

// A random 4:2:0 source picture.
struct Source {
  std::vector<uint8_t> planes[3];
  TAVPicture pic;
  int32_t width, height;
  Source(int32_t sourceWidth, int32_t sourceHeight) : width(sourceWidth), height(sourceHeight) {
    std::mt19937 rng(1);
    for (int p = 0; p < 3; ++p) {
      const int32_t w = p ? width / 2 : width, h = p ? height / 2 : height;
      planes[p].resize(size_t(w) * h);
      for (auto& b : planes[p]) b = uint8_t(rng());
      pic.data[p] = planes[p].data();
      pic.linesize[p] = w;
    }
  }
};

// A destination picture laid out for a FourCC.
struct Destination {
  std::vector<uint8_t> planes[3];
  TAVPicture pic;
  explicit Destination(const ConvertCase& c) {
    const int32_t w = c.dstWidth, h = c.dstHeight;
    if (c.code == FCC_YV12) {
      for (int p = 0; p < 3; ++p) {
        const int32_t pw = p ? w / 2 : w, ph = p ? h / 2 : h;
        planes[p].resize(size_t(pw) * ph);
        pic.data[p] = planes[p].data();
        pic.linesize[p] = pw;
      }
    } else {
      const int32_t bytes = c.code == FCC_ARGB ? 4 : 2;
      planes[0].resize(size_t(w) * h * bytes);
      pic.data[0] = planes[0].data();
      pic.linesize[0] = w * bytes;
    }
  }
};

const Source& TheSource(bool portrait = false) {
  static const Source landscape(kSrcWidth, kSrcHeight), upright(kSrcHeight, kSrcWidth);
  return portrait ? upright : landscape;
}

void BM_Vexo(benchmark::State& state, const ConvertCase* c) {
  const Source& src = TheSource(c->portraitSource);
  Destination dst(*c);
  std::string err;
  for (auto _ : state) {
    const int32_t bytes =
        ConvertPicture(src.pic, dst.pic, src.width, err, 1, c->code, PIX_FMT_YUV420P, c->dstHeight,
                       c->dstWidth, c->contentHeight, c->contentWidth, src.height, c->turn);
    benchmark::DoNotOptimize(bytes);
    benchmark::ClobberMemory();
  }
  if (!err.empty()) state.SkipWithError(err.c_str());
}

// How the 32-bit rows store, against where the destination lies: one
// destination reused (in the caches, as in the cases above) or a new one
// each frame from a ring larger than the last-level cache (as a picture that
// the decoder's work has pushed out); `readBack` reads the picture after each
// conversion, as painting or the upload to the display does.
// `between` moves that many MiB through the caches before each conversion,
// as the decoder does between two pictures of the player.
struct StoreCase {
  const char* name;
  bool stream, fresh, readBack;
  int between = 0;
};

const StoreCase kStoreCases[] = {
    {"ARGB same destination, streamed", true, false, false},
    {"ARGB same destination, cached stores", false, false, false},
    {"ARGB new destination, streamed", true, true, false},
    {"ARGB new destination, cached stores", false, true, false},
    {"ARGB same destination read back, streamed", true, false, true},
    {"ARGB same destination read back, cached stores", false, false, true},
    {"ARGB new destination read back, streamed", true, true, true},
    {"ARGB new destination read back, cached stores", false, true, true},
    {"ARGB same destination read back, 16 MiB between, streamed", true, false, true, 16},
    {"ARGB same destination read back, 16 MiB between, cached stores", false, false, true, 16},
};

void BM_VexoStores(benchmark::State& state, const StoreCase* s) {
  const ConvertCase& c = kCases[0];
  const Source& src = TheSource();
  // 64 MiB of destinations: twice the last-level cache of the machines measured.
  const int ring = s->fresh ? 8 : 1;
  std::vector<Destination> dsts;
  for (int i = 0; i < ring; ++i) dsts.emplace_back(c);
  std::vector<uint8_t> shown(dsts[0].planes[0].size());
  std::vector<uint8_t> traffic(size_t(s->between) << 20), trafficCopy(traffic.size());
  const int64_t old = SetStreamingStoreBytes(s->stream ? 0 : INT64_MAX);
  std::string err;
  int next = 0;
  for (auto _ : state) {
    const Destination& dst = dsts[size_t(next)];
    next = (next + 1) % ring;
    if (!traffic.empty()) {
      state.PauseTiming();
      std::memcpy(trafficCopy.data(), traffic.data(), traffic.size());
      state.ResumeTiming();
    }
    const int32_t bytes =
        ConvertPicture(src.pic, dst.pic, src.width, err, 1, c.code, PIX_FMT_YUV420P, c.dstHeight,
                       c.dstWidth, c.contentHeight, c.contentWidth, src.height, c.turn);
    if (s->readBack) std::memcpy(shown.data(), dst.planes[0].data(), shown.size());
    benchmark::DoNotOptimize(bytes);
    benchmark::ClobberMemory();
  }
  SetStreamingStoreBytes(old);
  if (!err.empty()) state.SkipWithError(err.c_str());
}

void BM_SwScale(benchmark::State& state, const ConvertCase* c) {
  const Source& src = TheSource();
  Destination dst(*c);
  SwsContext* sws = sws_alloc_context();
  av_opt_set_int(sws, "srcw", kSrcWidth, 0);
  av_opt_set_int(sws, "srch", kSrcHeight, 0);
  av_opt_set_int(sws, "src_format", AV_PIX_FMT_YUV420P, 0);
  av_opt_set_int(sws, "dstw", c->contentWidth, 0);
  av_opt_set_int(sws, "dsth", c->contentHeight, 0);
  av_opt_set_int(sws, "dst_format", c->swsFormat, 0);
  av_opt_set_int(sws, "sws_flags", SWS_POINT, 0);
  av_opt_set_int(sws, "threads", 1, 0);
  if (sws_init_context(sws, nullptr, nullptr) < 0) {
    state.SkipWithError("sws_init_context failed");
    sws_freeContext(sws);
    return;
  }
  // The same colours as ours: an untagged high-definition picture is BT.709
  // in limited range.
  const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
  sws_setColorspaceDetails(sws, bt709, 0, bt709, 0, 0, 1 << 16, 1 << 16);
  // The same output as ours: the content rectangle of the destination,
  // bottom-up for 32 bits, chroma planes swapped for YV12.
  uint8_t* data[4] = {};
  int linesize[4] = {};
  const int32_t top = (c->dstHeight - c->contentHeight) / 2;
  const int32_t left = (c->dstWidth - c->contentWidth) / 2;
  if (c->code == FCC_ARGB) {
    linesize[0] = -dst.pic.linesize[0];
    data[0] =
        dst.pic.data[0] + ptrdiff_t(dst.pic.linesize[0]) * (c->dstHeight - 1 - top) + 4 * left;
  } else if (c->code == FCC_YV12) {
    data[0] = dst.pic.data[0], data[1] = dst.pic.data[2], data[2] = dst.pic.data[1];
    linesize[0] = dst.pic.linesize[0], linesize[1] = dst.pic.linesize[2];
    linesize[2] = dst.pic.linesize[1];
  } else {
    linesize[0] = dst.pic.linesize[0];
    data[0] = dst.pic.data[0] + ptrdiff_t(linesize[0]) * top + 2 * left;
  }
  for (auto _ : state) {
    const int rows = sws_scale(sws, src.pic.data, src.pic.linesize, 0, kSrcHeight, data, linesize);
    benchmark::DoNotOptimize(rows);
    benchmark::ClobberMemory();
  }
  sws_freeContext(sws);
}

// Keeps the fastest CPU time per frame of each case's repetitions while the
// console shows them: on a shared machine slower repetitions measure the
// neighbours.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> ms;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const std::string name = run.run_name.function_name;
      const double time = run.GetAdjustedCPUTime();
      if (!ms.count(name) || time < ms[name]) ms[name] = time;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

int RunConvert(int argc, char** argv) {
  MediaLibLoad();
  if (!MediaLibIsResolved(mlAvUtil)) {
    std::fprintf(stderr, "%s\n", MediaLibFailureText().c_str());
    return 1;
  }
  for (const ConvertCase& c : kCases) {
    benchmark::RegisterBenchmark((std::string("vexo/") + c.name).c_str(), BM_Vexo, &c)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("swscale/") + c.name).c_str(), BM_SwScale, &c)
        ->Unit(benchmark::kMillisecond);
  }
  for (const StoreCase& c : kStoreCases)
    benchmark::RegisterBenchmark((std::string("stores/") + c.name).c_str(), BM_VexoStores, &c)
        ->Unit(benchmark::kMillisecond);
  for (const ConvertCase& c : kPortraitCases)
    benchmark::RegisterBenchmark((std::string("vexo/") + c.name).c_str(), BM_Vexo, &c)
        ->Unit(benchmark::kMillisecond);
  for (const TurnedCase& t : kTurnedCases)
    benchmark::RegisterBenchmark((std::string("vexo/") + t.turned.name).c_str(), BM_Vexo, &t.turned)
        ->Unit(benchmark::kMillisecond);
  // Repetitions in shuffled order, so that ours and libswscale meet the same
  // neighbours; a command line that says otherwise wins.
  std::vector<char*> args(argv, argv + argc);
  std::string repetitions = "--benchmark_repetitions=5";
  std::string interleaving = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, {repetitions.data(), interleaving.data()});
  int count = int(args.size());
  benchmark::Initialize(&count, args.data());
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  double worst = 0;
  std::printf("\nCPU time per frame, ours against libswscale (SWS_POINT, one thread):\n");
  for (const ConvertCase& c : kCases) {
    const double ours = reporter.ms[std::string("vexo/") + c.name];
    const double theirs = reporter.ms[std::string("swscale/") + c.name];
    if (ours <= 0 || theirs <= 0) continue;
    const double ratio = ours / theirs;
    worst = std::max(worst, ratio);
    std::printf("%-62s ours %7.3f ms  swscale %7.3f ms  ratio %.3f\n", c.name, ours, theirs, ratio);
  }
  std::printf("ratio: %.3f\n", worst);
  std::printf("\nCPU time per frame, turned against unturned (same run):\n");
  for (const TurnedCase& t : kTurnedCases) {
    const double turned = reporter.ms[std::string("vexo/") + t.turned.name];
    const double plain = reporter.ms[std::string("vexo/") + t.unturned];
    if (turned <= 0 || plain <= 0) continue;
    std::printf("%-62s turned %7.3f ms  unturned %7.3f ms  ratio %.3f\n", t.turned.name, turned,
                plain, turned / plain);
  }
  return 0;
}

const RegisterCommand kConvertCommand("convert", "picture conversion per frame against libswscale",
                                      &RunConvert);

}  // namespace
}  // namespace vexo::bench
