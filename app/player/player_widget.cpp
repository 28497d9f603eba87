#include "app/player/player_widget.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFont>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>
#include <algorithm>
#include <exception>

#include "app/player/jpeg_writer.h"
#include "app/player/video_popup_rules.h"
#include "app/player/volume_control.h"
#include "engine/input/av_in_file_list.h"
#include "engine/media/av_log.h"
#include "engine/media/av_types.h"
#include "engine/playback/av_sync_queue.h"
#include "engine/video/av_screen.h"

namespace vexo {

namespace {

constexpr int kErrorTextMinPoints = 9;
constexpr int kErrorTextMaxPoints = 16;

QColor ColorOf(uint32_t colorRef) {
  return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

}  // namespace

TPlayerWidget::TPlayerWidget(QWidget* parent) : QWidget(parent), FCanvas(this) {
  // The screen draws into this window itself, and every pixel is painted
  // here, so the platform must neither erase nor share it.
  setAttribute(Qt::WA_NativeWindow);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  FCursorTimer.setInterval(kCursorTickMs);
  connect(&FCursorTimer, &QTimer::timeout, this, [this] { FPlayer->CursorTick(); });
  // Playback threads hand their calls to this thread; have them run soon.
  SetSyncWakeup([] {
    if (QCoreApplication* app = QCoreApplication::instance())
      QMetaObject::invokeMethod(
          app, [] { CheckSynchronize(); }, Qt::QueuedConnection);
  });
  FPlayer = std::make_unique<TAVPlayer>(static_cast<TPlayerHost&>(*this));
}

TPlayerWidget::~TPlayerWidget() {
  FPlayer.reset();
  SetSyncWakeup(nullptr);
}

void TPlayerWidget::ClientRect(int32_t& left, int32_t& top, int32_t& width, int32_t& height) {
  const QPoint origin = mapToGlobal(QPoint(0, 0));
  left = origin.x();
  top = origin.y();
  width = this->width();
  height = this->height();
}

void TPlayerWidget::DesktopSize(int32_t& width, int32_t& height) {
  const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
  const QSize size = shown ? shown->geometry().size() : QSize(1024, 768);
  width = size.width();
  height = size.height();
}

void TPlayerWidget::PostEndOfPlay(uint32_t run) {
  QMetaObject::invokeMethod(
      this, [this, run] { FPlayer->EndOfPlay(run); }, Qt::QueuedConnection);
}

void TPlayerWidget::PostPictureReady() {
  QMetaObject::invokeMethod(
      this, [this] { FPlayer->PictureReady(); }, Qt::QueuedConnection);
}

void TPlayerWidget::SetCursorVisible(bool visible) {
  if (visible)
    unsetCursor();
  else
    setCursor(Qt::BlankCursor);
}

void TPlayerWidget::SetCursorTimer(bool enabled) {
  if (enabled)
    FCursorTimer.start();
  else
    FCursorTimer.stop();
}

void TPlayerWidget::FullScreenSwitched(bool on) {
  if (FPopupMenu) ApplyVideoPopupRules(*FPopupMenu, on, FPlayer->State(), FPlayer->IsOpen());
}

void TPlayerWidget::SetPopupMenu(QMenu* menu) {
  if (FPopupMenu) disconnect(FPopupMenu, &QMenu::aboutToHide, this, nullptr);
  FPopupMenu = menu;
  if (menu) connect(menu, &QMenu::aboutToHide, this, [this] { RestoreSharedItems(FSharedItems); });
}

void TPlayerWidget::PopupOpening() {
  if (!FPopupMenu) return;
  if (OnPopupOpening) OnPopupOpening();
  if (FPlayer->FullScreen()) {
    FPlayer->ShowCursor(true);
    FPlayer->SetCursorAutoHide(false);
  }
  ApplyVideoPopupRules(*FPopupMenu, FPlayer->FullScreen(), FPlayer->State(), FPlayer->IsOpen(),
                       &FSharedItems);
}

void TPlayerWidget::contextMenuEvent(QContextMenuEvent* event) {
  if (!FPopupMenu) return QWidget::contextMenuEvent(event);
  PopupOpening();
  FPopupMenu->exec(event->globalPos());
}

void TPlayerWidget::wheelEvent(QWheelEvent* event) {
  TVolumeControl::Instance().TurnWheel(event->angleDelta().y());
  event->accept();
}

void TPlayerWidget::PaintBackground() {
  if (FPainter)
    PaintBackgroundWith(*FPainter);
  else
    update();
}

void TPlayerWidget::PaintBackgroundWith(QPainter& painter) {
  const TAVScreen* screen = FPlayer->Screen();
  const QRect client = rect();
  painter.save();
  // A photo that could not be shown leaves no picture to spare.
  const std::string pictureError = FPlayer->PictureErrorText();
  if (screen && screen->FVideoMode != vmXVideo && !FPlayer->ScreenLock() && pictureError.empty()) {
    const TVideoRect& d = screen->FDisplayRect;
    const QRect display(QPoint(d.Left + 1, d.Top), QPoint(d.Right, d.Bottom));
    // The picture area is left alone so that it does not flicker.
    if (display != client) painter.setClipRegion(QRegion(client).subtracted(QRegion(display)));
  }
  painter.fillRect(client, ColorOf(AVParams.BackColor));
  painter.restore();
  if (FPlayer->ErrorCode() == peNone && pictureError.empty()) return;
  const std::string& text = FPlayer->ErrorCode() == peNone ? pictureError : FPlayer->ErrorText();
  if (text.empty()) {
    Log("Assertion: On AVError FScreenErrMsg cannot be blank");
    return;
  }
  painter.save();
  painter.setRenderHint(QPainter::TextAntialiasing);
  // Grows with the area, but stays the size of a message that is read, not a
  // title over the picture, also in full screen.
  QFont font("Arial");
  font.setPointSize(std::clamp(client.width() / 50, kErrorTextMinPoints, kErrorTextMaxPoints));
  painter.setFont(font);
  painter.setPen(QColor(0xE0, 0xE0, 0xE0));
  const int margin = client.width() / 12;
  painter.drawText(client.adjusted(margin, 0, -margin, 0), Qt::AlignCenter | Qt::TextWordWrap,
                   QString::fromStdString(text));
  painter.restore();
}

void TPlayerWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  FPainter = &painter;
  FCanvas.SetPlaying(FPlayer->State() == psPlaying);
  FCanvas.BeginPaint(&painter);
  if (!FPlayer->HasScreen() || FPlayer->ScreenLock() || !FPlayer->PaintFrame(true))
    PaintBackgroundWith(painter);
  FCanvas.EndPaint();
  FPainter = nullptr;
}

void TPlayerWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FPlayer->UpdateWindowRect();
}

void TPlayerWidget::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  FPlayer->UpdateWindowRect();
}

void TPlayerWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  QWidget::mouseDoubleClickEvent(event);
  if (FPlayer->IsOpen()) FPlayer->SetFullScreen(!FPlayer->FullScreen());
}

void TPlayerWidget::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  if (FPlayer->FullScreen() && event->button() == Qt::LeftButton) FCursorTimer.start();
}

void TPlayerWidget::mouseMoveEvent(QMouseEvent* event) {
  QWidget::mouseMoveEvent(event);
  if (FPlayer->FullScreen()) FPlayer->ShowCursor(true);
  emit MouseMoved(event->position().toPoint());
}

bool TPlayerWidget::SaveFrame(const QString& fileName) {
  try {
    TAVInFileList* list = FPlayer->List();
    if (!list) return false;
    TBitmap32 bitmap;
    if (!list->RenderToBitmap(bitmap, 0, 0, 0)) return false;
    return WriteJpegFile(bitmap, fileName.toStdString(), 90);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace vexo
