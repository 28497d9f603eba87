#pragma once
// The keys the main window hands to its page before the focused control
// sees them: Enter, Esc, Space, End, Home and the four arrows.
#include <Qt>

namespace vexo {

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

}  // namespace vexo
