#include "app/playlist/playlist_run.h"

#include <QCoreApplication>

#include "app/common/language_list.h"
#include "app/common/message_boxes.h"
#include "app/playlist/folder_collect.h"
#include "app/playlist/playlist_dialog.h"
#include "app/settings/options.h"
#include "engine/playback/av_player.h"
#include "engine/playlist/av_playlist.h"

namespace vexo {

bool OpenPlayListWithProgress(TAVPlayer& player, TAVPlayList& list, uint8_t videoMode,
                              TPlaylistDialog& dialog) {
  return OpenPlayListWithProgress(player, list, dialog,
                                  [&] { player.OpenPlayList(&list, videoMode); });
}

bool OpenPlayListWithProgress(TAVPlayer& player, TAVPlayList& list, TPlaylistDialog& dialog,
                              const std::function<void()>& open) {
  const auto previous = player.OnOpenProgress;
  player.OnOpenProgress = [&](int32_t index) {
    if (!dialog.Cancelled() && index >= 0 && index < list.Count())
      dialog.Progress(plOpened, QString::fromStdString(list.Strings(index)));
    // Progress let the window's events run: the click on Cancel is seen here.
    if (dialog.Cancelled()) player.CancelOpen();
  };
  list.SetOpening(true);
  open();
  list.SetOpening(false);
  player.OnOpenProgress = previous;
  if (dialog.Cancelled()) {
    // A cancel after the last file opened still leaves nothing playing.
    player.Close();
    return false;
  }
  return player.IsOpen();
}

void BuildAndPlay(TPlaylistDialog& dialog, const QStringList& selection, const TOptions& options,
                  TAVPlayList& list, TAVPlayer& player, uint8_t videoMode) {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  list.Clear();
  TFolderCollect how;
  how.PlayFolders = options.GetOption(oPlayFolders).GetBool();
  how.Subfolders = options.GetOption(oPlaySubfolders).GetBool();
  how.FolderMedia = options.GetOption(oPlayFolderMedia).GetInt();
  how.OnProgress = [&dialog](int kind, const QString& path) { dialog.Progress(kind, path); };
  how.Aborted = [&dialog] { return dialog.Cancelled(); };
  QStringList files = CollectMediaFiles(selection, options, how);
  dialog.Progress(plSearchDone, {});
  if (dialog.Cancelled()) {
    dialog.done(QDialog::Rejected);
    return;
  }
  OrderPlayList(files, options.GetOption(oPlayOrder).GetInt());
  for (const QString& file : files) list.Add(file.toStdString());
  if (list.Count() == 0) {
    dialog.done(QDialog::Accepted);
    ShowInfo(LResList.GetText("Player", 1001));
    return;
  }
  const bool opened = OpenPlayListWithProgress(player, list, videoMode, dialog);
  if (!opened && dialog.Cancelled()) {
    list.Clear();
    dialog.done(QDialog::Rejected);
    return;
  }
  dialog.done(QDialog::Accepted);
}

}  // namespace vexo
