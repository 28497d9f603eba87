// vexo-bench open FOLDER|PLAYLIST.asx: time opening a file list and decoding
// its first picture, per file and in total. bench/make-open-media.sh makes a
// folder of photos and clips to try it on.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "bench/bench_command.h"
#include "engine/input/av_in_file_list.h"
#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"
#include "engine/playlist/av_playlist.h"
#include "engine/video/av_screen.h"

namespace vexo::bench {
namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool IsMediaFile(const std::filesystem::path& path) {
  static const std::set<std::string> kExtensions{
      ".avi", ".mov", ".flv",  ".mpg", ".mpe", ".mpeg", ".m1v",  ".mp4",  ".divx",
      ".m4v", ".jpg", ".jpeg", ".jpe", ".png", ".webp", ".heic", ".heif", ".avif"};
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return kExtensions.count(ext) > 0;
}

bool FillPlayList(const std::string& source, TAVPlayList& playList) {
  namespace fs = std::filesystem;
  if (fs::is_directory(source)) {
    std::vector<std::string> paths;
    for (const auto& entry : fs::directory_iterator(source))
      if (entry.is_regular_file() && IsMediaFile(entry.path()))
        paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    for (const std::string& path : paths) playList.Add(path);
    return true;
  }
  try {
    playList.LoadFromFile(source);
    return true;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", source.c_str(), e.what());
    return false;
  }
}

int Measure(const TAVPlayList& playList) {
  // Per file: when its opening ended, measured from the start of the list.
  std::vector<double> opened(size_t(playList.Count()), 0.0);
  const Clock::time_point start = Clock::now();
  std::string error, errorFile;
  TAVInFileList list(playList, TScreenSize{1920, 1080}, true, true, true, error, errorFile,
                     [&](TAVInFileList&, int32_t stage, int32_t index) {
                       if (stage == lpFileOpened) opened[size_t(index) - 1] = MsSince(start);
                     });
  const double openMs = MsSince(start);
  if (!error.empty()) {
    std::fprintf(stderr, "%s: %s\n", errorFile.c_str(), error.c_str());
    return 1;
  }

  TAVScreen screen(list.FrameWidth, list.FrameHeight, vmRaster, nullptr, 0, true, 0, 0,
                   list.FrameWidth, list.FrameHeight, list.FrameAspect);
  // Each file's first picture: the decode that moves the list onto it.
  std::vector<double> firstPicture(size_t(list.Count), 0.0);
  const Clock::time_point firstStart = Clock::now();
  int32_t result = list.DecodeVideo(screen, dfShow);
  firstPicture[0] = MsSince(firstStart);
  const double listFirstMs = firstPicture[0];
  // The list's decode ends only at the end of its last file or on an error.
  while (result != drEnd) {
    const int32_t file = list.CurFile;
    const Clock::time_point each = Clock::now();
    result = list.DecodeVideo(screen, dfShow);
    if (list.CurFile != file) firstPicture[size_t(list.CurFile)] = MsSince(each);
  }
  if (!screen.FErrMsg.empty())
    std::fprintf(stderr, "%s: %s\n", screen.FErrFile.c_str(), screen.FErrMsg.c_str());

  double previous = 0, openSum = 0, firstSum = 0;
  std::printf("%5s  %-40s %10s %14s\n", "file", "name", "open ms", "1st picture ms");
  for (int32_t i = 0; i < list.Count; ++i) {
    const double fileMs = opened[size_t(i)] - previous;
    previous = opened[size_t(i)];
    openSum += fileMs;
    firstSum += firstPicture[size_t(i)];
    const std::string name = std::filesystem::path(playList.Strings(i)).filename().string();
    std::printf("%5d  %-40.40s %10.3f %14.3f\n", i, name.c_str(), fileMs, firstPicture[size_t(i)]);
  }
  std::printf("files: %d (%d frames, %.1f s)\n", list.Count, list.TotalFrames, list.TotalMs / 1000);
  std::printf("open list: %.1f ms (files %.1f ms, set-up %.1f ms)\n", openMs, openSum,
              openMs - openSum);
  std::printf("first picture of the list: %.2f ms\n", listFirstMs);
  std::printf("first pictures of all files: %.1f ms\n", firstSum);
  // A photo shown by its preview: when its picture itself was ready.
  if (list.Count > 0 && list.Files[0]->ShowsPreview()) {
    std::promise<void> ready;
    std::once_flag once;
    list.Files[0]->SetOnPictureReady([&] { std::call_once(once, [&] { ready.set_value(); }); });
    ready.get_future().wait();
    std::printf("picture of the first file, after its preview: %.1f ms from the start\n",
                MsSince(start));
  }
  // What the run took at its largest: a big photo's pictures decide it.
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident memory: %.1f MiB\n", double(usage.ru_maxrss) / 1024);
  return 0;
}

int RunOpen(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: vexo-bench open FOLDER|PLAYLIST.asx\n");
    return 2;
  }
  if (!MediaLibLoad()) {
    std::fprintf(stderr, "%s\n", MediaLibFailureText().c_str());
    return 1;
  }
  TAVPlayList playList;
  int result = 1;
  if (!FillPlayList(argv[1], playList))
    result = 1;
  else if (playList.Count() == 0)
    std::fprintf(stderr, "%s: no media files\n", argv[1]);
  else
    result = Measure(playList);
  MediaLibUnload();
  return result;
}

const RegisterCommand kOpenCommand("open",
                                   "time opening a folder or playlist and decoding first pictures",
                                   &RunOpen);

}  // namespace
}  // namespace vexo::bench
