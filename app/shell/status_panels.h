#pragma once
// The four text panels of the main window's status bar: video mode, type and
// size of the selected item, and a free text (hints, progress).
#include <QLabel>
#include <QStatusBar>
#include <array>

namespace vexo {

class TStatusPanels {
 public:
  static constexpr int kCount = 4;
  explicit TStatusPanels(QStatusBar* bar);

  void SetText(int panel, const QString& text);
  // A panel of that width whatever its text; the last one takes the rest.
  void SetWidth(int panel, int width);
  QString Text(int panel) const;
  QStatusBar* Bar() const { return FBar; }

 private:
  QStatusBar* FBar;
  std::array<QLabel*, kCount> FLabels{};
};

}  // namespace vexo
