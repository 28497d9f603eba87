// The page's playlists from the browser's selection, directly or through
// the playlist dialog, and the grid events that report their progress. Kept
// apart from the command dispatch: the dialog's button kinds and the command
// rows share names.
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
#include "engine/media/av_log.h"

namespace vexo {

TPlaylistDialog* TPlayerPage::PlayListDialog() const {
  return FPlayListDialog;
}

void TPlayerPage::SetupGridEvents() {
  FGrid->OnFilterNode = [this](TShellNode* node, bool& accept) {
    if (node->IsLink() || node->IsHidden() || (node->Level() >= 2 && !node->IsFileSystem()))
      accept = false;
    else if (!node->IsFolder())
      accept = FOptions.IsMediaExtension(node->Extension());
  };
  FGrid->OnBeginEnum = [this](TShellNode*) {
    if (FPlayListDialog) FPlayListDialog->Progress(plEnumStart, {});
  };
  FGrid->OnEnumItem = [this](TShellNode* node, bool& abort) {
    if (!FPlayListDialog) return;
    abort = FPlayListDialog->Cancelled();
    FPlayListDialog->Progress(plItem, FGrid->NodePath(node));
  };
  FGrid->OnEndEnum = [this](TShellNode*) {
    if (FPlayListDialog) FPlayListDialog->Progress(plEnumEnd, {});
  };
  FGrid->OnAddFile = [this](TShellNode* node, bool& accept) {
    const int media = FOptions.GetOption(oPlayFolderMedia).GetInt();
    if (media == 0)
      accept = IsVideoExt(node->Extension());
    else if (media == 1)
      accept = IsPhotoExt(node->Extension());
    if (!accept || !FPlayListOpening) return;
    if (FPlayListDialog)
      FPlayListDialog->Progress(plAccepted, FGrid->NodePath(node));
    else
      SetStatusText(LResList.GetText("Player", 5002) + " " + node->Text);
  };
  FGrid->OnCheckAbort = [this](TShellNode*, bool& abort) {
    if (FPlayListDialog) abort = FPlayListDialog->Cancelled();
  };
  // A folder that cannot be read says so rather than looking empty.
  FGrid->OnReadFailed = [this](TShellNode* node, int error) {
    Log(FGrid->NodePath(node).toStdString() + ": " + std::strerror(error));
    SetStatusText(
        FormatText(LResList.GetText("ShellGrid", 7), {node->Text, SystemErrorWords(error)}));
  };
}

void TPlayerPage::CreatePlayList(bool showDialog) {
  if (FPlayListOpening || FGrid->Collecting()) return;
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
      list, FOptions.GetOption(oPlayFolders).GetBool(),
      FOptions.GetOption(oPlaySubfolders).GetBool(), [this, guard, dialog](bool aborted) {
        TAVPlayList& list = CurrentList();
        if (dialog && !guard) return;
        if (dialog) dialog->Progress(plSearchDone, {});
        if (aborted || (dialog && dialog->Cancelled())) {
          list.Clear();
          if (dialog) dialog->done(QDialog::Rejected);
          EndPlayListOpening();
          return;
        }
        // The entries stay the bytes the file system gave: a name need not be text.
        OrderPlayList(list, FOptions.GetOption(oPlayOrder).GetInt());
        if (list.Count() > 0) {
          if (dialog) {
            const bool opened =
                OpenPlayListWithProgress(*FVideoPanel->Player(), list, VideoMode(), *dialog);
            if (!opened && dialog->Cancelled()) list.Clear();
            dialog->done(dialog->Cancelled() ? QDialog::Rejected : QDialog::Accepted);
          } else {
            FVideoPanel->PlayList(&list, VideoMode());
          }
        } else {
          if (dialog) dialog->done(QDialog::Accepted);
          ShowInfo(LResList.GetText("Player", 1001));
        }
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
