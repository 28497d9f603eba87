#pragma once
// What the player control needs of the window that hosts it: the paint path
// and native window the screen draws into, where the window is, repainting,
// the cursor, and the queued end-of-play call. The app implements it with a
// widget; tests implement it in memory.
#include <cstdint>

#include "engine/video/video_device.h"

namespace vexo {

class TPlayerHost {
 public:
  virtual ~TPlayerHost() = default;

  virtual TVideoCanvas* Canvas() = 0;
  virtual TNativeWindow NativeWindow() = 0;
  // The client area: left and top in screen coordinates, width and height.
  virtual void ClientRect(int32_t& left, int32_t& top, int32_t& width, int32_t& height) = 0;
  // The desktop the window shows on; frame sizes are fitted to it.
  virtual void DesktopSize(int32_t& width, int32_t& height) = 0;

  // Asks for a repaint later (Invalidate) or at once (PaintNow).
  virtual void Invalidate() = 0;
  virtual void PaintNow() = 0;
  // Paints the background colour around the picture and the error text.
  virtual void PaintBackground() = 0;

  // Calls the player's EndOfPlay later on the user-interface thread, with the
  // value given; never from inside this call.
  virtual void PostEndOfPlay(uint32_t run) = 0;
  // Calls the player's PictureReady later on the user-interface thread. Any
  // thread may call it.
  virtual void PostPictureReady() = 0;

  virtual void SetCursorVisible(bool visible) = 0;
  virtual void SetCursorTimer(bool enabled) = 0;
  // Full screen was switched on or off; the pop-up menu follows.
  virtual void FullScreenSwitched(bool /*on*/) {}
};

}  // namespace vexo
