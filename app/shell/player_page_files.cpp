// The page's playlist files and its commands on the browser's files: open
// and save playlists, copy a file elsewhere, delete files, save the picture
// shown and turn a photo.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <set>

#include "app/browser/shell_grid.h"
#include "app/browser/shl_ctrl_panel.h"
#include "app/common/file_dialogs.h"
#include "app/common/jpeg_rotation.h"
#include "app/common/language_list.h"
#include "app/common/message_boxes.h"
#include "app/common/text_utils.h"
#include "app/player/av_panel.h"
#include "app/settings/options.h"
#include "app/shell/file_deletion.h"
#include "app/shell/player_page.h"
#include "app/shell/recent_playlists.h"
#include "engine/playlist/asx_file.h"

namespace vexo {

namespace {

constexpr int kProgressSteps = 1000;

QString PlayListFilter() {
  return LResList.GetText("Player", 113) + "|*.asx;*.ASX";
}

QString FolderOption(const TOptions& options) {
  const TIniPar* folder = options.GetDynamic(dFilePath);
  return folder ? folder->GetText() : QString();
}

void SetFolderOption(TOptions& options, const QString& file) {
  if (TIniPar* folder = options.GetDynamic(dFilePath))
    folder->SetText(QFileInfo(file).absolutePath());
}

bool SameFile(const QString& a, const QString& b) {
  const QString first = QFileInfo(a).canonicalFilePath();
  return !first.isEmpty() && first == QFileInfo(b).canonicalFilePath();
}

// Where the browser goes when the files it shows are deleted: the next file
// below them, else the one above, else their folder.
QByteArray NeighbourOf(const std::vector<TShellNode*>& deleted) {
  const std::set<const TShellNode*> gone(deleted.begin(), deleted.end());
  const TShellNode* last = deleted.back();
  auto usable = [&](const TShellNode* node) {
    return node && !node->IsFolder() && !gone.count(node);
  };
  for (const TShellNode* n = last->NextSibling(); n; n = n->NextSibling())
    if (usable(n)) return n->Path;
  for (const TShellNode* n = deleted.front()->PrevSibling(); n; n = n->PrevSibling())
    if (usable(n)) return n->Path;
  return last->Parent ? last->Parent->Path : QByteArray();
}

// Shows why a playlist file could not be read.
bool ReadPlayList(const QString& path, TAVPlayList& list) {
  try {
    list.LoadFromFile(path.toStdString());
    return true;
  } catch (const std::exception& error) {
    ShowError(FormatText(LResList.GetText("Player", 114), {path}) + "\n\n" +
              QString::fromStdString(error.what()));
    return false;
  }
}

}  // namespace

// ---- playlist files ----

void TPlayerPage::OpenPlayListFile(const QString& requested) {
  QString path = requested;
  if (path.isEmpty()) {
    QString fileName;
    int filterIndex = 1;
    path = OpenFileDialog(LResList.GetText("Player", 111), PlayListFilter(), FolderOption(FOptions),
                          fileName, nullptr, filterIndex);
    if (path.isEmpty()) return;
  }
  SetFolderOption(FOptions, path);
  // The list that plays takes the file's entries only once the file has
  // proved readable, so a bad file leaves the playlist that plays as it was.
  TAVPlayList probe;
  if (!ReadPlayList(path, probe) || probe.Count() == 0) return;
  if (!ReadPlayList(path, CurrentList())) return;
  PlayCurrentList();
  PostRecentPlayList();
}

void TPlayerPage::PlayCurrentList() {
  TAVPlayList& list = CurrentList();
  SaveBrowserState();
  // The list replaces the browser's selection, which must not open now.
  FGrid->clearSelection();
  FSelectionTimer.stop();
  FSelectionWaits = false;
  FBrowserCtrlPanel->setFocus();
  SavedStatus = StatusText();
  FPlayListOpening = true;
  list.SetOpening(true);
  FVideoPanel->PlayList(&list, VideoMode());
  list.SetOpening(false);
  EndPlayListOpening();
  SetStatusText(SavedStatus);
  // The browser's selection is gone: what it described goes with it.
  FBrowserCtrlPanel->SetPlayEnabled(false);
  ShowNodeInfo(nullptr);
  UpdateSelectionCommands(nullptr);
  UpdateListCommands();
  FireTitleChange();
}

void TPlayerPage::SavePlayListFile() {
  TAVPlayList& list = CurrentList();
  if (list.Count() == 0) return;
  QString fileName = QString::fromStdString(list.FileName());
  const QString path =
      SaveFileDialog(LResList.GetText("Player", 112), PlayListFilter(), FolderOption(FOptions),
                     fileName, true, "asx", QString::fromStdString(list.Name()));
  if (path.isEmpty()) return;
  SetFolderOption(FOptions, path);
  try {
    list.SaveToFile(path.toStdString());
  } catch (const std::exception& error) {
    ShowError(FormatText(LResList.GetText("Player", 115), {path}) + "\n\n" +
              QString::fromStdString(error.what()));
    return;
  }
  FVideoPanel->SetListTitle(QString::fromStdString(list.Name()));
  FireTitleChange();
  PostRecentPlayList();
}

void TPlayerPage::PostRecentPlayList() {
  // After the command has finished, as a message to the main window would.
  QMetaObject::invokeMethod(
      this,
      [this] {
        RecordRecentPlayList(FOptions, MenuSystem(), PlayListFileName());
        emit RecentPlayListsChanged();
      },
      Qt::QueuedConnection);
}

// ---- file commands ----

bool TPlayerPage::FileOperation(TFileOperation kind) {
  switch (kind) {
    case foCopyTo:
      return FGrid->SelectedNode() && CopyTo();
    case foDeleteToTrash:
      return DeleteSelection(true);
    case foDeletePermanently:
      return DeleteSelection(false);
    case foSaveAs:
      // Acts on the picture shown, which a playlist shows without a selection.
      return SavePictureAs();
    case foCut:
      return false;
  }
  return false;
}

bool TPlayerPage::CopyRunning() const {
  return FCopyJob && FCopyJob->Running();
}

QString TPlayerPage::PictureFolder() const {
  if (!FOptions.SnapshotDir.isEmpty() && QFileInfo(FOptions.SnapshotDir).isDir())
    return FOptions.SnapshotDir;
  return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

bool TPlayerPage::CopyTo() {
  if (CopyRunning()) return false;
  QString source = FVideoPanel->CurrentFilePath();
  if (source.isEmpty()) source = FGrid->NodePath(FGrid->SelectedNode());
  if (source.isEmpty()) return false;
  const QFileInfo info(source);
  const QString ext = info.suffix();
  // The label names the type; the mask keeps the file's own spelling.
  const QString filter =
      ext.isEmpty() ? QStringLiteral("*|*") : ext.toUpper() + "|*." + ext + ";*." + ext.toUpper();
  QString fileName;
  // The question about an existing file is asked below, once.
  const QString target = SaveFileDialog(LResList.GetText("Player", 201), filter, PictureFolder(),
                                        fileName, false, ext, info.completeBaseName());
  if (target.isEmpty()) return false;
  FOptions.SnapshotDir = QFileInfo(target).absolutePath();
  if (SameFile(source, target)) {
    ShowError(LResList.GetText("Player", 205));
    return false;
  }
  if (QFileInfo::exists(target) &&
      !AskYesNo(FormatText(LResList.GetText("Player", 203), {QFileInfo(target).fileName()}),
                kNoHelp))
    return false;
  StartCopy(source, target);
  return true;
}

void TPlayerPage::StartCopy(const QString& source, const QString& target) {
  if (!FCopyJob) {
    FCopyJob = new TFileCopyJob(this);
    connect(FCopyJob, &TFileCopyJob::Progress, this, &TPlayerPage::CopyProgressed);
    connect(FCopyJob, &TFileCopyJob::Finished, this, &TPlayerPage::CopyFinished);
  }
  // Shown only when the copy takes a while; the window stays usable behind it.
  auto* progress = new QProgressDialog(this);
  progress->setWindowTitle(LResList.GetText("Player", 201));
  progress->setLabelText(FormatText(LResList.GetText("Player", 202),
                                    {QFileInfo(source).fileName(), QFileInfo(target).path()}));
  progress->setCancelButtonText(LResList.GetValue("A_DlgBtnPanel", "bCancel", {}));
  progress->setRange(0, kProgressSteps);
  progress->setAutoClose(false);
  progress->setAutoReset(false);
  progress->setMinimumDuration(500);
  progress->setWindowModality(Qt::WindowModal);
  progress->setMinimumWidth(420);
  connect(progress, &QProgressDialog::canceled, FCopyJob, &TFileCopyJob::Cancel);
  FCopyProgress = progress;
  progress->setValue(0);
  FCopyJob->Start(source, target);
}

void TPlayerPage::CopyProgressed(qint64 copied, qint64 total) {
  if (FCopyProgress && total > 0) FCopyProgress->setValue(int(copied * kProgressSteps / total));
}

void TPlayerPage::CopyFinished(const TCopyOutcome& outcome) {
  if (FCopyProgress) {
    // The dialog's own cancel signal must not reach the next copy.
    FCopyProgress->disconnect();
    FCopyProgress->close();
    FCopyProgress->deleteLater();
  }
  const QString target = FCopyJob->Target();
  if (outcome.Done)
    FGrid->RefreshFolder(QFile::encodeName(QFileInfo(target).absolutePath()));
  else if (!outcome.Cancelled)
    ShowError(FormatText(LResList.GetText("Player", 204), {target}) + "\n\n" + outcome.Error);
  emit FileCopyFinished(outcome.Done);
}

bool TPlayerPage::DeleteSelection(bool toTrash) {
  const std::vector<TShellNode*> nodes = FGrid->SelectedNodes();
  if (nodes.empty()) return false;
  QStringList paths;
  std::set<QByteArray> folders;
  for (const TShellNode* node : nodes) {
    paths << FGrid->NodePath(node);
    if (node->Parent) folders.insert(node->Parent->Path);
  }
  const QByteArray neighbour = NeighbourOf(nodes);
  // The player lets go of a file it shows before the file goes.
  const TDeleteOutcome outcome =
      DeleteFiles(paths, toTrash ? TDeleteKind::ToTrash : TDeleteKind::Permanently, [this] {
        FSelectionTimer.stop();
        FSelectionWaits = false;
        FVideoPanel->Close();
      });
  if (outcome.Deleted.isEmpty()) {
    // Nothing changed: the selection is shown again.
    if (!outcome.Declined) SelectionHandler(FGrid->SelectedNode());
    emit DeletionSettled();
    return false;
  }
  FGrid->ClearSelectionAndRefreshRecycleBin(toTrash);
  for (const QByteArray& folder : folders) FGrid->RefreshFolder(folder);
  FGrid->LocatePath(neighbour, [this](TShellNode* node) {
    // A choice the user made meanwhile stands.
    if (node && FGrid->SelectedCount() == 0) FGrid->SelectNode(node);
    emit DeletionSettled();
  });
  return true;
}

bool TPlayerPage::SavePictureAs() {
  if (!FVideoPanel->IsOpen()) return false;
  // A photo is saved as the file it is, not as a picture taken of it.
  if (FVideoPanel->CurrentIsPhoto()) return CopyTo();
  QString fileName;
  const QString target = SaveFileDialog(LResList.GetText("AVPlayerEnc", 6001),
                                        LResList.GetText("AVPlayerEnc", 6002) + "|*.jpg",
                                        PictureFolder(), fileName, true, "jpg", {});
  if (target.isEmpty()) return false;
  FOptions.SnapshotDir = QFileInfo(target).absolutePath();
  if (!FVideoPanel->SaveFrame(target)) {
    ShowError(FormatText(LResList.GetText("Player", 206), {target}));
    return false;
  }
  FGrid->RefreshFolder(QFile::encodeName(FOptions.SnapshotDir));
  return true;
}

void TPlayerPage::RotatePicture(bool clockwise) {
  TShellNode* node = FGrid->SelectedNode();
  if (!node) return;
  // The player lets go of the file; the turned picture is then opened anew.
  FVideoPanel->Close();
  RotateJpeg(FGrid->NodePath(node), clockwise);
  FGrid->Model().UpdateSize(node);
  SelectionHandler(node);
}

}  // namespace vexo
