#pragma once
// Pictures from the desktop's icon theme by their freedesktop names, with our
// own drawings of the same names (":/icons/<name>.svg") when the desktop has
// no theme or the theme lacks the picture.
#include <QIcon>
#include <span>
#include <vector>

namespace vexo {

QIcon ThemeIcon(const char* name);
// An image list: one picture per name, in order.
std::vector<QIcon> ThemeIcons(std::span<const char* const> names);

}  // namespace vexo
