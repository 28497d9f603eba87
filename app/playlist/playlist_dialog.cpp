#include "app/playlist/playlist_dialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QTimer>
#include <QVBoxLayout>

#include "app/common/language_list.h"
#include "app/common/message_boxes.h"

namespace vexo {

namespace {

const QString kDialogName = QStringLiteral("PlaylistDialog");
constexpr int kHeaderPicture = 64;

QString HeaderTextOf(int page) {
  return page == 0 ? LResList.GetText("PlaylistDialog", 1000)
                   : LResList.GetText("PlaylistDialog", 2000);
}

}  // namespace

TPlaylistDialog::TPlaylistDialog(QWidget* parent, TOptions& options)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      FOptions(options) {
  setObjectName(kDialogName);
}

void TPlaylistDialog::Setup(const TPLSelectionInfo& selection, TStartEvent onStart) {
  setWindowTitle(LResList.GetText("PlaylistDialog", 0));
  FFileCount = selection.FileCount;
  FFolderCount = selection.FolderCount;
  FTotalSize = selection.TotalSize;
  FOnStart = std::move(onStart);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  // As large as drawn at least, larger when a text or the font needs it.
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addWidget(MakeHeader());

  Pages = new QStackedWidget(this);
  Pages->setMinimumSize(kClientWidth, kPageHeight);
  SettPanel = new TPLSettPanel(Pages, FOptions);
  ProgrPanel = new TPLProgrPanel(Pages);
  Pages->addWidget(SettPanel);
  Pages->addWidget(ProgrPanel);
  layout->addWidget(Pages);

  Buttons = new TDialogBtnPanel(this);
  Buttons->Setup(DlgBtns({bProceed, bCancel, bDlgHelp}), true, 8,
                 [this](QPushButton* button) { ButtonClicked(button); });
  layout->addWidget(Buttons);

  // The Proceed button exists before the settings page reports its state.
  SettPanel->Setup([this](TPLSettPanel&, bool checked) {
    // Folders alone can only be played with folder play on.
    if (FFileCount == 0)
      Buttons->EnableButtons(checked ? DlgBtns({bProceed}) : TDlgBtnSet{},
                             checked ? TDlgBtnSet{} : DlgBtns({bProceed}));
  });
  ProgrPanel->Setup(kDialogName);
  ShowPage(0);
}

QWidget* TPlaylistDialog::MakeHeader() {
  auto* header = new QWidget(this);
  header->setObjectName(QStringLiteral("Header"));
  header->setMinimumSize(kClientWidth, kHeaderHeight);
  header->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  header->setAutoFillBackground(true);
  QPalette palette = header->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Base));
  header->setPalette(palette);
  auto* row = new QHBoxLayout(header);
  row->setContentsMargins(12, 4, 12, 4);
  row->setSpacing(12);
  auto* picture = new QLabel(header);
  const QIcon icon = QIcon::fromTheme(QStringLiteral("view-media-playlist"),
                                      QIcon(QStringLiteral(":/icons/column-playlist.svg")));
  picture->setPixmap(icon.pixmap(kHeaderPicture, kHeaderPicture));
  picture->setFixedSize(kHeaderPicture, kHeaderPicture);
  HeaderText = new QLabel(header);
  HeaderText->setWordWrap(true);
  QFont bold = HeaderText->font();
  bold.setBold(true);
  HeaderText->setFont(bold);
  row->addWidget(HeaderText, 1);
  row->addWidget(picture);
  return header;
}

void TPlaylistDialog::ShowPage(int page) {
  FPage = page;
  HeaderText->setText(HeaderTextOf(page));
  if (QPushButton* proceed = Buttons->Button(bProceed)) proceed->setVisible(page == 0);
  Pages->setCurrentIndex(page);
  if (page != 1 || FStarted) return;
  FStarted = true;
  // The work starts from the event loop, once the progress page has been
  // painted, and not inside the click that asked for it.
  QTimer::singleShot(0, this, [this] {
    if (FOnStart) FOnStart(*this);
  });
}

void TPlaylistDialog::Progress(int kind, const QString& text) {
  if (!FCancelled) ProgrPanel->Notify(kind, text);
}

void TPlaylistDialog::ButtonClicked(QPushButton* button) {
  switch (TDialogBtnPanel::KindOf(button)) {
    case bProceed:
      Buttons->KeepDialogOpen();
      if (FPage != 0) return;
      SettPanel->Save();
      ShowPage(1);
      break;
    case bCancel:
      if (FPage == 0) return;  // the strip closes the dialog with Cancel
      Buttons->KeepDialogOpen();
      CancelPressed();
      break;
    case bDlgHelp:
      ShowHelpContext(kHelpContext);
      break;
    default:
      break;
  }
}

void TPlaylistDialog::CancelPressed() {
  if (FPage == 0) {
    done(QDialog::Rejected);
    return;
  }
  // The running work sees the flag at its next step and ends the dialog.
  FCancelled = true;
  if (QPushButton* cancel = Buttons->Button(bCancel)) cancel->setEnabled(false);
}

void TPlaylistDialog::done(int result) {
  if (ProgrPanel) ProgrPanel->Flush();
  QDialog::done(result);
}

void TPlaylistDialog::reject() {
  CancelPressed();
}

void TPlaylistDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
  CancelPressed();
}

}  // namespace vexo
