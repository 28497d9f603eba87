#include "app/playlist/pl_progr_panel.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/common/language_list.h"

namespace vexo {
namespace {

// As wide as the widest of the texts it shows, whichever it shows now, so
// that the item beside it stands still.
class TWidestLabel : public QLabel {
 public:
  TWidestLabel(const QStringList& texts, QWidget* parent) : QLabel(parent), FTexts(texts) {}
  QSize sizeHint() const override { return Widened(QLabel::sizeHint()); }
  QSize minimumSizeHint() const override { return Widened(QLabel::minimumSizeHint()); }

 private:
  QSize Widened(QSize size) const {
    int widest = 0;
    for (const QString& text : FTexts)
      widest = std::max(widest, fontMetrics().horizontalAdvance(text));
    return {std::max(size.width(), widest + 4), size.height()};
  }
  QStringList FTexts;
};

constexpr int kMemoHeight = 206;

}  // namespace

TPLProgrPanel::TPLProgrPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PLProgrPanel"));
  setMinimumSize(kWidth, kHeight);
}

void TPLProgrPanel::Setup(const QString& section) {
  Section = section;
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(12, 10, 12, 8);
  column->setSpacing(0);
  auto* caption = new QLabel(LResList.GetText("PlaylistDialog", 2001), this);
  caption->setMinimumHeight(18);
  caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  column->addWidget(caption);
  Memo = new QPlainTextEdit(this);
  Memo->setReadOnly(true);
  caption->setBuddy(Memo);
  Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setMinimumHeight(kMemoHeight);
  column->addWidget(Memo, 1);
  column->addSpacing(12);
  auto* statusRow = new QHBoxLayout;
  statusRow->setSpacing(0);
  StatusLabel = new TWidestLabel(
      {LResList.GetText("AVPlayerEnc", 5001), LResList.GetText("AVPlayerEnc", 5002),
       LResList.GetText("AVPlayerEnc", 5003)},
      this);
  StatusLabel->setMinimumHeight(19);
  statusRow->addWidget(StatusLabel);
  ItemLabel = new QLabel(this);
  // A long file name is cut at the dialog's edge rather than widening it.
  ItemLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  statusRow->addWidget(ItemLabel, 1);
  column->addLayout(statusRow);
  ProgressBar = new QProgressBar(this);
  ProgressBar->setTextVisible(false);
  ProgressBar->setMinimumHeight(18);
  // The length of the search is not known: the bar stays empty until it ends.
  ProgressBar->setRange(0, 1);
  ProgressBar->setValue(0);
  column->addWidget(ProgressBar);
}

void TPLProgrPanel::Notify(int kind, const QString& text) {
  switch (kind) {
    case plEnumStart:
      StatusLabel->setText(LResList.GetText("AVPlayerEnc", 5001));
      ItemLabel->clear();
      break;
    case plEnumEnd:
      StatusLabel->setText(LResList.GetText("AVPlayerEnc", 5002));
      ItemLabel->clear();
      break;
    case plSearchDone:
      StatusLabel->setText(LResList.GetText("AVPlayerEnc", 5003));
      ProgressBar->setMaximum(Count + 1);
      ProgressBar->setValue(0);
      Count = 0;
      break;
    case plItem:
      ItemLabel->setText(QFileInfo(text).fileName());
      break;
    case plAccepted:
      ItemLabel->setText(QFileInfo(text).fileName());
      Count += 1;
      break;
    case plOpened:
      Count += 1;
      ItemLabel->setText(QString::number(Count));
      FPendingLines << QString::asprintf("%d. ", Count) + text;
      FPendingSteps += 1;
      break;
    default:
      return;
  }
  // Items come far faster than a screen shows them: serving the window once a
  // frame keeps it live and Cancel prompt without repainting it for each of
  // hundreds of files. The rare steps of the search, and the first file
  // opened, are always shown.
  const bool step = kind == plEnumStart || kind == plEnumEnd || kind == plSearchDone ||
                    (kind == plOpened && Count == 1);
  if (!step && FLastServed.isValid() && FLastServed.elapsed() < kServeIntervalMs) {
    // Shown at the next serve, or once the work gives the event loop back.
    if (!FPendingLines.isEmpty() && !FFlushQueued) {
      FFlushQueued = true;
      QTimer::singleShot(0, this, [this] { Flush(); });
    }
    return;
  }
  Flush();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  FLastServed.start();
}

void TPLProgrPanel::Flush() {
  FFlushQueued = false;
  if (FPendingLines.isEmpty()) return;
  // One block of lines and one step of the bar: the bar repaints at once on
  // every change of its value.
  Memo->appendPlainText(FPendingLines.join('\n'));
  FPendingLines.clear();
  ProgressBar->setValue(std::min(ProgressBar->maximum(), ProgressBar->value() + FPendingSteps));
  FPendingSteps = 0;
}

}  // namespace vexo
