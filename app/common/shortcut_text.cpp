#include "app/common/shortcut_text.h"

namespace vexo {

QKeySequence ShortcutFromText(const QString& text) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return {};
  const QKeySequence sequence = QKeySequence::fromString(trimmed, QKeySequence::PortableText);
  if (sequence.count() != 1) return {};
  switch (sequence[0].key()) {
    case Qt::Key_unknown:
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
      return {};
    default:
      return sequence;
  }
}

}  // namespace vexo
