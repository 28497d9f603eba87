#include "app/common/dialog_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "app/common/title_panel.h"

namespace vexo {
namespace {

template <class T>
T* Place(T* control, int x, int y, int width) {
  const QSize hint = control->sizeHint();
  control->setGeometry(x, y, width < 0 ? hint.width() : width, hint.height());
  return control;
}

}  // namespace

QLabel* NewLabel(QWidget* parent, const QString& caption, int x, int y, int width) {
  return Place(new QLabel(caption, parent), x, y, width);
}

QLabel* NewWrapLabel(QWidget* parent, const QString& caption, int x, int y, int width, int lines) {
  auto* label = new QLabel(caption, parent);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setGeometry(x, y, width, QFontMetrics(label->font()).lineSpacing() * lines);
  return label;
}

QCheckBox* NewCheckBox(QWidget* parent, const QString& caption, int x, int y, int width) {
  return Place(new QCheckBox(caption, parent), x, y, width);
}

QComboBox* NewDropDown(QWidget* parent, const QStringList& items, int x, int y, int width) {
  auto* box = new QComboBox(parent);
  box->setEditable(false);
  box->addItems(items);
  return Place(box, x, y, width);
}

QSpinBox* NewSpinEdit(QWidget* parent, int x, int y, int width, int min, int max) {
  auto* spin = new QSpinBox(parent);
  spin->setRange(min, max);
  spin->setSingleStep(1);
  return Place(spin, x, y, width);
}

QLineEdit* NewEdit(QWidget* parent, const QString& text, int x, int y, int width) {
  return Place(new QLineEdit(text, parent), x, y, width);
}

QPushButton* NewButton(QWidget* parent, const QString& caption, int x, int y, int width,
                       int height) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(x, y, width, height);
  return button;
}

TTitlePanel* NewTitle(QWidget* parent, const QString& caption, int x, int y, int totalWidth) {
  return new TTitlePanel(parent, caption, x, y, totalWidth);
}

}  // namespace vexo
