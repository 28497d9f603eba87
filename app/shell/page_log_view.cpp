#include "app/shell/page_log_view.h"

#include <QMetaObject>

#include "app/common/language_list.h"

namespace vexo {

TPageLogView::TPageLogView(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setAccessibleName(LResList.ReadValue("Accessible", "Log", {}));
  setMaximumBlockCount(kMaxLines);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setLineWrapMode(QPlainTextEdit::NoWrap);
}

void TPageLogView::AppendLine(const std::string& line) {
  appendPlainText(QString::fromStdString(line));
}

void TPageLogView::LinesPending() {
  // One queued drain serves every line that arrives before it runs.
  if (FDrainQueued.exchange(true)) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        FDrainQueued.store(false);
        DrainLog();
      },
      Qt::QueuedConnection);
}

void TPageLogView::showEvent(QShowEvent* event) {
  QPlainTextEdit::showEvent(event);
  SetVisible(true);
}

void TPageLogView::hideEvent(QHideEvent* event) {
  SetVisible(false);
  QPlainTextEdit::hideEvent(event);
}

}  // namespace vexo
