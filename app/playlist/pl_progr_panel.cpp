#include "app/playlist/pl_progr_panel.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QTimer>
#include <algorithm>

#include "app/common/language_list.h"

namespace vexo {

TPLProgrPanel::TPLProgrPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PLProgrPanel"));
  resize(kWidth, kHeight);
}

void TPLProgrPanel::Setup(const QString& section) {
  Section = section;
  const int w = kWidth;
  int y = 10;
  auto* caption = new QLabel(LResList.GetText("PlaylistDialog", 2001), this);
  caption->move(12, y);
  y += 18;
  Memo = new QPlainTextEdit(this);
  Memo->setReadOnly(true);
  caption->setBuddy(Memo);
  Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setGeometry(12, y, w - 24, 206);
  y += 206 + 12;
  StatusLabel = new QLabel(this);
  StatusLabel->move(12, y);
  const QFontMetrics metrics(StatusLabel->font());
  int widest = 0;
  for (const QString& status :
       {LResList.GetText("AVPlayerEnc", 5001), LResList.GetText("AVPlayerEnc", 5002),
        LResList.GetText("AVPlayerEnc", 5003)})
    widest = std::max(widest, metrics.horizontalAdvance(status));
  StatusLabel->resize(widest + 4, metrics.height());
  ItemLabel = new QLabel(this);
  ItemLabel->setGeometry(widest + 16, y, std::max(0, w - 12 - (widest + 16)), metrics.height());
  y += 19;
  ProgressBar = new QProgressBar(this);
  ProgressBar->setGeometry(12, y, w - 24, 18);
  ProgressBar->setTextVisible(false);
  // The length of the search is not known: the bar stays empty until it ends.
  ProgressBar->setRange(0, 1);
  ProgressBar->setValue(0);
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
