#include "app/browser/media_probe.h"

#include <QMetaObject>
#include <cmath>
#include <exception>

#include "engine/input/av_in_file.h"

namespace vexo {

TMediaInfo ProbeMediaInfo(const std::string& path) {
  TMediaInfo info;
  try {
    std::string error;
    TAVInFile file(path, error, 0, nullptr);
    if (!error.empty()) return info;
    const TTrack& video = file.Video;
    info.BiggestWidth = video.Width;
    info.BiggestHeight = video.Height;
    info.TotalFrames = int32_t(video.FrameCount);
    info.OutChannels = file.AudioCount > 0 ? file.Audio[0].Channels : 0;
    // The player's record keeps the rate to two decimals; so does this one.
    info.FrameRate = std::round(double(video.FrameRate) * 100.0) / 100.0;
    if (video.FrameRate > 0) info.Duration = double(video.FrameCount) / video.FrameRate;
  } catch (const std::exception&) {
    info = TMediaInfo{};
  }
  return info;
}

TMediaProbe::TMediaProbe(QObject* parent) : QObject(parent) {
  qRegisterMetaType<TMediaInfo>();
  // One worker: requests follow the selection, and only the last one counts.
  FPool.setMaxThreadCount(1);
}

TMediaProbe::~TMediaProbe() {
  Cancel();
  WaitIdle();
}

void TMediaProbe::Probe(const QString& path) {
  const quint64 generation = ++FGeneration;
  FPool.clear();
  // The destructor waits for the worker, so `this` outlives it; a call queued
  // to an object that is gone is dropped by Qt.
  FPool.start([this, generation, path] {
    if (FGeneration != generation) return;
    const TMediaInfo info = ProbeMediaInfo(path.toStdString());
    if (FGeneration != generation) return;
    // A newer request may come while the answer is on its way: checked again.
    QMetaObject::invokeMethod(
        this,
        [this, generation, path, info] {
          if (FGeneration == generation) emit Probed(path, info);
        },
        Qt::QueuedConnection);
  });
}

void TMediaProbe::Cancel() {
  ++FGeneration;
  FPool.clear();
}

void TMediaProbe::WaitIdle() {
  FPool.waitForDone();
}

}  // namespace vexo
