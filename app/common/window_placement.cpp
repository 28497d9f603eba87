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
  const int width =
      std::max(400, std::min(ini.ReadInteger(section, "Width", window->width()), desktop.width()));
  const int height = std::max(
      400, std::min(ini.ReadInteger(section, "Height", window->height()), desktop.height()));
  // In 64 bits: a stored position near the end of the integer range must not
  // wrap round when the size is added and so escape being moved back.
  auto place = [](int stored, int workStart, int deskStart, int deskEnd, int size) {
    int64_t at = std::max<int64_t>(stored, workStart);
    if (at + size > int64_t(deskEnd) + 1)
      at = std::max<int64_t>(deskStart, int64_t(deskEnd) + 1 - size);
    return int(at);
  };
  const int left = place(ini.ReadInteger(section, "Left", window->x()), WorkArea.left(),
                         desktop.left(), desktop.right(), width);
  const int top = place(ini.ReadInteger(section, "Top", window->y()), WorkArea.top(), desktop.top(),
                        desktop.bottom(), height);
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
