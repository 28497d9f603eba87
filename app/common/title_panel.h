#pragma once
// Group titles and rules that the dialogs are laid out with: a caption
// followed, 4 pixels to its right and at half its height, by a 2-pixel line
// that takes the rest of the width its layout gives it; and the bare 2-pixel
// line.
#include <QLabel>
#include <QWidget>

namespace vexo {

class THLine : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kThickness = 2;
  explicit THLine(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class TTitlePanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kLineGap = 4;
  TTitlePanel(QWidget* parent, const QString& caption);

  QLabel* Caption() const { return FCaption; }
  THLine* Line() const { return FLine; }

 private:
  QLabel* FCaption;
  THLine* FLine;
};

}  // namespace vexo
