#pragma once
// The playlist dialog: a settings page where the user decides how folders of
// the selection are played, and a progress page that shows the search for
// media files and the opening of each file by the player, with Cancel. The
// dialog does no searching: Proceed saves the settings, turns to the progress
// page and calls the start callback, whose work reports through Progress and
// finally ends the dialog with done(Accepted) or done(Rejected).
#include <QDialog>
#include <QLabel>
#include <QStackedWidget>
#include <functional>

#include "app/common/dialog_btn_panel.h"
#include "app/common/help_pages.h"
#include "app/playlist/pl_progr_panel.h"
#include "app/playlist/pl_sett_panel.h"

namespace vexo {

class TOptions;

// What the browser's selection holds.
struct TPLSelectionInfo {
  int FileCount = 0;
  int FolderCount = 0;
  qint64 TotalSize = 0;  // bytes of the selected files
};

class TPlaylistDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kHelpContext = kHelpPlaylistDialog;
  static constexpr int kClientWidth = 480;
  static constexpr int kPageHeight = 298;
  static constexpr int kHeaderHeight = 72;
  using TStartEvent = std::function<void(TPlaylistDialog& dialog)>;

  TPlaylistDialog(QWidget* parent, TOptions& options);

  void Setup(const TPLSelectionInfo& selection, TStartEvent onStart);
  // Page 0 the settings, page 1 the progress; page 1 starts the work.
  void ShowPage(int page);
  // Hands a notification to the progress page, unless the user cancelled.
  void Progress(int kind, const QString& text);

  bool Cancelled() const { return FCancelled; }
  int Page() const { return FPage; }
  int FileCount() const { return FFileCount; }
  int FolderCount() const { return FFolderCount; }
  qint64 TotalSize() const { return FTotalSize; }

  TDialogBtnPanel* Buttons = nullptr;
  QStackedWidget* Pages = nullptr;
  TPLSettPanel* SettPanel = nullptr;
  TPLProgrPanel* ProgrPanel = nullptr;
  QLabel* HeaderText = nullptr;

 public slots:
  // The progress page shows everything it was told before the dialog goes.
  void done(int result) override;
  // Escape and the window manager's close act as the Cancel button.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ButtonClicked(QPushButton* button);
  void CancelPressed();
  QWidget* MakeHeader();

  TOptions& FOptions;
  TStartEvent FOnStart;
  int FPage = -1;
  bool FCancelled = false;
  bool FStarted = false;
  int FFileCount = 0;
  int FFolderCount = 0;
  qint64 FTotalSize = 0;
};

}  // namespace vexo
