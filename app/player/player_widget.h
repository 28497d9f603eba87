#pragma once
// The player control as a widget: hosts the player's screen in a native
// window, paints the background and the error text, switches full screen,
// hides the cursor, keeps the pop-up menu's items in step and saves the
// current picture as a JPEG file.
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/player/video_popup_rules.h"
#include "engine/playback/av_player.h"
#include "engine/playback/player_host.h"
#include "platform/raster_video_device.h"

namespace vexo {

class TPlayerWidget : public QWidget, private TPlayerHost {
  Q_OBJECT

 public:
  explicit TPlayerWidget(QWidget* parent = nullptr);
  ~TPlayerWidget() override;

  TAVPlayer& Player() { return *FPlayer; }

  bool SaveFrame(const QString& fileName);
  void SetPopupMenu(QMenu* menu);
  // Decides which items of the pop-up menu can be used; runs before it opens.
  void PopupOpening();
  // Runs first when the pop-up menu is about to open, so that the owner can
  // fill the menu's lists for the file on show.
  std::function<void()> OnPopupOpening;

 signals:
  // The mouse moved over the picture, in this widget's coordinates.
  void MouseMoved(const QPoint& position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // The wheel over the picture sets the loudness, a step per notch.
  void wheelEvent(QWheelEvent* event) override;

 private:
  TVideoCanvas* Canvas() override { return &FCanvas; }
  TNativeWindow NativeWindow() override { return TNativeWindow(winId()); }
  void ClientRect(int32_t& left, int32_t& top, int32_t& width, int32_t& height) override;
  void DesktopSize(int32_t& width, int32_t& height) override;
  void Invalidate() override { update(); }
  void PaintNow() override { repaint(); }
  void PaintBackground() override;
  void PostEndOfPlay(uint32_t run) override;
  void PostPictureReady() override;
  void SetCursorVisible(bool visible) override;
  void SetCursorTimer(bool enabled) override;
  void FullScreenSwitched(bool on) override;

  void PaintBackgroundWith(QPainter& painter);

  TRasterVideoCanvas FCanvas;
  QPainter* FPainter = nullptr;
  QTimer FCursorTimer;
  QPointer<QMenu> FPopupMenu;
  // Commands shared with the main menu, as they were before the pop-up opened.
  TSharedItemStates FSharedItems;
  std::unique_ptr<TAVPlayer> FPlayer;
};

}  // namespace vexo
