#pragma once
// The browser column's own pictures, the fall-back where the desktop's icon
// theme has none.
#include <QIcon>
#include <QString>

namespace vexo {

// themeName: a freedesktop icon name; ownFile: e.g. "column-play.svg".
QIcon ColumnIcon(const QString& themeName, const QString& ownFile);

}  // namespace vexo
