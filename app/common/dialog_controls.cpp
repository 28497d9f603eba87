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

// At least the width the dialog was drawn with, more when the text needs it.
template <class T>
T* AtLeast(T* control, int minWidth) {
  control->setMinimumWidth(minWidth);
  return control;
}

}  // namespace

QLabel* NewLabel(QWidget* parent, const QString& caption) {
  return new QLabel(caption, parent);
}

QLabel* NewWrapLabel(QWidget* parent, const QString& caption, int lines) {
  auto* label = new QLabel(caption, parent);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setMinimumHeight(QFontMetrics(label->font()).lineSpacing() * lines);
  return label;
}

QCheckBox* NewCheckBox(QWidget* parent, const QString& caption) {
  return new QCheckBox(caption, parent);
}

QComboBox* NewDropDown(QWidget* parent, const QStringList& items, int minWidth) {
  auto* box = new QComboBox(parent);
  box->setEditable(false);
  box->addItems(items);
  // The longest item shows whole, added later or not.
  box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return AtLeast(box, minWidth);
}

QSpinBox* NewSpinEdit(QWidget* parent, int minWidth, int min, int max) {
  auto* spin = new QSpinBox(parent);
  spin->setRange(min, max);
  spin->setSingleStep(1);
  return AtLeast(spin, minWidth);
}

QLineEdit* NewEdit(QWidget* parent, const QString& text, int minWidth) {
  return AtLeast(new QLineEdit(text, parent), minWidth);
}

QPushButton* NewButton(QWidget* parent, const QString& caption, int minWidth, int minHeight) {
  auto* button = new QPushButton(caption, parent);
  button->setMinimumSize(minWidth, minHeight);
  return button;
}

TTitlePanel* NewTitle(QWidget* parent, const QString& caption) {
  return new TTitlePanel(parent, caption);
}

}  // namespace vexo
