// vexo-bench browse FOLDER [--make N]: time how long the browser grid takes to
// open a folder and to collect it into a playlist, and the longest stretch in
// which the window could not react meanwhile. A plain listing of the folder
// (names and file status, as any file manager needs) is the reference. With
// --make, FOLDER is first filled with N empty video files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/browser/folder_reader.h"
#include "app/browser/shell_grid.h"
#include "app/common/language_list.h"
#include "bench/bench_command.h"
#include "engine/playlist/av_playlist.h"

namespace vexo::bench {
namespace {

// Notices how late a fast timer fires: the longest gap is the longest time the
// event loop was busy with something else.
class TBlockMeter {
 public:
  TBlockMeter() {
    FTimer.setInterval(1);
    QObject::connect(&FTimer, &QTimer::timeout,
                     [this] { FLongest = std::max(FLongest, FSince.restart()); });
  }
  void Start() {
    FLongest = 0;
    FSince.start();
    FTimer.start();
  }
  qint64 Stop() {
    FTimer.stop();
    return std::max(FLongest, FSince.elapsed());
  }

 private:
  QTimer FTimer;
  QElapsedTimer FSince;
  qint64 FLongest = 0;
};

bool WaitFor(const bool& flag, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!flag && timer.elapsed() < timeoutMs)
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
  return flag;
}

double ReferenceListingMs(const std::string& folder, int& count) {
  QElapsedTimer timer;
  timer.start();
  count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    struct stat info {};
    ::lstat(entry.path().c_str(), &info);
    ++count;
  }
  return timer.nsecsElapsed() / 1e6;
}

bool MakeFiles(const std::string& folder, int count) {
  std::filesystem::create_directories(folder);
  for (int i = 0; i < count; ++i) {
    const std::string path = folder + "/clip " + std::to_string(i) + ".avi";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    if (fd < 0) return false;
    ::close(fd);
  }
  return true;
}

int Browse(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: vexo-bench browse FOLDER [--make N]\n");
    return 2;
  }
  const std::string folder = std::filesystem::absolute(argv[1]).lexically_normal().string();
  if (argc >= 4 && std::string(argv[2]) == "--make" && !MakeFiles(folder, std::atoi(argv[3]))) {
    std::fprintf(stderr, "cannot fill %s\n", folder.c_str());
    return 1;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication app(qtArgc, qtArgv);
  LResList.Load(QCoreApplication::applicationDirPath());

  TShellGrid grid;
  grid.resize(300, 800);
  grid.show();
  grid.Init();
  TShellNode* node = nullptr;
  bool located = false;
  grid.LocatePath(QByteArray(folder.c_str()), [&](TShellNode* found) {
    node = found;
    located = true;
  });
  if (!WaitFor(located, 30000) || !node) {
    std::fprintf(stderr, "%s is not in the browser's tree\n", folder.c_str());
    return 1;
  }

  std::printf("folder %s\n", folder.c_str());
  {
    std::atomic<bool> cancel{false};
    QElapsedTimer timer;
    timer.start();
    const TFolderListing listing = ReadFolder({QByteArray(folder.c_str())}, cancel);
    std::printf("worker reading alone: %.1fms for %zu items\n", timer.nsecsElapsed() / 1e6,
                listing.Nodes.size());
  }
  std::printf("%-6s %10s %10s %8s %12s %8s\n", "round", "listing", "expand", "ratio",
              "longest-block", "items");
  TBlockMeter meter;
  constexpr int kRounds = 3;
  for (int round = 1; round <= kRounds; ++round) {
    int count = 0;
    const double referenceMs = ReferenceListingMs(folder, count);
    bool expanded = false;
    QElapsedTimer timer;
    meter.Start();
    timer.start();
    grid.ExpandNode(node, [&](bool) { expanded = true; });
    WaitFor(expanded, 60000);
    // The view lays out the new rows on its next turn; that belongs to the opening.
    QCoreApplication::processEvents();
    const double expandMs = timer.nsecsElapsed() / 1e6;
    const qint64 block = meter.Stop();
    std::printf("%-6d %8.1fms %8.1fms %8.2f %10lldms %8zu\n", round, referenceMs, expandMs,
                expandMs / std::max(referenceMs, 0.001), static_cast<long long>(block),
                node->Children.size());
    if (round < kRounds) {
      grid.CollapseNode(node);
      grid.RefreshFolder(QByteArray(folder.c_str()));
    }
  }

  grid.SelectNode(node);
  TAVPlayList list;
  bool collected = false;
  QElapsedTimer timer;
  meter.Start();
  timer.start();
  grid.AddSelectedToPlayList(list, true, false, [&](bool) { collected = true; });
  WaitFor(collected, 60000);
  const double collectMs = timer.nsecsElapsed() / 1e6;
  std::printf("collect %d files into a playlist: %.1fms, longest block %lldms\n", list.Count(),
              collectMs, static_cast<long long>(meter.Stop()));
  return 0;
}

const RegisterCommand kBrowse("browse", "FOLDER [--make N]: open a folder in the browser grid",
                              Browse);

}  // namespace
}  // namespace vexo::bench
