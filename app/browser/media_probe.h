#pragma once
// What the information panel tells about one media file, learnt by opening it
// with the engine on a worker thread: a slow disk or a broken file never
// holds up the window, and only the answer for the latest request is handed
// on.
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>

#include "engine/playback/player_media_info.h"

namespace vexo {

// Opens the file and reads its header, its stream probe and its frame count;
// no picture is decoded. A file that cannot be opened gives an empty record.
TMediaInfo ProbeMediaInfo(const std::string& path);

class TMediaProbe : public QObject {
  Q_OBJECT

 public:
  explicit TMediaProbe(QObject* parent = nullptr);
  // Waits for the probe under way, if any: the media libraries must outlive it.
  ~TMediaProbe() override;

  // Starts probing `path`; an earlier request still waiting is dropped, and
  // the answer to one already running is not reported.
  void Probe(const QString& path);
  // Forgets every request made so far.
  void Cancel();
  // Blocks until no probe runs; for the owner's shutdown and for tests.
  void WaitIdle();

 signals:
  void Probed(const QString& path, const vexo::TMediaInfo& info);

 private:
  QThreadPool FPool;
  // The latest request; a worker whose number differs is stale.
  std::atomic<quint64> FGeneration{0};
};

}  // namespace vexo

Q_DECLARE_METATYPE(vexo::TMediaInfo)
