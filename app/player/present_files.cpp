#include "app/player/present_files.h"

#include <sys/stat.h>

#include <QEventLoop>
#include <QMetaObject>
#include <thread>

namespace vexo {

namespace {

// Below this many entries the look-ups take less time than a thread start.
constexpr size_t kWorkerFrom = 256;

}  // namespace

std::vector<char> FilesPresent(const std::vector<std::string>& paths,
                               const std::atomic<bool>& cancel) {
  std::vector<char> present(paths.size(), 0);
  for (size_t i = 0; i < paths.size() && !cancel.load(std::memory_order_relaxed); ++i) {
    struct stat info {};
    present[i] = ::stat(paths[i].c_str(), &info) == 0 && S_ISREG(info.st_mode);
  }
  return present;
}

bool CheckFilesPresent(const std::vector<std::string>& paths,
                       const std::shared_ptr<std::atomic<bool>>& cancel,
                       std::vector<char>& present) {
  if (paths.size() < kWorkerFrom) {
    present = FilesPresent(paths, *cancel);
    return !cancel->load();
  }
  QEventLoop loop;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    present = FilesPresent(paths, *cancel);
    done.store(true);
    // Queued: the loop may not have started yet, and then quits at its start.
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  // Ends early when the application is told to quit, which ends every loop.
  loop.exec();
  const bool complete = done.load() && !cancel->load();
  cancel->store(true);
  worker.join();
  return complete;
}

}  // namespace vexo
