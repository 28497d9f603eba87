#pragma once
// A private Wayland compositor for tests of the native Wayland client: weston
// without any screen (its headless back end, drawing in software), listening
// in a runtime folder of its own so that it meets no desktop session.
#include <sys/types.h>

#include <string>

namespace vexo::test {

class TWestonServer {
 public:
  // Starts weston with one 1024x768 output and points XDG_RUNTIME_DIR and
  // WAYLAND_DISPLAY at it; DISPLAY is removed, so nothing reaches an X server.
  TWestonServer();
  ~TWestonServer();
  TWestonServer(const TWestonServer&) = delete;
  TWestonServer& operator=(const TWestonServer&) = delete;

  bool Running() const { return FRunning; }
  // weston's own output: why it did not start.
  std::string Log() const;

 private:
  pid_t FPid = -1;
  bool FRunning = false;
  std::string FRuntimeDir;
};

}  // namespace vexo::test
