#include "tests/support/weston_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace vexo::test {

namespace {

constexpr const char* kSocket = "wayland-vexo-test";

}  // namespace

TWestonServer::TWestonServer() {
  char folder[] = "/tmp/vexo-weston-XXXXXX";
  if (!mkdtemp(folder)) return;
  FRuntimeDir = folder;
  // Wayland clients refuse a runtime folder that others may enter.
  chmod(folder, 0700);
  const std::string logFile = FRuntimeDir + "/weston.log";
  FPid = fork();
  if (FPid == 0) {
    // A test program that dies takes its compositor with it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (log >= 0) {
      dup2(log, STDOUT_FILENO);
      dup2(log, STDERR_FILENO);
    }
    setenv("XDG_RUNTIME_DIR", FRuntimeDir.c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    const std::string socket = std::string("--socket=") + kSocket;
    // An idle output stops repainting, and clients waiting for their frame
    // callbacks would stall: never idle.
    execlp("weston", "weston", "--backend=headless-backend.so", socket.c_str(), "--width=1024",
           "--height=768", "--idle-time=0", "--no-config", static_cast<char*>(nullptr));
    _exit(127);
  }
  if (FPid < 0) return;
  const std::string socketPath = FRuntimeDir + "/" + kSocket;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    if (std::filesystem::exists(socketPath)) {
      FRunning = true;
      break;
    }
    if (waitpid(FPid, nullptr, WNOHANG) == FPid) {
      FPid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!FRunning) return;
  setenv("XDG_RUNTIME_DIR", FRuntimeDir.c_str(), 1);
  setenv("WAYLAND_DISPLAY", kSocket, 1);
  unsetenv("DISPLAY");
}

TWestonServer::~TWestonServer() {
  if (FPid > 0) {
    kill(FPid, SIGTERM);
    waitpid(FPid, nullptr, 0);
  }
  if (!FRuntimeDir.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(FRuntimeDir, ignored);
  }
}

std::string TWestonServer::Log() const {
  std::ifstream file(FRuntimeDir + "/weston.log");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace vexo::test
