#include "tests/support/pulse_server.h"

#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace vexo::test {

TPulseServer::TPulseServer() {
  char pattern[] = "/tmp/vexo-pulse-XXXXXX";
  if (!mkdtemp(pattern)) return;
  FDir = pattern;
  FSocket = FDir + "/native";
  const std::string command = "cd '" + FDir + "' && HOME='" + FDir + "' XDG_RUNTIME_DIR='" + FDir +
                              "' pulseaudio -n --daemonize=yes --exit-idle-time=-1 "
                              "--load='module-null-sink sink_name=vexo_null' "
                              "--load='module-native-protocol-unix auth-anonymous=1 socket=" +
                              FSocket + "' >'" + FDir + "/server.log' 2>&1";
  FStarted = std::system(command.c_str()) == 0;
  std::ifstream pidFile(FDir + "/pulse/pid");
  pidFile >> FPid;
}

TPulseServer::~TPulseServer() {
  if (FPid > 0 && kill(FPid, SIGTERM) == 0) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (kill(FPid, 0) == 0 && std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (kill(FPid, 0) == 0) kill(FPid, SIGKILL);
  }
  std::error_code ignored;
  if (!FDir.empty()) std::filesystem::remove_all(FDir, ignored);
}

std::string TPulseServer::Log() const {
  std::ifstream in(FDir + "/server.log");
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace vexo::test
