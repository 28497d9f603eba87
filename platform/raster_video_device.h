#pragma once
// The raster output: the bottom-up 32-bit frame bitmap painted into the
// picture rectangle of a widget with QPainter.
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include "engine/video/video_device.h"

namespace vexo {

class TRasterVideoCanvas : public TVideoCanvas {
 public:
  explicit TRasterVideoCanvas(QWidget* widget) : FWidget(widget) {}

  // The widget's paint event brackets its painting with these; in between,
  // StretchDraw paints with the widget's painter.
  void BeginPaint(QPainter* painter) { FPainter = painter; }
  void EndPaint() { FPainter = nullptr; }
  // Smooth scaling while still, fast scaling while playing.
  void SetPlaying(bool playing) { FPlaying = playing; }

  // Outside a paint event the widget repaints the rectangle at once, and its
  // paint event shows the frame again.
  void StretchDraw(const TVideoRect& display, const TFrameBitmapView& bitmap) override;

 private:
  QPointer<QWidget> FWidget;
  QPainter* FPainter = nullptr;
  bool FPlaying = false;
  bool FRepainting = false;
};

}  // namespace vexo
