#pragma once
// Controls of dialogs laid out with Qt layouts: each made with its parent and
// caption; a width given is the least the control takes, and it grows to fit
// a longer text or a bigger font.
#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QWidget;

namespace vexo {

class TTitlePanel;

QLabel* NewLabel(QWidget* parent, const QString& caption);
// Wraps its words within the width its layout gives it and keeps room for
// at least `lines` text lines.
QLabel* NewWrapLabel(QWidget* parent, const QString& caption, int lines);
QCheckBox* NewCheckBox(QWidget* parent, const QString& caption);
// A list to choose from, without typing.
QComboBox* NewDropDown(QWidget* parent, const QStringList& items, int minWidth);
QSpinBox* NewSpinEdit(QWidget* parent, int minWidth, int min, int max);
QLineEdit* NewEdit(QWidget* parent, const QString& text, int minWidth);
QPushButton* NewButton(QWidget* parent, const QString& caption, int minWidth, int minHeight);
TTitlePanel* NewTitle(QWidget* parent, const QString& caption);

}  // namespace vexo
