#include "app/player/page_list.h"

#include <QApplication>
#include <QResizeEvent>

namespace vexo {

TPageList::TPageList(QWidget* parent) : QWidget(parent) {
  setObjectName("PageList");
}

QWidget* TPageList::AddPage() {
  auto* page = new QWidget(this);
  page->setObjectName("PagePanel");
  page->setGeometry(rect());
  FPages.push_back(page);
  SetActivePage(page);
  return page;
}

void TPageList::SetActivePage(QWidget* page) {
  if (page == FActive) return;
  QWidget* old = FActive;
  const bool hadFocus = old && old->isAncestorOf(QApplication::focusWidget());
  FActive = page;
  if (page) {
    page->raise();
    page->show();
  }
  if (old) old->hide();
  // The keyboard stays inside the container when it was on the old page.
  if (hadFocus && page) page->setFocus();
}

void TPageList::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  for (QWidget* page : FPages) page->setGeometry(rect());
}

}  // namespace vexo
