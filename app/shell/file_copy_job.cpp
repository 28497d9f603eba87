#include "app/shell/file_copy_job.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QSaveFile>
#include <chrono>
#include <vector>

namespace vexo {

namespace {

constexpr qint64 kBlockSize = 1 << 20;
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

}  // namespace

TCopyOutcome CopyFileContents(const QString& source, const QString& target,
                              const std::atomic<bool>& cancel, const TCopyProgress& progress) {
  TCopyOutcome outcome;
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly)) {
    outcome.Error = in.errorString();
    return outcome;
  }
  const qint64 total = in.size();
  QSaveFile out(target);
  // Never written in place: a failure half-way would leave the target broken.
  out.setDirectWriteFallback(false);
  if (!out.open(QIODevice::WriteOnly)) {
    outcome.Error = out.errorString();
    return outcome;
  }
  std::vector<char> block(kBlockSize);
  qint64 copied = 0;
  auto lastReport = std::chrono::steady_clock::now();
  if (progress) progress(0, total);
  for (;;) {
    if (cancel.load()) {
      out.cancelWriting();
      outcome.Cancelled = true;
      return outcome;
    }
    const qint64 got = in.read(block.data(), kBlockSize);
    if (got < 0) {
      outcome.Error = in.errorString();
      out.cancelWriting();
      return outcome;
    }
    if (got == 0) break;
    if (out.write(block.data(), got) != got) {
      outcome.Error = out.errorString();
      out.cancelWriting();
      return outcome;
    }
    copied += got;
    const auto now = std::chrono::steady_clock::now();
    if (progress && now - lastReport >= kProgressInterval) {
      lastReport = now;
      progress(copied, total);
    }
  }
  // The copy keeps the source's permissions and time of change, as a file
  // manager's copy does.
  out.setPermissions(in.permissions());
  out.setFileTime(QFileInfo(in).lastModified(), QFileDevice::FileModificationTime);
  if (!out.commit()) {
    outcome.Error = out.errorString();
    return outcome;
  }
  if (progress) progress(copied, total);
  outcome.Done = true;
  return outcome;
}

TFileCopyJob::TFileCopyJob(QObject* parent) : QObject(parent) {
  qRegisterMetaType<vexo::TCopyOutcome>("vexo::TCopyOutcome");
}

TFileCopyJob::~TFileCopyJob() {
  Stop();
}

bool TFileCopyJob::Start(const QString& source, const QString& target) {
  if (Running()) return false;
  FSource = source;
  FTarget = target;
  FCancel = false;
  FWorker = std::thread([this, source, target] {
    const TCopyOutcome outcome =
        CopyFileContents(source, target, FCancel, [this](qint64 copied, qint64 total) {
          QMetaObject::invokeMethod(
              this, [this, copied, total] { emit Progress(copied, total); }, Qt::QueuedConnection);
        });
    // The worker has nothing left to do once this arrives.
    QMetaObject::invokeMethod(
        this,
        [this, outcome] {
          if (FWorker.joinable()) FWorker.join();
          emit Finished(outcome);
        },
        Qt::QueuedConnection);
  });
  return true;
}

void TFileCopyJob::Cancel() {
  FCancel = true;
}

void TFileCopyJob::Stop() {
  if (!FWorker.joinable()) return;
  FCancel = true;
  FWorker.join();
}

}  // namespace vexo
