#pragma once
// A container that shows one of its pages at a time, each page filling it.
#include <QWidget>
#include <vector>

class QStackedLayout;

namespace vexo {

class TPageList : public QWidget {
  Q_OBJECT

 public:
  explicit TPageList(QWidget* parent = nullptr);

  // Appends a page that fills the container and makes it the one shown.
  QWidget* AddPage();
  QWidget* Pages(int index) const { return FPages.at(size_t(index)); }
  int PageCount() const { return int(FPages.size()); }
  QWidget* ActivePage() const { return FActive; }
  void SetActivePage(QWidget* page);

 private:
  QStackedLayout* FLayout = nullptr;
  std::vector<QWidget*> FPages;
  QWidget* FActive = nullptr;
};

}  // namespace vexo
