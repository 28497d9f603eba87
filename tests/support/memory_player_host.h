#pragma once
// A window for the player control that exists only in memory: a 640x480
// client area on a 1280x1024 desktop; it counts what the player asks of it.
#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/playback/player_host.h"

namespace vexo::test {

class TMemoryHost : public TPlayerHost {
 public:
  TVideoCanvas* Canvas() override { return nullptr; }
  TNativeWindow NativeWindow() override { return 0; }
  void ClientRect(int32_t& left, int32_t& top, int32_t& width, int32_t& height) override {
    left = 10, top = 20, width = 640, height = 480;
  }
  void DesktopSize(int32_t& width, int32_t& height) override { width = 1280, height = 1024; }
  void Invalidate() override { ++Invalidates; }
  void PaintNow() override { ++Paints; }
  void PaintBackground() override { ++Backgrounds; }
  void PostEndOfPlay(uint32_t run) override { Posted.push_back(run); }
  void PostPictureReady() override { PicturesReady += 1; }
  void SetCursorVisible(bool visible) override { CursorCalls.push_back(visible); }
  void SetCursorTimer(bool enabled) override { TimerOn = enabled; }

  int Invalidates = 0, Paints = 0, Backgrounds = 0;
  std::vector<uint32_t> Posted;
  std::atomic<int> PicturesReady{0};
  std::vector<bool> CursorCalls;
  bool TimerOn = false;
};

}  // namespace vexo::test
