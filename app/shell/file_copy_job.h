#pragma once
// Copies one file to a new place on a worker thread, with progress and
// cancel. The copy is written under a temporary name beside the target and
// takes the target's name only once it is complete, so a copy that fails or
// is cancelled leaves neither a partial file nor a damaged earlier target;
// the source is only ever read.
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace vexo {

struct TCopyOutcome {
  bool Done = false;
  bool Cancelled = false;
  QString Error;  // the system's reason when neither done nor cancelled
};

// Bytes copied so far and the source's size.
using TCopyProgress = std::function<void(qint64 copied, qint64 total)>;

// The copy itself, on the calling thread; cancel is looked at between blocks.
TCopyOutcome CopyFileContents(const QString& source, const QString& target,
                              const std::atomic<bool>& cancel, const TCopyProgress& progress);

class TFileCopyJob : public QObject {
  Q_OBJECT

 public:
  explicit TFileCopyJob(QObject* parent = nullptr);
  // A copy still running is cancelled and its partial file removed.
  ~TFileCopyJob() override;

  // False when a copy is already running.
  bool Start(const QString& source, const QString& target);
  void Cancel();
  bool Running() const { return FWorker.joinable(); }
  const QString& Source() const { return FSource; }
  const QString& Target() const { return FTarget; }

 signals:
  // At most a few times a second, on the thread that owns the job.
  void Progress(qint64 copied, qint64 total);
  void Finished(const vexo::TCopyOutcome& outcome);

 private:
  void Stop();

  QString FSource;
  QString FTarget;
  std::atomic<bool> FCancel{false};
  std::thread FWorker;
};

}  // namespace vexo
