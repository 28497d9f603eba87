#pragma once
// A PulseAudio server of one test process alone, with a null sink that
// consumes sound in real time.
#include <sys/types.h>

#include <string>

namespace vexo::test {

class TPulseServer {
 public:
  TPulseServer();
  ~TPulseServer();
  TPulseServer(const TPulseServer&) = delete;
  TPulseServer& operator=(const TPulseServer&) = delete;

  bool Started() const { return FStarted; }
  // The server address for PULSE_SERVER or a client's connect call.
  std::string Address() const { return "unix:" + FSocket; }
  // The folder the server runs in; it goes away with the server.
  const std::string& Dir() const { return FDir; }
  std::string Log() const;

 private:
  std::string FDir, FSocket;
  bool FStarted = false;
  pid_t FPid = 0;
};

}  // namespace vexo::test
