// The page's playlists from the browser's selection, directly or through
// the playlist dialog, and the grid events that report their progress.
#include <QFileInfo>
#include <QGuiApplication>
#include <cstring>

#include "app/browser/shell_grid.h"
#include "app/common/error_words.h"
#include "app/common/language_list.h"
#include "app/common/media_extensions.h"
#include "app/common/message_boxes.h"
#include "app/common/text_utils.h"
#include "app/player/av_panel.h"
#include "app/playlist/folder_collect.h"
#include "app/playlist/playlist_dialog.h"
#include "app/playlist/playlist_run.h"
#include "app/settings/options.h"
#include "app/shell/page_selection.h"
#include "app/shell/player_page.h"
#include "app/shell/status_panels.h"
#include "engine/media/av_log.h"

namespace vexo {

TPlaylistDialog* TPlayerPage::PlayListDialog() const {
  return FPlayListDialog;
}

void TPlayerPage::ShowProgressText(int text, const QString& path, bool now) {
  SetStatusText(LResList.GetText("AVPlayerEnc", text) + " " + QFileInfo(path).fileName());
  if (now && StatusBar()) StatusBar()->Bar()->repaint();
}

void TPlayerPage::SetupGridEvents() {
  FGrid->Model().OnFilterNode = [this](TShellNode* node, bool& accept) {
    // A link stands for its target (a media folder of another disk put under
    // Home, say); one that leads nowhere, or round in a loop, is left out.
    if (node->IsHidden() || (node->Level() >= 2 && !node->IsFileSystem()))
      accept = false;
    else if (node->IsLink() && !node->IsFolder() && !QFileInfo::exists(FGrid->NodePath(node)))
      accept = false;
    else if (!node->IsFolder())
      accept = FOptions.IsMediaExtension(node->Extension());
  };
  // Folders are read in the background, several at a time: the cursor and
  // the status text go back when the last of them ends.
  FGrid->Model().OnBeginEnum = [this](TShellNode* node) {
    if (FPlayListDialog) return FPlayListDialog->Progress(plEnumStart, {});
    FBusyReadings.insert(node);
    if (FBusyReadings.size() > 1) return;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    if (!FPlayListOpening) SavedStatus = StatusText();
  };
  FGrid->Model().OnEnumItem = [this](TShellNode* node, bool& abort) {
    if (!FPlayListDialog) return ShowProgressText(5001, FGrid->NodePath(node));
    abort = FPlayListDialog->Cancelled();
    FPlayListDialog->Progress(plItem, FGrid->NodePath(node));
  };
  FGrid->Model().OnEndEnum = [this](TShellNode* node) {
    if (FPlayListDialog) FPlayListDialog->Progress(plEnumEnd, {});
    if (FBusyReadings.erase(node) == 0 || !FBusyReadings.empty()) return;
    QGuiApplication::restoreOverrideCursor();
    if (!FPlayListOpening) SetStatusText(SavedStatus);
  };
  FGrid->Model().OnAddFile = [this](TShellNode* node, bool& accept) {
    const int media = FOptions.FolderMedia();
    if (media == 0)
      accept = IsVideoExt(node->Extension());
    else if (media == 1)
      accept = IsPhotoExt(node->Extension());
    if (!accept || !FPlayListOpening) return;
    if (FPlayListDialog)
      FPlayListDialog->Progress(plAccepted, FGrid->NodePath(node));
    else
      ShowProgressText(5002, FGrid->NodePath(node));
  };
  FGrid->Model().OnCheckAbort = [this](TShellNode*, bool& abort) {
    if (FPlayListDialog) abort = FPlayListDialog->Cancelled();
  };
  // A folder that cannot be read says so rather than looking empty.
  FGrid->Model().OnReadFailed = [this](TShellNode* node, int error) {
    Log(FGrid->NodePath(node).toStdString() + ": " + std::strerror(error));
    SetStatusText(
        FormatText(LResList.GetText("ShellGrid", 7), {node->Text, SystemErrorWords(error)}));
  };
}

void TPlayerPage::OpenProgress(int32_t index) {
  // The dialog hears of the files itself while it is open.
  if (!FPlayListOpening || FPlayListDialog) return;
  const TAVPlayList& list = CurrentList();
  if (index >= 0 && index < list.Count())
    // The files open one after the other without a return to the event loop.
    ShowProgressText(5003, QString::fromStdString(list.Strings(index)), true);
}

void TPlayerPage::CreatePlayList(bool showDialog, bool play) {
  if (FPlayListOpening || FGrid->Model().Collecting()) return;
  FPlayWhenOpen = play;
  SavedStatus = StatusText();
  FPlayListOpening = true;
  if (showDialog) {
    TPLSelectionInfo selection;
    for (const TShellNode* node : FGrid->SelectedNodes()) {
      if (node->IsFolder()) {
        selection.FolderCount += 1;
      } else {
        selection.FileCount += 1;
        selection.TotalSize += qint64(node->Size);
      }
    }
    auto* dialog = new TPlaylistDialog(this, FOptions);
    FPlayListDialog = dialog;
    dialog->Setup(selection, [this](TPlaylistDialog& d) { BuildAndPlay(&d); });
    dialog->exec();
    FPlayListDialog = nullptr;
    delete dialog;
    EndPlayListOpening();
    SetStatusText(SavedStatus);
  } else {
    BuildAndPlay(nullptr);
  }
}

void TPlayerPage::BuildAndPlay(TPlaylistDialog* dialog) {
  TAVPlayList& list = CurrentList();
  list.Clear();
  FSelectionTimer.stop();
  FSelectionWaits = false;
  QPointer<TPlaylistDialog> guard(dialog);
  const bool started = FGrid->AddSelectedToPlayList(
      list, FOptions.PlayFolders(), FOptions.PlaySubfolders(), [this, guard, dialog](bool aborted) {
        TAVPlayList& list = CurrentList();
        if (dialog && !guard) return;
        if (dialog) dialog->Progress(plSearchDone, {});
        if (aborted || (dialog && dialog->Cancelled())) {
          FPlayWhenOpen = false;
          list.Clear();
          if (dialog) dialog->done(QDialog::Rejected);
          EndPlayListOpening();
          return;
        }
        // The entries stay the bytes the file system gave: a name need not be text.
        OrderPlayList(list, FOptions.PlayOrder());
        if (list.Count() > 0) {
          if (dialog) {
            // Through the video panel, which shows the list's ticks and items.
            const bool opened = OpenPlayListWithProgress(
                *FVideoPanel->Player(), list, *dialog,
                [this, &list] { FVideoPanel->PlayList(&list, VideoMode()); });
            if (!opened && dialog->Cancelled()) {
              list.Clear();
              FVideoPanel->Close();
            }
            dialog->done(dialog->Cancelled() ? QDialog::Rejected : QDialog::Accepted);
          } else {
            FVideoPanel->PlayList(&list, VideoMode());
          }
          TAVPlayer& player = *FVideoPanel->Player();
          if (FPlayWhenOpen && list.Count() > 0 && player.State() == psStopped)
            player.SetState(psPlaying);
        } else {
          if (dialog) dialog->done(QDialog::Accepted);
          ShowInfo(LResList.GetText("Player", 1001));
        }
        FPlayWhenOpen = false;
        UpdateListCommands();
        if (!dialog) {
          EndPlayListOpening();
          SetStatusText(SavedStatus);
        }
        FireTitleChange();
      });
  if (!started && !dialog) EndPlayListOpening();
  if (!started && dialog) dialog->done(QDialog::Rejected);
}

void TPlayerPage::UpdateListCommands() {
  TCommandSet enabled = EnabledCommands(), disabled = DisabledCommands();
  const TCommandSet save = SavePlayListCommands();
  if (CurrentList().Count() < 2) {
    disabled = disabled | save;
    enabled = enabled - save;
  } else {
    enabled = enabled | save;
    disabled = disabled - save;
  }
  SetCommandStates(enabled, disabled);
  PlayerStateChanged();
}

}  // namespace vexo
