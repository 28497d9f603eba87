#include "app/browser/shell_panel.h"

namespace vexo {

TShellPanel::TShellPanel(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("ShellPanel"));
  setFrameShape(QFrame::Box);
  setFrameShadow(QFrame::Plain);
  setLineWidth(1);
  resize(kWidth, height());
  FLayout = new QVBoxLayout(this);
  FLayout->setContentsMargins(0, 0, 0, 0);
  FLayout->setSpacing(0);
  FInfoPanel = new TShlCtrlPanel(this);
  FLayout->addStretch(1);
  FLayout->addWidget(FInfoPanel);
  connect(FInfoPanel, &TShlCtrlPanel::PlayClicked, this, &TShellPanel::PlayClicked);
}

void TShellPanel::SetGrid(QWidget* grid) {
  if (FGrid == grid) return;
  delete FGrid.data();
  // Without a grid a stretch keeps its place.
  if (FLayout->count() > 1) delete FLayout->takeAt(0);
  FGrid = grid;
  if (!grid) {
    FLayout->insertStretch(0, 1);
    return;
  }
  grid->setParent(this);
  FLayout->insertWidget(0, grid, 1);
  SetSkinActive(FSkinActive);
  grid->show();
}

void TShellPanel::SetSkinActive(bool on) {
  FSkinActive = on;
  setFrameShape(on ? QFrame::NoFrame : QFrame::Box);
  FInfoPanel->SetSkinActive(on);
  if (auto* frame = qobject_cast<QFrame*>(FGrid.data())) {
    frame->setFrameShape(on ? QFrame::Box : QFrame::NoFrame);
    frame->setFrameShadow(QFrame::Plain);
    frame->setLineWidth(1);
  }
}

}  // namespace vexo
