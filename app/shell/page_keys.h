#pragma once
// The keys the main window hands to its page before the focused control
// sees them: Enter, Esc, Space, End, Home and the four arrows, and the
// loudness keys (+, - and M) unless the focused control takes typed text.
#include <QAbstractSpinBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <Qt>

namespace vexo {

inline bool IsVolumeKey(int key) {
  return key == Qt::Key_Plus || key == Qt::Key_Equal || key == Qt::Key_Minus || key == Qt::Key_M;
}

inline bool IsPageKey(int key) {
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Space:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
      return true;
    default:
      return false;
  }
}

// The same for a key on its way to `target`.
inline bool IsPageKey(int key, const QObject* target) {
  if (IsVolumeKey(key)) {
    const auto* text = qobject_cast<const QPlainTextEdit*>(target);
    const auto* rich = qobject_cast<const QTextEdit*>(target);
    return !qobject_cast<const QLineEdit*>(target) &&
           !qobject_cast<const QAbstractSpinBox*>(target) && !(text && !text->isReadOnly()) &&
           !(rich && !rich->isReadOnly());
  }
  return IsPageKey(key);
}

}  // namespace vexo
