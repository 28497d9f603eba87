// vexo-bench playlist [ENTRIES]: time saving and loading an .asx playlist of ENTRIES paths, and
// leaving out its entries when none of their files exists.
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QStringList>
#include <atomic>
#include <vector>

#include "app/player/present_files.h"
#include "app/player/video_panel_texts.h"
#include "bench/bench_command.h"
#include "engine/playlist/av_playlist.h"

namespace vexo::bench {
namespace {

template <typename Work>
double Milliseconds(Work work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

int RunPlayList(int argc, char** argv) {
  const int entries = argc >= 2 ? std::atoi(argv[1]) : 100'000;
  if (entries < 0) {
    std::fprintf(stderr, "usage: vexo-bench playlist [ENTRIES]\n");
    return 2;
  }
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("vexo-bench-playlist-" + std::to_string(::getpid()) + ".asx"))
                               .string();
  TAVPlayList list;
  for (int i = 0; i < entries; ++i)
    list.Add("/home/user/Videos/Holidays 2023/clip & scene " + std::to_string(i) + ".mp4");

  TAVPlayList loaded;
  const double save_ms = Milliseconds([&] { list.SaveToFile(path); });
  const double load_ms = Milliseconds([&] { loaded.LoadFromFile(path); });
  const auto bytes = std::filesystem::file_size(path);
  std::filesystem::remove(path);
  std::printf("playlist: %d entries, %ju bytes: save %.1f ms, load %.1f ms\n", entries,
              static_cast<uintmax_t>(bytes), save_ms, load_ms);

  // Every file missing: each is looked up and left out of what plays.
  std::vector<std::string> paths;
  for (int i = 0; i < loaded.Count(); ++i) paths.push_back(loaded.Strings(i));
  const std::atomic<bool> never{false};
  QStringList missing;
  int present = -1;
  const double missing_ms = Milliseconds(
      [&] { present = PresentEntries(paths, FilesPresent(paths, never), missing)->Count(); });
  std::printf("playlist: %d missing entries left out in %.1f ms\n", entries, missing_ms);
  return loaded.Count() == entries && present == 0 ? 0 : 1;
}

const RegisterCommand kPlaylistCommand("playlist",
                                       "time saving and loading an .asx playlist [ENTRIES]",
                                       RunPlayList);

}  // namespace
}  // namespace vexo::bench
