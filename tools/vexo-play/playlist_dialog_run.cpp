#include "tools/vexo-play/playlist_dialog_run.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>

#include "app/player/player_widget.h"
#include "app/playlist/playlist_dialog.h"
#include "app/playlist/playlist_run.h"
#include "app/settings/options.h"
#include "engine/playlist/av_playlist.h"
#include "tools/vexo-play/dialog_modes.h"

namespace vexo::play {

int RunPlaylistDialog(QWidget* owner, TPlayerWidget& player, const TPlDialogRun& run,
                      const std::function<void(const QString&)>& print) {
  TOptions options;
  options.LoadSave(false);
  TPLSelectionInfo selection;
  for (const QString& path : run.Selection) {
    const QFileInfo info(path);
    if (info.isDir()) {
      selection.FolderCount += 1;
    } else {
      selection.FileCount += 1;
      selection.TotalSize += info.size();
    }
  }
  TAVPlayList list;
  QElapsedTimer clock;
  qint64 firstPicture = -1;
  // Ticks only while the window serves its events: the longest gap between
  // two ticks is the longest the window stood frozen.
  QTimer heartbeat;
  heartbeat.setInterval(5);
  qint64 lastBeat = 0, longestFreeze = 0;
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    longestFreeze = std::max(longestFreeze, now - lastBeat);
    lastBeat = now;
  });
  TAVPlayer& engine = player.Player();
  const auto previousStateChange = engine.OnStateChange;
  engine.OnStateChange = [&](uint8_t from, uint8_t to) {
    if (to == psStopped && firstPicture < 0 && clock.isValid()) firstPicture = clock.elapsed();
    if (previousStateChange) previousStateChange(from, to);
  };

  TPlaylistDialog dialog(owner, options);
  dialog.Setup(selection, [&](TPlaylistDialog& d) {
    clock.start();
    lastBeat = 0;
    heartbeat.start();
    BuildAndPlay(d, run.Selection, options, list, engine, uint8_t(run.Mode));
    heartbeat.stop();
  });
  if (run.Proceed)
    QTimer::singleShot(0, &dialog, [&dialog] {
      if (QPushButton* proceed = dialog.Buttons->Button(bProceed)) proceed->click();
    });
  GrabWhenShown(dialog, run.Grab.toStdString());
  const int result = dialog.exec();
  engine.OnStateChange = previousStateChange;
  print(QString("pldialog result=%1 files=%2 first-picture-ms=%3 longest-freeze-ms=%4")
            .arg(result)
            .arg(engine.IsOpen() ? engine.FileCount() : 0)
            .arg(firstPicture)
            .arg(longestFreeze));
  return result;
}

}  // namespace vexo::play
