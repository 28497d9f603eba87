#include "app/player/page_list.h"

#include <QStackedLayout>

namespace vexo {

TPageList::TPageList(QWidget* parent) : QWidget(parent) {
  setObjectName("PageList");
  FLayout = new QStackedLayout(this);
  FLayout->setContentsMargins(0, 0, 0, 0);
}

QWidget* TPageList::AddPage() {
  auto* page = new QWidget(this);
  page->setObjectName("PagePanel");
  FPages.push_back(page);
  FLayout->addWidget(page);
  SetActivePage(page);
  return page;
}

void TPageList::SetActivePage(QWidget* page) {
  if (page == FActive || !page) return;
  FActive = page;
  // The stacked layout raises and shows the page, hides the one before, and
  // moves the keyboard focus onto the new page when it was on the old one.
  FLayout->setCurrentWidget(page);
}

}  // namespace vexo
