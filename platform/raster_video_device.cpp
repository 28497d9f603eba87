#include "platform/raster_video_device.h"

#include <QImage>

namespace vexo {

void TRasterVideoCanvas::StretchDraw(const TVideoRect& display, const TFrameBitmapView& bitmap) {
  const QRect target(display.Left, display.Top, display.Right - display.Left + 1,
                     display.Bottom - display.Top + 1);
  if (!FPainter) {
    if (FWidget && !FRepainting) {
      FRepainting = true;
      FWidget->repaint(target);
      FRepainting = false;
    }
    return;
  }
  if (!bitmap.Pixels || bitmap.Width <= 0 || bitmap.Height <= 0 || target.isEmpty()) return;
  const QImage image(bitmap.Pixels, bitmap.Width, bitmap.Height, bitmap.Stride,
                     QImage::Format_RGB32);
  FPainter->save();
  FPainter->setRenderHint(QPainter::SmoothPixmapTransform, !FPlaying);
  // The bitmap's first row is the picture's bottom row: paint it mirrored
  // about the middle of the target.
  FPainter->translate(0, target.top() + target.bottom() + 1);
  FPainter->scale(1, -1);
  FPainter->drawImage(target, image);
  FPainter->restore();
}

}  // namespace vexo
