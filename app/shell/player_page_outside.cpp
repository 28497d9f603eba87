// Files and folders that come from outside the browser: the command line, a
// later start of the program, a drop from a file manager.
#include <QFileInfo>
#include <utility>

#include "app/browser/shell_grid.h"
#include "app/common/language_list.h"
#include "app/common/message_boxes.h"
#include "app/player/av_panel.h"
#include "app/playlist/folder_collect.h"
#include "app/settings/options.h"
#include "app/shell/player_page.h"

namespace vexo {

void TPlayerPage::PlayPaths(const QStringList& paths) {
  if (paths.isEmpty()) return;
  // The browser's restored selection opens when its restoring ends; files
  // given from outside must win over it, so they wait for that.
  if (FGrid->Restoring() && !FBrowserRestored) {
    const bool connected = !FWaitingPaths.isEmpty();
    FWaitingPaths = paths;
    if (!connected)
      connect(
          this, &TPlayerPage::BrowserRestored, this,
          [this] {
            const QStringList waiting = std::exchange(FWaitingPaths, {});
            PlayPaths(waiting);
          },
          Qt::SingleShotConnection);
    return;
  }
  if (FPlayListOpening || FGrid->Collecting()) return;
  if (paths.size() == 1 && QFileInfo(paths[0]).suffix().compare("asx", Qt::CaseInsensitive) == 0) {
    OpenPlayListFile(paths[0]);
    // A file that could not be read has said so and changed nothing.
    if (CurrentList().FileName() != paths[0].toStdString()) return;
  } else {
    TFolderCollect how;
    how.PlayFolders = true;
    how.Subfolders = FOptions.GetOption(oPlaySubfolders).GetBool();
    how.FolderMedia = FOptions.GetOption(oPlayFolderMedia).GetInt();
    QStringList files = CollectMediaFiles(paths, FOptions, how);
    OrderPlayList(files, FOptions.GetOption(oPlayOrder).GetInt());
    if (files.isEmpty()) {
      ShowInfo(LResList.GetText("Player", 1002));
      return;
    }
    TAVPlayList& list = CurrentList();
    list.Clear();
    for (const QString& file : files) list.Add(file.toStdString());
    PlayCurrentList();
  }
  TAVPlayerEnc& player = *FVideoPanel->Player();
  if (player.State() == psStopped || player.State() == psPaused) player.SetState(psPlaying);
}

}  // namespace vexo
