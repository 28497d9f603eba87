#include "app/shell/base_page.h"

#include <QShortcut>
#include <QVBoxLayout>

#include "app/common/menu_system.h"
#include "app/shell/page_log_view.h"
#include "app/shell/status_panels.h"
#include "engine/media/av_log.h"

namespace vexo {

TBasePage::TBasePage(QWidget* parent) : QFrame(parent) {}

TBasePage::~TBasePage() {
  // The engine must not hand lines to a view that is going away.
  if (FLogMemo) FreeLog();
}

void TBasePage::Init(TMenuSystem* menuSystem, TStatusPanels* statusBar) {
  FMenuSystem = menuSystem;
  // A window may let its menu system go before its page.
  if (menuSystem) connect(menuSystem, &QObject::destroyed, this, [this] { FMenuSystem = nullptr; });
  FStatusBar = statusBar;
  setFrameShape(QFrame::NoFrame);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  FLogSplitter = new QSplitter(Qt::Vertical, this);
  FLogSplitter->setChildrenCollapsible(false);
  FLogSplitter->setHandleWidth(4);
  FClient = new QWidget(FLogSplitter);
  FLogMemo = new TPageLogView(FLogSplitter);
  FLogMemo->setMinimumHeight(32);
  FLogSplitter->addWidget(FClient);
  FLogSplitter->addWidget(FLogMemo);
  FLogSplitter->setStretchFactor(0, 1);
  FLogMemo->hide();
  layout->addWidget(FLogSplitter);
  CreateLog(FLogMemo, -1);
  auto* toggle = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L), this);
  toggle->setContext(Qt::WindowShortcut);
  connect(toggle, &QShortcut::activated, this, [this] { SetLogVisible(!LogVisible()); });
}

void TBasePage::SetCommandStates(const TCommandSet& enabled, const TCommandSet& disabled) {
  if (FHasCommandStates && enabled == FEnabledCommands && disabled == FDisabledCommands) return;
  FHasCommandStates = true;
  FEnabledCommands = enabled;
  FDisabledCommands = disabled;
  if (FMenuSystem) FMenuSystem->EnableCommands(enabled, disabled);
}

void TBasePage::SetStatusText(const QString& text) {
  if (text == FStatusText) return;
  FStatusText = text;
  SetStatusPanel(kStatusTextPanel, text);
}

void TBasePage::SetStatusPanel(int panel, const QString& text) {
  if (FStatusBar) FStatusBar->SetText(panel, text);
}

void TBasePage::SetLogVisible(bool visible) {
  if (!FLogMemo || visible == LogVisible()) return;
  FLogMemo->setVisible(visible);
  if (visible && FLogSplitter->sizes().value(1) < 32) {
    const int total = FLogSplitter->height();
    FLogSplitter->setSizes({total - total / 4, total / 4});
  }
}

bool TBasePage::LogVisible() const {
  return FLogMemo && !FLogMemo->isHidden();
}

}  // namespace vexo
