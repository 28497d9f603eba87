#include "app/common/theme_icon.h"

// The built-in pictures live in a static library: nothing would pull them
// into a program unless something names them.
static void InitThemeIcons() {
  static const bool done = [] {
    Q_INIT_RESOURCE(theme_icons);
    return true;
  }();
  (void)done;
}

namespace vexo {

QIcon ThemeIcon(const QString& themeName, const QString& ownFile) {
  InitThemeIcons();
  return QIcon::fromTheme(themeName, QIcon(QStringLiteral(":/icons/") + ownFile));
}

}  // namespace vexo
