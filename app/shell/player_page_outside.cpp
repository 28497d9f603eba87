// Files and folders that come from outside the browser: the command line, a
// later start of the program, a drop from a file manager, the open dialog and
// the recent list.
#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QTimer>
#include <utility>

#include "app/browser/shell_grid.h"
#include "app/common/file_dialogs.h"
#include "app/common/language_list.h"
#include "app/common/media_extensions.h"
#include "app/common/message_boxes.h"
#include "app/player/av_panel.h"
#include "app/playlist/folder_collect.h"
#include "app/settings/options.h"
#include "app/shell/player_page.h"
#include "app/shell/recent_playlists.h"

namespace vexo {

void TPlayerPage::OpenMediaFiles() {
  // The enabled media types, then everything.
  QStringList patterns;
  for (int i = 0; i < kMediaExtCount; ++i) {
    const QString& ext = i == kCustomExtIndex
                             ? (FOptions.GetOption(oCustomExt).GetText().isEmpty()
                                    ? QString()
                                    : u'.' + FOptions.GetOption(oCustomExt).GetText())
                             : MediaExtensions()[size_t(i)];
    if (!ext.isEmpty() && FOptions.IsMediaExtension(ext)) patterns << u'*' + ext;
  }
  const QString filter = LResList.GetText("Player", 117) + u'|' + patterns.join(u';') + u'|' +
                         LResList.GetText("Player", 118) + QStringLiteral("|*.*");
  QString fileName;
  QStringList files;
  int filterIndex = 1;
  if (OpenFileDialog(LResList.GetText("Player", 116), filter, {}, fileName, &files, filterIndex)
          .isEmpty())
    return;
  for (auto file = files.crbegin(); file != files.crend(); ++file)
    RecordRecentPlayList(FOptions, MenuSystem(), *file);
  emit RecentPlayListsChanged();
  PlayPaths(files);
}

void TPlayerPage::OpenMediaFolder() {
  const QString folder = FolderDialog(LResList.GetText("Player", 119), {});
  if (folder.isEmpty()) return;
  OpenRecent(folder);
}

void TPlayerPage::OpenRecent(const QString& path) {
  if (QFileInfo(path).suffix().compare("asx", Qt::CaseInsensitive) == 0) {
    OpenPlayListFile(path);
    return;
  }
  RecordRecentPlayList(FOptions, MenuSystem(), path);
  emit RecentPlayListsChanged();
  PlayPaths({path});
}

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
  FHandedOver.append(paths);
  PlayHandedOver();
}

bool TPlayerPage::HandOverMustWait() const {
  return FPlayListOpening || FGrid->Model().Collecting() || QApplication::activeModalWidget();
}

void TPlayerPage::PlayHandedOver() {
  // One at a time: the one under way takes up the rest when it is done.
  if (FOpeningHandedOver) return;
  while (!FHandedOver.isEmpty()) {
    if (HandOverMustWait()) {
      // A box or dialog that closes is the only news of the wait's end;
      // the page's own work says so itself when it ends.
      if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
          connect(dialog, &QDialog::finished, this, &TPlayerPage::ResumeHandedOver,
                  Qt::UniqueConnection);
        connect(modal, &QObject::destroyed, this, &TPlayerPage::ResumeHandedOver,
                Qt::UniqueConnection);
      }
      return;
    }
    FOpeningHandedOver = true;
    OpenHandedOver(FHandedOver.takeFirst());
    FOpeningHandedOver = false;
  }
}

void TPlayerPage::ResumeHandedOver() {
  if (!FHandedOver.isEmpty()) QTimer::singleShot(0, this, &TPlayerPage::PlayHandedOver);
}

void TPlayerPage::EndPlayListOpening() {
  FPlayListOpening = false;
  ResumeHandedOver();
}

void TPlayerPage::OpenHandedOver(const QStringList& paths) {
  if (paths.size() == 1 && QFileInfo(paths[0]).suffix().compare("asx", Qt::CaseInsensitive) == 0) {
    OpenPlayListFile(paths[0]);
    // A file that could not be read has said so and changed nothing.
    if (CurrentList().FileName() != paths[0].toStdString()) return;
  } else {
    TFolderCollect how;
    how.PlayFolders = true;
    how.Subfolders = FOptions.PlaySubfolders();
    how.FolderMedia = FOptions.FolderMedia();
    QStringList files = CollectMediaFiles(paths, FOptions, how);
    OrderPlayList(files, FOptions.PlayOrder());
    if (files.isEmpty()) {
      ShowInfo(LResList.GetText("Player", 1002));
      return;
    }
    TAVPlayList& list = CurrentList();
    list.Clear();
    for (const QString& file : files) list.Add(file.toStdString());
    PlayCurrentList();
  }
  TAVPlayer& player = *FVideoPanel->Player();
  if (player.State() == psStopped || player.State() == psPaused) player.SetState(psPlaying);
}

}  // namespace vexo
