#pragma once
// The browser column: the shell grid on top and the information strip with
// the play button below it. It only lays out; the page wires the grid and
// decides what the strip shows and what its button does.
#include <QFrame>
#include <QPointer>
#include <QVBoxLayout>

#include "app/browser/shl_ctrl_panel.h"

namespace vexo {

class TShellPanel : public QFrame {
  Q_OBJECT

 public:
  static constexpr int kWidth = 250;

  explicit TShellPanel(QWidget* parent = nullptr);

  // Puts the grid into the space above the strip; the panel takes it over.
  // A grid set earlier is deleted.
  void SetGrid(QWidget* grid);
  QWidget* Grid() const { return FGrid; }
  TShlCtrlPanel* InfoPanel() const { return FInfoPanel; }

  // With a skin the grid gets a single-line border of its own; without one
  // the panel's border frames the column.
  void SetSkinActive(bool on);

 signals:
  // The strip's play button was pressed.
  void PlayClicked();

 private:
  QVBoxLayout* FLayout = nullptr;
  QPointer<QWidget> FGrid;
  TShlCtrlPanel* FInfoPanel = nullptr;
  bool FSkinActive = false;
};

}  // namespace vexo
