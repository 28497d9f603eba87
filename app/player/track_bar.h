#pragma once
// The position bar: a channel from 0 to the timeline's length in
// milliseconds, the part already played, and a handle the user drags. It
// never takes the keyboard focus and ignores the mouse wheel, so the
// position only moves through the player or a deliberate drag. A new
// position repaints only the strip between the old and the new handle.
#include <QWidget>
#include <cstdint>

namespace vexo {

class TCTrackBar : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 28;
  static constexpr int kThumbWidth = 11;
  static constexpr int kThumbLength = kHeight - 4;

  explicit TCTrackBar(QWidget* parent = nullptr);

  int32_t Max() const { return FMax; }
  void SetMax(int32_t max);
  int32_t Position() const { return FPosition; }
  // Moves the handle without telling anyone (the player reported it).
  void SetPosition(int32_t position);
  // Moves the handle there as a click on that spot does, for a screen reader
  // or another helper that cannot point.
  void JumpTo(int32_t position);

  // The part of the bar the handle's centre travels, in bar coordinates.
  QRect ChannelRect() const { return QRect(0, 0, width(), height()); }
  QRect ThumbRect() const;
  // The handle's centre for a position, and the position under an x.
  int32_t XOfPosition(int32_t position) const;
  int32_t PositionOfX(int32_t x) const;

 signals:
  void MouseDown(Qt::MouseButton button);
  // The user moved the handle.
  void Changed(int32_t position);
  void MouseUp(Qt::MouseButton button);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Moves the handle; repaints the strip it crossed; true when it moved.
  bool MoveTo(int32_t position);
  void DragTo(int x);

  int32_t FMax = 0;
  int32_t FPosition = 0;
  bool FDragging = false;
  // Where in the handle it was grabbed, from its centre.
  int FGrabOffset = 0;
};

}  // namespace vexo
