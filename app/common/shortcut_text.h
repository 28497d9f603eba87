#pragma once
// Shortcut texts of the language file ("Ctrl+O", "F1", "Shift+Del").
#include <QKeySequence>
#include <QString>

namespace vexo {

// One key with its modifiers; an empty sequence for an empty text or one
// that names no key.
QKeySequence ShortcutFromText(const QString& text);

}  // namespace vexo
