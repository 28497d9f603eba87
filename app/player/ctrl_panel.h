#pragma once
// The base of the control strips under the video and in the browser: paints
// its own gradient when no skin is active, and leaves its look to the skin's
// style sheet when one is.
#include <QWidget>

namespace vexo {

class TCtrlPanel : public QWidget {
  Q_OBJECT

 public:
  explicit TCtrlPanel(QWidget* parent = nullptr);

  bool SkinActive() const { return FSkinActive; }
  // Skins switched on or off.
  virtual void SetSkinActive(bool on);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool FSkinActive = false;
};

}  // namespace vexo
