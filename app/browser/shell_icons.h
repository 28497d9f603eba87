#pragma once
// Small icons for the browser's nodes: the desktop's icon theme, with the
// program's own pictures where the theme has none.
#include <QIcon>

#include "app/browser/shell_node.h"

namespace vexo {

QIcon ShellIcon(const TShellNode& node);

}  // namespace vexo
