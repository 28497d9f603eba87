#include "app/browser/column_icons.h"

// The pictures live in a static library, whose resource registration the
// linker would drop unless something refers to it.
static void InitColumnIcons() {
  Q_INIT_RESOURCE(column_icons);
}

namespace vexo {

QIcon ColumnIcon(const QString& themeName, const QString& ownFile) {
  static const bool registered = (InitColumnIcons(), true);
  (void)registered;
  return QIcon::fromTheme(themeName, QIcon(QStringLiteral(":/icons/") + ownFile));
}

}  // namespace vexo
