#include "app/common/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "app/common/ini_file.h"
#include "app/common/program_environment.h"

namespace vexo {
namespace {

int PixelsPerInch(const QWidget* window) {
  const QScreen* screen = window->screen();
  return screen ? int(std::lround(screen->logicalDotsPerInch())) : 96;
}

QRect Desktop(const QWidget* window) {
  const QScreen* screen = window->screen();
  return screen ? screen->virtualGeometry() : WorkArea;
}

}  // namespace

void CenterInWorkArea(QWidget* window) {
  const int width = std::min(window->width(), WorkArea.width());
  const int height = std::min(window->height(), WorkArea.height());
  const int left = WorkArea.left() + std::max(0, (WorkArea.width() - width) / 2);
  const int top = WorkArea.top() + std::max(0, (WorkArea.height() - height) / 2);
  window->setGeometry(left, top, width, height);
}

QSize PercentOfWorkArea(int percent) {
  return {WorkArea.width() * percent / 100, WorkArea.height() * percent / 100};
}

bool LoadWindowPlacement(QWidget* window, const TSIniFile& ini, const QString& section) {
  if (ini.ReadInteger(section, "PPI", 0) != PixelsPerInch(window)) return false;
  const QRect desktop = Desktop(window);
  int left = std::max(ini.ReadInteger(section, "Left", window->x()), WorkArea.left());
  int top = std::max(ini.ReadInteger(section, "Top", window->y()), WorkArea.top());
  const int width =
      std::max(400, std::min(ini.ReadInteger(section, "Width", window->width()), desktop.width()));
  const int height = std::max(
      400, std::min(ini.ReadInteger(section, "Height", window->height()), desktop.height()));
  if (left + width > desktop.right() + 1)
    left = std::max(desktop.left(), desktop.right() + 1 - width);
  if (top + height > desktop.bottom() + 1)
    top = std::max(desktop.top(), desktop.bottom() + 1 - height);
  window->setGeometry(left, top, width, height);
  return ini.ReadBool(section, "Maximized", false);
}

void SaveWindowPlacement(const QWidget* window, TSIniFile& ini, const QString& section) {
  const QRect normal = window->isMaximized() || window->isFullScreen() ? window->normalGeometry()
                                                                       : window->geometry();
  ini.WriteInteger(section, "Left", normal.left());
  ini.WriteInteger(section, "Top", normal.top());
  ini.WriteInteger(section, "Width", normal.width());
  ini.WriteInteger(section, "Height", normal.height());
  ini.WriteInteger(section, "PPI", PixelsPerInch(window));
  ini.WriteBool(section, "Maximized", window->isMaximized());
}

}  // namespace vexo
