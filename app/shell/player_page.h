#pragma once
// The player page: the browser column on the left, the video panel on the
// right. It turns a selection in the browser into playback (a file opens at
// once with its first picture; folders and several files become a playlist),
// runs the commands that concern media, keeps their enabled states in step
// with the selection and the player, fills the status bar and remembers the
// browser's position between runs.
#include <QPointer>
#include <QProgressDialog>
#include <QRect>
#include <QSplitter>
#include <QTimer>
#include <functional>
#include <set>
#include <vector>

#include "app/shell/base_page.h"
#include "app/shell/file_copy_job.h"

namespace vexo {

class TAVPanel;
class TOptions;
class TPlaylistDialog;
class TShellGrid;
class TShellNode;
class TShellPanel;
class TShlCtrlPanel;

class TPlayerPage : public TBasePage {
  Q_OBJECT

 public:
  using TNotify = std::function<void()>;
  // What the file commands do with the selection or the picture.
  enum TFileOperation { foCopyTo, foDeleteToTrash, foDeletePermanently, foCut, foSaveAs };

  TPlayerPage(TOptions& options, QWidget* parent = nullptr);
  ~TPlayerPage() override;

  // mainWindow is the window that full screen resizes (the page's own window
  // when null).
  void Init(TMenuSystem* menuSystem, TStatusPanels* statusBar, TNotify onTitleChange,
            QWidget* mainWindow = nullptr);

  void AfterShow() override;
  void BeforeClose() override;
  void SetSkinActive(bool on) override;
  void FocusDefault() override;
  // Refills the Subtitles menu from the file on show.
  void UpdateSubtitleMenu();
  void Reposition() override;
  void SaveLayout() override;

  // Enter, Esc, Space, End, Home and the arrows; a key used here becomes 0.
  void HandleKey(int& key, Qt::KeyboardModifiers shift);
  // On: the hosting window passes those keys to HandleKey itself.
  void SetKeysFromHost(bool on) { FKeysFromHost = on; }
  void ShowOptions(int firstPage);
  QString PlayListTitle() const;
  QString PlayListFileName() const;

  // Opens the browser's selection as a playlist, through the playlist dialog
  // when asked, and with `play` starts playing it.
  void CreatePlayList(bool showDialog, bool play = false);
  // Updates everything that follows the selection and opens a selected file.
  void SelectionHandler(TShellNode* node);

  // Plays files and folders handed in from outside the browser (command
  // line, another start, a drop): one playlist file opens as such, folders
  // give their media files as the browser's Play would.
  void PlayPaths(const QStringList& paths);
  // Opens and plays a playlist file; an empty path asks for one.
  virtual void OpenPlayListFile(const QString& path);
  // Asks for media files (several make a playlist) and plays them; each goes
  // into the recent list.
  void OpenMediaFiles();
  // Asks for a folder and plays its media files as the browser's Play would;
  // the folder goes into the recent list.
  void OpenMediaFolder();
  // An entry of the recent list: a playlist file, or a media file or folder.
  void OpenRecent(const QString& path);
  virtual void SavePlayListFile();
  // True when something was done or, for a copy, started.
  virtual bool FileOperation(TFileOperation kind);
  // Turns the selected photo a quarter, without loss, and shows it again.
  virtual void RotatePicture(bool clockwise);
  // Copies the player onto a removable drive, or removes such a copy.
  virtual void CopyPlayerToMedia();
  // True while a copy runs on its worker thread.
  bool CopyRunning() const;

  TAVPanel* VideoPanel() const { return FVideoPanel; }
  TShellGrid* Grid() const { return FGrid; }
  TShellPanel* BrowserPanel() const { return FBrowserPanel; }
  TShlCtrlPanel* BrowserCtrlPanel() const { return FBrowserCtrlPanel; }
  QSplitter* Splitter() const { return FSplitter; }
  QFrame* RightPanel() const { return FRightPanel; }
  // Exists only while it is shown.
  TPlaylistDialog* PlayListDialog() const;
  TOptions& Options() const { return FOptions; }
  // Files opened for selections so far, and the most opens that ever ran at
  // the same time.
  int OpenCount() const { return FOpenCount; }
  int MostOpensAtOnce() const { return FMostOpensAtOnce; }
  // True while a selection waits to be handled.
  bool SelectionPending() const { return FSelectionTimer.isActive() || FSelectionWaits; }

  TNotify OnTitleChange;

 signals:
  // The selection handler ran (after the file, if any, was opened).
  void SelectionHandled();
  // The browser position from the options has been restored.
  void BrowserRestored();
  // A copy ended: done, or failed or cancelled with nothing left behind.
  void FileCopyFinished(bool done);
  // A deletion ended and the browser shows what is left.
  void DeletionSettled();
  // A playlist file went to the top of the recent list.
  void RecentPlayListsChanged();
  // The player changed its state or its current file.
  void PlayerChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetupBrowser();
  void SetupVideo();
  void SetupGridEvents();
  // The page's commands run its handlers, whatever menu or bar they are in.
  void RegisterCommandHandlers();
  void GridSelectionChanged();
  void RunPendingSelection();
  void OpenSelection(TShellNode* node);
  void PlayerStateChanged();
  void FullScreenChanged();
  void SeekDone();
  void ShowVideoMode(uint8_t mode);
  void UpdateSelectionCommands(TShellNode* node);
  // The information strip and the status bar for a node, or for none.
  void ShowNodeInfo(TShellNode* node);
  void BuildAndPlay(TPlaylistDialog* dialog);
  // A progress text of the status bar with a file's name; `now` paints it
  // at once, for work that does not return to the event loop in between.
  void ShowProgressText(int text, const QString& path, bool now = false);
  // The player opens the list's entry `index`.
  void OpenProgress(int32_t index);
  // Saving the list is offered for two or more files.
  void UpdateListCommands();
  void PostRecentPlayList();
  // Plays the page's list, which replaces the browser's selection.
  void PlayCurrentList();
  // What was handed over waits while the page is busy or a dialog or message
  // box is open, and opens in the order it came once they are done.
  bool HandOverMustWait() const;
  void PlayHandedOver();
  void OpenHandedOver(const QStringList& paths);
  void ResumeHandedOver();
  // Ends a playlist's opening and lets waiting hand-overs go on.
  void EndPlayListOpening();
  QString PictureFolder() const;
  bool CopyTo();
  void StartCopy(const QString& source, const QString& target);
  void CopyProgressed(qint64 copied, qint64 total);
  void CopyFinished(const TCopyOutcome& outcome);
  bool DeleteSelection(bool toTrash);
  bool SavePictureAs();
  void RestoreBrowserState();
  void SaveBrowserState();
  void PortableStart();
  uint8_t VideoMode() const;
  bool FocusInBrowser() const;
  void FireTitleChange();

  TOptions& FOptions;
  QWidget* FMainWindow = nullptr;
  QFrame* FRightPanel = nullptr;
  TAVPanel* FVideoPanel = nullptr;
  TShellGrid* FGrid = nullptr;
  TShellPanel* FBrowserPanel = nullptr;
  TShlCtrlPanel* FBrowserCtrlPanel = nullptr;
  QSplitter* FSplitter = nullptr;
  QPointer<TPlaylistDialog> FPlayListDialog;
  QRect FSavedBounds;
  bool FWasMaximized = false;
  bool FSkinActive = false;
  bool FBrowserRestored = false;

  // Selection changes are handled once the event queue is empty, and never
  // while an open is running: holding an arrow key opens only where it stops.
  QTimer FSelectionTimer;
  bool FSelectionWaits = false;
  int FOpensRunning = 0;
  int FOpenCount = 0;
  int FMostOpensAtOnce = 0;
  bool FPlayListOpening = false;
  // The list being built starts playing once it is open.
  bool FPlayWhenOpen = false;
  // Folders being read that show the busy cursor.
  std::set<const TShellNode*> FBusyReadings;

  TFileCopyJob* FCopyJob = nullptr;
  // Files from outside that wait for the browser to finish its restoring.
  QStringList FWaitingPaths;
  // Hand-overs from outside not yet opened, oldest first.
  QList<QStringList> FHandedOver;
  bool FOpeningHandedOver = false;
  QPointer<QProgressDialog> FCopyProgress;
  bool FKeysFromHost = false;
  // The commands whose handlers the page gave the menu system.
  std::vector<int> FCommandRows;
};

}  // namespace vexo
