#include "app/common/theme_icons.h"

namespace vexo {

QIcon ThemeIcon(const char* name) {
  const QString themeName = QString::fromLatin1(name);
  return QIcon::fromTheme(themeName, QIcon(QStringLiteral(":/icons/%1.svg").arg(themeName)));
}

std::vector<QIcon> ThemeIcons(std::span<const char* const> names) {
  std::vector<QIcon> icons;
  icons.reserve(names.size());
  for (const char* name : names) icons.push_back(ThemeIcon(name));
  return icons;
}

}  // namespace vexo
