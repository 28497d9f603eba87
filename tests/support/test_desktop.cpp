#include "tests/support/test_desktop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace vexo::test {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr const char* kWaylandSocket = "wayland-vexo-test";
constexpr const char* kNoBus = "unix:path=/nonexistent";

std::string ReadAll(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Whether a server accepts connections on the Unix socket at path.
bool Accepts(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

// Reads one line the server writes on its ready pipe; empty when it ends or
// the time runs out first.
std::string ReadReadyLine(int fd) {
  std::string line;
  pollfd waitFor{fd, POLLIN, 0};
  const auto limit = Clock::now() + kStartLimit;
  while (Clock::now() < limit && poll(&waitFor, 1, 100) >= 0) {
    if (!(waitFor.revents & (POLLIN | POLLHUP))) continue;
    char c;
    if (read(fd, &c, 1) != 1 || c == '\n') break;
    line += c;
  }
  close(fd);
  return line;
}

// Waits until the server accepts on socketPath; false when it ended first.
bool WaitForSocket(TServerProcess& server, const std::string& socketPath) {
  const auto limit = Clock::now() + kStartLimit;
  while (Clock::now() < limit) {
    if (Accepts(socketPath)) return true;
    if (!server.Alive()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

std::unique_ptr<TServerProcess> StartXvfb(std::string& display) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return nullptr;
  // The server writes its display number on the pipe once it accepts clients.
  auto server = std::make_unique<TServerProcess>(
      std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                               "1280x1024x24", "-nolisten", "tcp", "+extension", "GLX"},
      "", fds[1]);
  close(fds[1]);
  const std::string number = ReadReadyLine(fds[0]);
  if (server->Started() && !number.empty()) display = ":" + number;
  return server;
}

}  // namespace

TServerProcess::TServerProcess(const std::vector<std::string>& argv, const std::string& logFile,
                               int readyFd, const std::vector<std::string>& env) {
  const pid_t parent = getpid();
  FPid = fork();
  if (FPid != 0) return;
  // The kernel ends the server with the test process, however that ends.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(1);
  const int out =
      open(logFile.empty() ? "/dev/null" : logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (out >= 0) {
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
  }
  const int in = open("/dev/null", O_RDONLY);
  if (in >= 0) dup2(in, STDIN_FILENO);
  if (readyFd >= 0) fcntl(readyFd, F_SETFD, 0);
  // "-NAME" removes a variable, "NAME=value" sets one.
  for (const std::string& entry : env) {
    if (!entry.empty() && entry[0] == '-')
      unsetenv(entry.c_str() + 1);
    else
      putenv(strdup(entry.c_str()));
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

bool TServerProcess::Alive() {
  if (FPid <= 0) return false;
  if (waitpid(FPid, nullptr, WNOHANG) != FPid) return true;
  FPid = -1;
  return false;
}

void TServerProcess::Stop() {
  if (FPid <= 0) return;
  kill(FPid, SIGTERM);
  const auto limit = Clock::now() + std::chrono::seconds(5);
  while (waitpid(FPid, nullptr, WNOHANG) == 0) {
    if (Clock::now() >= limit) {
      kill(FPid, SIGKILL);
      waitpid(FPid, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  FPid = -1;
}

TTestDesktop::TTestDesktop(TDesktopParts parts) {
  char folder[] = "/tmp/vexo-desktop-XXXXXX";
  if (!mkdtemp(folder)) {
    FFailure = "no temporary folder";
    return;
  }
  FDir = folder;
  // Wayland clients and the session bus refuse a runtime folder others may enter.
  FRuntime = FDir + "/run";
  mkdir(FRuntime.c_str(), 0700);
  Set("XDG_RUNTIME_DIR", FRuntime);
  if (parts.Home) {
    FHome = FDir + "/home";
    std::error_code ignored;
    std::filesystem::create_directories(DataDir(), ignored);
    std::filesystem::create_directories(ConfigDir(), ignored);
    std::filesystem::create_directories(FHome + "/.cache", ignored);
    Set("HOME", FHome);
    Set("XDG_CONFIG_HOME", ConfigDir());
    Set("XDG_DATA_HOME", DataDir());
    Set("XDG_CACHE_HOME", FHome + "/.cache");
    Unset("XDG_DESKTOP_DIR");
  }
  // Nothing reaches the machine's own buses.
  Set("DBUS_SYSTEM_BUS_ADDRESS", kNoBus);
  Set("DBUS_SESSION_BUS_ADDRESS", kNoBus);
  if (parts.Bus && !StartBus()) return;
  if (parts.Sound && !StartSound()) return;
  switch (parts.Screen) {
    case TScreen::None:
      Unset("DISPLAY");
      Unset("WAYLAND_DISPLAY");
      Set("QT_QPA_PLATFORM", "offscreen");
      break;
    case TScreen::X:
      if (!StartX()) return;
      break;
    case TScreen::Wayland:
      if (!StartWayland()) return;
      break;
  }
}

TTestDesktop::~TTestDesktop() {
  // The servers end in the reverse order of their start.
  while (!FServers.empty()) FServers.pop_back();
  for (auto it = FSaved.rbegin(); it != FSaved.rend(); ++it) {
    if (it->second.first)
      setenv(it->first.c_str(), it->second.second.c_str(), 1);
    else
      unsetenv(it->first.c_str());
  }
  if (!FDir.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(FDir, ignored);
  }
}

void TTestDesktop::Set(const char* name, const std::string& value) {
  const char* before = getenv(name);
  FSaved.push_back({name, {before != nullptr, before ? before : ""}});
  setenv(name, value.c_str(), 1);
  FSet.push_back({name, value});
}

void TTestDesktop::Unset(const char* name) {
  const char* before = getenv(name);
  FSaved.push_back({name, {before != nullptr, before ? before : ""}});
  unsetenv(name);
}

bool TTestDesktop::StartX() {
  FServers.push_back(StartXvfb(FDisplay));
  if (FDisplay.empty()) {
    FFailure = "Xvfb did not start";
    return false;
  }
  Set("DISPLAY", FDisplay);
  Unset("WAYLAND_DISPLAY");
  Set("QT_QPA_PLATFORM", "xcb");
  return true;
}

bool TTestDesktop::StartWayland() {
  // An idle output stops repainting, and clients waiting for their frame
  // callbacks would stall: never idle.
  FServers.push_back(std::make_unique<TServerProcess>(
      std::vector<std::string>{"weston", "--backend=headless-backend.so",
                               std::string("--socket=") + kWaylandSocket, "--width=1024",
                               "--height=768", "--idle-time=0", "--no-config"},
      FDir + "/weston.log", -1,
      std::vector<std::string>{"XDG_RUNTIME_DIR=" + FRuntime, "-DISPLAY", "-WAYLAND_DISPLAY"}));
  if (!WaitForSocket(*FServers.back(), FRuntime + "/" + kWaylandSocket)) {
    FFailure = "weston did not start:\n" + WestonLog();
    return false;
  }
  Set("WAYLAND_DISPLAY", kWaylandSocket);
  Unset("DISPLAY");
  Set("QT_QPA_PLATFORM", "wayland");
  return true;
}

bool TTestDesktop::StartSound() {
  const std::string dir = FDir + "/pulse";
  mkdir(dir.c_str(), 0700);
  FPulseSocket = dir + "/native";
  // Runs in the foreground, so that it stays the desktop's child; a sink that
  // consumes sound in real time, and a socket any client of this user may use.
  FServers.push_back(std::make_unique<TServerProcess>(
      std::vector<std::string>{
          "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
          std::string("--load=module-null-sink sink_name=") + kNullSink,
          "--load=module-native-protocol-unix auth-anonymous=1 socket=" + FPulseSocket},
      dir + "/server.log", -1,
      std::vector<std::string>{"HOME=" + dir, "XDG_RUNTIME_DIR=" + dir,
                               std::string("DBUS_SESSION_BUS_ADDRESS=") + kNoBus}));
  if (!WaitForSocket(*FServers.back(), FPulseSocket)) {
    FFailure = "PulseAudio did not start:\n" + PulseLog();
    FPulseSocket.clear();
    return false;
  }
  Set("PULSE_SERVER", PulseAddress());
  return true;
}

bool TTestDesktop::StartBus() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  FServers.push_back(std::make_unique<TServerProcess>(
      std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--nosyslog",
                               "--print-address=" + std::to_string(fds[1])},
      FDir + "/bus.log", fds[1]));
  close(fds[1]);
  FBusAddress = ReadReadyLine(fds[0]);
  if (FBusAddress.empty()) {
    FFailure = "no session bus:\n" + ReadAll(FDir + "/bus.log");
    return false;
  }
  Set("DBUS_SESSION_BUS_ADDRESS", FBusAddress);
  return true;
}

std::string TTestDesktop::PulseLog() const {
  return ReadAll(FDir + "/pulse/server.log");
}

std::string TTestDesktop::WestonLog() const {
  return ReadAll(FDir + "/weston.log");
}

std::vector<std::string> TTestDesktop::Environment() const {
  std::vector<std::string> entries;
  for (const auto& [name, value] : FSet) entries.push_back(name + "=" + value);
  return entries;
}

TXServer::TXServer() {
  FServer = StartXvfb(FDisplay);
}

}  // namespace vexo::test
