#pragma once
// The dialog that copies the player onto a removable drive, or removes such
// a copy again. Nothing on the drive changes before Proceed; the files are
// written on a thread of their own while the dialog shows which one, and the
// dialog can only be closed once the work has ended.
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QThread>
#include <array>
#include <optional>

#include "app/common/dialog_btn_panel.h"
#include "app/shell/autorun_inf.h"
#include "app/shell/portable_copy.h"

namespace vexo {

class TOptions;

class TPortableDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kHelpContext = 80;
  static constexpr int kClientWidth = 480;

  TPortableDialog(QWidget* parent, const TOptions& options);
  ~TPortableDialog() override;

  // drive: the mount point of the drive; displayName: how the browser names it.
  void Init(const QString& drive, const QString& displayName);
  // Starts the chosen work; it ends with WorkDone.
  void Proceed();
  void CopyPlayer();
  void RemovePlayer();

  bool Working() const { return FWorker != nullptr; }
  bool Succeeded() const { return FSucceeded; }
  const TPortableError& LastError() const { return FError; }

  bool PlayerPresent = false;
  // The drive's autorun.inf as it will be written; dropped for a removal.
  std::optional<TAutorunInf> AutorunIni;
  QString DriveRoot;
  QString TargetFolder;
  std::array<QRadioButton*, 2> Choice{};
  QLabel* IntroLabel = nullptr;
  QLabel* StatusLabel = nullptr;
  QProgressBar* ProgressBar = nullptr;
  TDialogBtnPanel* Buttons = nullptr;

 signals:
  void WorkDone(bool success);

 public slots:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ButtonClicked(QPushButton* button);
  void StartWork(std::function<TPortableError()> work);
  void ShowStep(int step, const QString& target);
  void Finish(const TPortableError& error);
  QString ErrorText(const TPortableError& error) const;

  const TOptions& FOptions;
  QString FProgramDir;
  QThread* FWorker = nullptr;
  TPortableError FError;
  bool FRemoving = false;
  bool FSucceeded = false;
  bool FDone = false;
};

// Shows the dialog modally; true when it ended with a completed copy or
// removal, closed by the user.
bool ShowPortableDialog(QWidget* parent, const TOptions& options, const QString& drive,
                        const QString& displayName);

}  // namespace vexo
