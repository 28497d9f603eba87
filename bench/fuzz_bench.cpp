// vexo-bench fuzz N [MEDIA_DIR] [SEED]: N damaged copies of the media in
// MEDIA_DIR (the generated test media by default) opened, sought and decoded
// through the player control, and N damaged .asx playlists read; prints the
// cases run, the crashes and the hangs, and keeps each finding's copy.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "bench/bench_command.h"
#include "engine/media/media_lib.h"
#include "engine/playlist/av_playlist.h"
#include "tests/support/fuzz_readers.h"
#include "tests/support/input_fuzz.h"

namespace vexo::bench {
namespace {

namespace fs = std::filesystem;

// Video, photo and sound files by extension; the damaged copies keep it.
std::vector<std::string> MediaIn(const std::string& folder) {
  static const std::set<std::string> kinds = {".avi",  ".mp4",  ".mov", ".mpg", ".flv",
                                              ".ts",   ".m2ts", ".jpg", ".mp3", ".mkv",
                                              ".webm", ".ogv",  ".ogg", ".wmv", ".3gp"};
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error))
    if (entry.is_regular_file() && kinds.count(entry.path().extension().string()) &&
        entry.file_size() < 4 * 1024 * 1024)
      files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

void Print(const char* what, const test::TFuzzResult& result) {
  std::printf("%s: cases %d (opened %d), crashes %d, hangs %d\n", what, result.Cases, result.Opened,
              result.Crashes, result.Hangs);
  for (const std::string& finding : result.Findings) std::printf("  %s\n", finding.c_str());
  for (const std::string& fault : result.Faults) std::printf("  fault: %s\n", fault.c_str());
  std::fflush(stdout);
}

int RunFuzzBench(int argc, char** argv) {
  const int cases = argc >= 2 ? std::atoi(argv[1]) : 1000;
  const std::string folder =
      argc >= 3
          ? argv[2]
          : (fs::canonical("/proc/self/exe").parent_path().parent_path() / "test-media").string();
  const uint32_t seed = argc >= 4 ? uint32_t(std::strtoul(argv[3], nullptr, 10)) : 14;
  const std::vector<std::string> media = MediaIn(folder);
  if (cases <= 0 || media.empty()) {
    std::fprintf(stderr, "usage: vexo-bench fuzz N [MEDIA_DIR] [SEED] (no media in %s)\n",
                 folder.c_str());
    return 2;
  }
  if (!MediaLibLoad()) {
    std::fprintf(stderr, "the media libraries could not be loaded\n");
    return 1;
  }
  const std::string work =
      (fs::temp_directory_path() / ("vexo-fuzz-" + std::to_string(::getpid()))).string();
  test::TFuzzResult total;
  for (size_t i = 0; i < media.size(); ++i) {
    test::TFuzzRun run;
    run.Inputs = {media[i]};
    run.Cases = cases / int(media.size()) + (int(i) < cases % int(media.size()) ? 1 : 0);
    run.Seed = seed + uint32_t(i) * 7919;
    run.WorkDir = work + "/media";
    run.Extension = fs::path(media[i]).extension().string();
    run.Read = test::ReadMediaLikeThePlayer;
    test::AddFuzzResult(total, test::RunFuzz(run));
  }
  Print("media", total);

  TAVPlayList list;
  for (const std::string& file : media) list.Add(file);
  fs::create_directories(work);
  list.SaveToFile(work + "/seed.asx");
  test::TFuzzRun asx;
  asx.Inputs = {work + "/seed.asx"};
  asx.Cases = cases;
  asx.Seed = seed;
  asx.WorkDir = work + "/asx";
  asx.Extension = ".asx";
  asx.CaseSeconds = 5;
  asx.Read = test::ReadAsxPlaylist;
  const test::TFuzzResult playlists = test::RunFuzz(asx);
  Print("asx", playlists);
  test::AddFuzzResult(total, playlists);
  std::printf("cases run: %d\ncrashes: %d\nhangs: %d\nfindings kept in: %s\n", total.Cases,
              total.Crashes, total.Hangs, work.c_str());
  if (total.Findings.empty()) fs::remove_all(work);
  return test::FuzzClean(total) ? 0 : 1;
}

const RegisterCommand kFuzzCommand(
    "fuzz",
    "fuzz N [MEDIA_DIR] [SEED]: N damaged media files through the player, N damaged .asx "
    "playlists; counts crashes and hangs",
    RunFuzzBench);

}  // namespace
}  // namespace vexo::bench
