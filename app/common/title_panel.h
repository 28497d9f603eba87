#pragma once
// A group title of a dialog page: the caption, then a 2-pixel line from 4
// pixels right of it, at half its height, up to the title's full width.
#include <QLabel>
#include <QWidget>

namespace vexo {

class TTitlePanel : public QWidget {
  Q_OBJECT
 public:
  TTitlePanel(QWidget* parent, const QString& caption);
  QLabel* Caption() const { return FCaption; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLabel* FCaption;
};

}  // namespace vexo
