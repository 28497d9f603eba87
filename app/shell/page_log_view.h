#pragma once
// The log pane of a page: a read-only text view that receives the engine's
// log lines while it is shown. Lines from other threads arrive through a
// queued call, so the engine never waits for the window.
#include <QPlainTextEdit>
#include <atomic>

#include "engine/media/av_log.h"

namespace vexo {

class TPageLogView : public QPlainTextEdit, public TLogView {
  Q_OBJECT

 public:
  static constexpr int kMaxLines = 5000;
  explicit TPageLogView(QWidget* parent = nullptr);

  void AppendLine(const std::string& line) override;
  void LinesPending() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  std::atomic<bool> FDrainQueued{false};
};

}  // namespace vexo
