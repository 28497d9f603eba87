#pragma once
// Controls of dialogs laid out in code: each made with its parent, caption,
// position and width, its height the one the control asks for.
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

// width below 0: as wide as the caption needs.
QLabel* NewLabel(QWidget* parent, const QString& caption, int x, int y, int width = -1);
// Wraps its words within width and is `lines` text lines high.
QLabel* NewWrapLabel(QWidget* parent, const QString& caption, int x, int y, int width, int lines);
QCheckBox* NewCheckBox(QWidget* parent, const QString& caption, int x, int y, int width);
// A list to choose from, without typing.
QComboBox* NewDropDown(QWidget* parent, const QStringList& items, int x, int y, int width);
QSpinBox* NewSpinEdit(QWidget* parent, int x, int y, int width, int min, int max);
QLineEdit* NewEdit(QWidget* parent, const QString& text, int x, int y, int width);
QPushButton* NewButton(QWidget* parent, const QString& caption, int x, int y, int width,
                       int height);
TTitlePanel* NewTitle(QWidget* parent, const QString& caption, int x, int y, int totalWidth);

}  // namespace vexo
