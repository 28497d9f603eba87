#include "app/shell/portable_dialog.h"

#include <QCloseEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include "app/common/dialog_controls.h"
#include "app/common/ini_file.h"
#include "app/common/language_list.h"
#include "app/common/message_boxes.h"
#include "app/common/path_utils.h"
#include "app/common/program_environment.h"
#include "app/common/text_utils.h"
#include "app/settings/options.h"

namespace vexo {
namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The user's choices travel with the copy; what belongs to this computer
// (recent files, folders, the browser's position) does not.
QByteArray CarriedSettings(const TOptions& options) {
  QTemporaryDir folder;
  if (!folder.isValid()) return {};
  const QString path = folder.filePath(kPortableIniName);
  {
    TOptions carried(folder.path());
    carried.Assign(options);
    TSIniFile store(path);
    carried.LoadSave(true, &store);
  }
  return ReadAll(path);
}

}  // namespace

TPortableDialog::TPortableDialog(QWidget* parent, const TOptions& options)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      FOptions(options),
      FProgramDir(ProgramDir) {
  setObjectName(QStringLiteral("PortableDialog"));
}

TPortableDialog::~TPortableDialog() {
  // The dialog cannot close while the work runs; this only guards a program
  // that ends under it.
  if (FWorker) FWorker->wait();
}

void TPortableDialog::Init(const QString& drive, const QString& displayName) {
  setWindowTitle(LResList.GetText("PortableDialog", 1));
  DriveRoot = ExcludeSlash(drive);
  AutorunIni.emplace(ReadAll(JoinPath(DriveRoot, QStringLiteral("autorun.inf"))));
  PlayerPresent = AutorunIni->StartsPlayer();
  TargetFolder = PortableTargetFolder(DriveRoot);
  AutorunIni->SetPlayer(PortableRelativeFolder(DriveRoot, TargetFolder));

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  // As large as the texts need, and at least as wide as it was drawn.
  outer->setSizeConstraint(QLayout::SetFixedSize);
  auto* column = new QVBoxLayout;
  column->setContentsMargins(8, 16, 8, 12);
  column->setSpacing(0);
  outer->addLayout(column);

  IntroLabel = NewLabel(this, LResList.GetText("PortableDialog", 11));
  // The dialog keeps its size while the work hides the introduction and
  // shows the bar.
  QSizePolicy keep = IntroLabel->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  IntroLabel->setSizePolicy(keep);
  column->addWidget(IntroLabel);
  column->addSpacing(24);
  const QString captions[2] = {FormatText(LResList.GetText("PortableDialog", 21), {displayName}),
                               FormatText(LResList.GetText("PortableDialog", 22), {displayName})};
  for (int i = 0; i < 2; ++i) {
    Choice[i] = new QRadioButton(captions[i], this);
    Choice[i]->setChecked(i == 0);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(16, 0, 0, 0);
    row->addWidget(Choice[i]);
    column->addLayout(row);
    column->addSpacing(8);
  }
  // An existing copy offers its removal first.
  Choice[1]->setEnabled(PlayerPresent);
  if (PlayerPresent) Choice[1]->setChecked(true);
  column->addSpacing(16);
  // Two lines for the target or the file being copied; a result with the
  // reason of a failure takes more, and the dialog grows to show it.
  StatusLabel = NewWrapLabel(this, LResList.GetText("PortableDialog", 31) + ": " + TargetFolder, 2);
  StatusLabel->setMinimumWidth(kClientWidth - 16);
  column->addWidget(StatusLabel);
  ProgressBar = new QProgressBar(this);
  ProgressBar->setTextVisible(false);
  keep = ProgressBar->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  ProgressBar->setSizePolicy(keep);
  ProgressBar->hide();
  column->addWidget(ProgressBar);

  Buttons = new TDialogBtnPanel(this);
  Buttons->Setup(DlgBtns({bProceed, bCancel, bDlgHelp}), true, 8,
                 [this](QPushButton* button) { ButtonClicked(button); });
  outer->addWidget(Buttons);
}

void TPortableDialog::ButtonClicked(QPushButton* button) {
  switch (TDialogBtnPanel::KindOf(button)) {
    case bProceed:
      Buttons->KeepDialogOpen();
      Proceed();
      break;
    case bCancel:
      // Once the work is done this is the Close button; after success it
      // reports the success.
      if (FSucceeded) {
        Buttons->KeepDialogOpen();
        accept();
      }
      break;
    case bDlgHelp:
      ShowHelpContext(kHelpContext);
      break;
    default:
      break;
  }
}

void TPortableDialog::Proceed() {
  if (FWorker || FDone) return;
  if (Choice[0]->isChecked())
    CopyPlayer();
  else
    RemovePlayer();
}

void TPortableDialog::CopyPlayer() {
  TPortableCopyPlan plan;
  plan.ProgramDir = FProgramDir;
  plan.DriveRoot = DriveRoot;
  plan.TargetFolder = TargetFolder;
  plan.Files = PortableFileSet(FProgramDir);
  plan.Settings = CarriedSettings(FOptions);
  plan.Autorun = AutorunIni->Bytes();
  IntroLabel->hide();
  ProgressBar->setRange(0, PortableCopySteps(plan));
  ProgressBar->setValue(0);
  StartWork([this, plan] {
    return CopyPlayerFiles(plan, [this](int step, const QString& target) {
      QMetaObject::invokeMethod(
          this, [this, step, target] { ShowStep(step, target); }, Qt::QueuedConnection);
    });
  });
}

void TPortableDialog::RemovePlayer() {
  AutorunIni.reset();
  FRemoving = true;
  IntroLabel->setEnabled(false);
  ProgressBar->setRange(0, 1);
  ProgressBar->setValue(0);
  const QString drive = DriveRoot, target = TargetFolder;
  StartWork([drive, target] { return RemovePlayerFiles(drive, target); });
}

void TPortableDialog::StartWork(std::function<TPortableError()> work) {
  for (QRadioButton* radio : Choice) radio->setEnabled(false);
  ProgressBar->show();
  Buttons->EnableButtons({}, DlgBtns({bProceed, bCancel, bDlgHelp}));
  FWorker = QThread::create([this, work = std::move(work)] { FError = work(); });
  connect(FWorker, &QThread::finished, this, [this] {
    FWorker->deleteLater();
    FWorker = nullptr;
    Finish(FError);
  });
  FWorker->start();
}

void TPortableDialog::ShowStep(int step, const QString& target) {
  if (!FWorker) return;
  ProgressBar->setValue(step);
  StatusLabel->setText(LResList.GetText("PortableDialog", 32) + " " + target);
}

void TPortableDialog::Finish(const TPortableError& error) {
  FDone = true;
  FSucceeded = error.Ok();
  Buttons->EnableButtons(DlgBtns({bCancel, bDlgHelp}), {});
  if (QPushButton* proceed = Buttons->Button(bProceed)) proceed->hide();
  if (QPushButton* cancel = Buttons->Button(bCancel)) cancel->setText(Buttons->Caption(bClose));
  ProgressBar->setValue(ProgressBar->maximum());
  ProgressBar->hide();
  QString status;
  if (FRemoving)
    status = FSucceeded ? LResList.GetTextRange("PortableDialog", 51, 2, " ")
                        : LResList.GetTextRange("PortableDialog", 55, 2, " ");
  else
    status = FSucceeded ? LResList.GetTextRange("PortableDialog", 41, 2, " ")
                        : LResList.GetTextRange("PortableDialog", 45, 2, " ");
  if (!FSucceeded) status += "\n" + ErrorText(error);
  StatusLabel->setText(status);
  emit WorkDone(FSucceeded);
}

QString TPortableDialog::ErrorText(const TPortableError& error) const {
  if (error.Ok()) return {};
  // The error's number is that of its text.
  QString text = FormatText(LResList.GetText("PortableDialog", error.Text), {error.Path});
  AppendSep(text, error.Reason, QStringLiteral(": "));
  return text;
}

void TPortableDialog::reject() {
  // Escape and the window's close button act as Cancel, which the work holds.
  if (FWorker) return;
  if (FSucceeded)
    accept();
  else
    QDialog::reject();
}

void TPortableDialog::closeEvent(QCloseEvent* event) {
  if (FWorker) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

bool ShowPortableDialog(QWidget* parent, const TOptions& options, const QString& drive,
                        const QString& displayName) {
  TPortableDialog dialog(parent, options);
  dialog.Init(drive, displayName);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace vexo
