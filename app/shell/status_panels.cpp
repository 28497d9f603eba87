#include "app/shell/status_panels.h"

namespace vexo {

TStatusPanels::TStatusPanels(QStatusBar* bar) : FBar(bar) {
  static constexpr std::array<int, kCount> kMinimumWidths = {150, 120, 90, 0};
  for (int i = 0; i < kCount; ++i) {
    FLabels[size_t(i)] = new QLabel(bar);
    FLabels[size_t(i)]->setMinimumWidth(kMinimumWidths[size_t(i)]);
    // The free text takes what the others leave.
    bar->addWidget(FLabels[size_t(i)], i == kCount - 1 ? 1 : 0);
  }
}

void TStatusPanels::SetText(int panel, const QString& text) {
  if (panel >= 0 && panel < kCount) FLabels[size_t(panel)]->setText(text);
}

void TStatusPanels::SetWidth(int panel, int width) {
  if (panel >= 0 && panel < kCount - 1) FLabels[size_t(panel)]->setFixedWidth(width);
}

QString TStatusPanels::Text(int panel) const {
  return panel >= 0 && panel < kCount ? FLabels[size_t(panel)]->text() : QString();
}

}  // namespace vexo
