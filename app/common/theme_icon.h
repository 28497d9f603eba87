#pragma once
// Pictures by their freedesktop name from the desktop's icon theme, with the
// program's own drawing as the fall-back where the theme has none.
#include <QIcon>
#include <QString>

namespace vexo {

// themeName: e.g. "media-playback-start"; ownFile: the file name of the
// program's own picture among its built-in icons, e.g. "ctrl-play.svg".
QIcon ThemeIcon(const QString& themeName, const QString& ownFile);

}  // namespace vexo
