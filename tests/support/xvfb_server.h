#pragma once
// A private X server for tests that need real windows: started on a free
// display number that the server picks itself, so parallel tests never clash.
#include <sys/types.h>
#include <string>

namespace vexo::test {

class TXvfbServer {
 public:
  // Starts Xvfb with one 1280x1024x24 screen and points DISPLAY at it.
  TXvfbServer();
  ~TXvfbServer();
  TXvfbServer(const TXvfbServer&) = delete;
  TXvfbServer& operator=(const TXvfbServer&) = delete;

  bool Running() const { return FPid > 0 && !FDisplay.empty(); }
  const std::string& DisplayName() const { return FDisplay; }

 private:
  pid_t FPid = -1;
  std::string FDisplay;
};

}  // namespace vexo::test
