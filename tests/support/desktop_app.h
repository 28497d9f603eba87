#pragma once
// The test desktop with the one QApplication of a test program whose windows
// must be real, and, when asked, the player's video and sound systems on it.
// Register it once per program:
//   auto* const desktop = test::AddDesktopApp("name", {.Sound = true}, true);
#include <gtest/gtest.h>

#include <QApplication>
#include <functional>
#include <memory>

#include "engine/media/av_types.h"
#include "platform/platform_sound_system.h"
#include "platform/video_system.h"
#include "tests/support/test_desktop.h"

namespace vexo::test {

class TDesktopApp : public TDesktopEnvironment {
 public:
  // beforeApp runs once the desktop is up, before the application exists.
  // players: the player's video system, and its sound system on the desktop's
  // null sink (the desktop needs sound then).
  TDesktopApp(const char* programName, TDesktopParts parts, bool players = false,
              std::function<void()> beforeApp = {})
      : TDesktopEnvironment(parts),
        FName(programName),
        FPlayers(players),
        FBeforeApp(std::move(beforeApp)) {}

  void SetUp() override {
    TDesktopEnvironment::SetUp();
    if (!Desktop->Ready()) return;
    if (FBeforeApp) FBeforeApp();
    static int argc = 1;
    static char* argv[] = {const_cast<char*>(FName), nullptr};
    App = std::make_unique<QApplication>(argc, argv);
    if (!FPlayers) return;
    Video = std::make_unique<TDesktopVideoSystem>();
    Sound = std::make_unique<TPlatformSoundSystem>(Desktop->PulseAddress(), "null");
    SetSoundSystem(Sound.get());
  }
  void TearDown() override {
    if (Sound) SetSoundSystem(nullptr);
    Sound.reset();
    Video.reset();
    App.reset();
    TDesktopEnvironment::TearDown();
  }
  bool Ready() const { return Desktop && Desktop->Ready() && App; }

  std::unique_ptr<QApplication> App;
  std::unique_ptr<TDesktopVideoSystem> Video;
  std::unique_ptr<TPlatformSoundSystem> Sound;

 private:
  const char* FName;
  bool FPlayers;
  std::function<void()> FBeforeApp;
};

template <typename TEnvironment = TDesktopApp, typename... TArgs>
TEnvironment* AddDesktopApp(TArgs&&... args) {
  return static_cast<TEnvironment*>(
      ::testing::AddGlobalTestEnvironment(new TEnvironment(std::forward<TArgs>(args)...)));
}

}  // namespace vexo::test
