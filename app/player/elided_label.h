#pragma once
// A one-line label that, when it is given less room than its text needs,
// draws the text cut with an ellipsis instead of cut through a letter, and
// offers the whole text as its tool tip. Its text stays whole for whoever
// reads it (tests, screen readers). It asks for no width of its own: a layout
// gives it what the controls beside it leave.
#include <QLabel>

namespace vexo {

class TElidedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TElidedLabel(QWidget* parent = nullptr);

  QSize minimumSizeHint() const override;
  // The text as it is drawn in the present width.
  QString ShownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace vexo
