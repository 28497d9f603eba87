#pragma once
// The one desktop of the tests: what a program with a screen finds on a user's
// machine, private to the test process. A screen (Xvfb, or weston for the
// native Wayland client), a PulseAudio server with a null sink, a session bus,
// and a home with its XDG folders; the process's environment points at them
// while the desktop lives, so programs started from the test share them.
//
// Every server is a child that the kernel ends when the test process dies
// (a crash, a ctest timeout), and each stops at once when told: no teardown
// waits for anything to time out.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vexo::test {

enum class TScreen { None, X, Wayland };

struct TDesktopParts {
  TScreen Screen = TScreen::X;
  bool Sound = false;
  // Without a bus the address points nowhere, so that no user's bus is reached.
  bool Bus = false;
  bool Home = true;
};

// A server run by the desktop; it is ended with SIGTERM (SIGKILL when it does
// not go within a few seconds) and dies with the test process in any case.
class TServerProcess {
 public:
  // `logFile` takes the server's standard output and error (/dev/null when empty);
  // `readyFd`, when not -1, is the write end of a pipe the server reports on.
  TServerProcess(const std::vector<std::string>& argv, const std::string& logFile, int readyFd = -1,
                 const std::vector<std::string>& env = {});
  ~TServerProcess() { Stop(); }
  TServerProcess(const TServerProcess&) = delete;
  TServerProcess& operator=(const TServerProcess&) = delete;

  bool Started() const { return FPid > 0; }
  // False once the server has ended (it is reaped then).
  bool Alive();
  pid_t Pid() const { return FPid; }
  void Stop();

 private:
  pid_t FPid = -1;
};

class TTestDesktop {
 public:
  explicit TTestDesktop(TDesktopParts parts = {});
  ~TTestDesktop();
  TTestDesktop(const TTestDesktop&) = delete;
  TTestDesktop& operator=(const TTestDesktop&) = delete;

  // Whether every part asked for is up; Failure() says which one is not, and why.
  bool Ready() const { return FFailure.empty(); }
  const std::string& Failure() const { return FFailure; }

  // ":N" of the X server, empty without one.
  const std::string& Display() const { return FDisplay; }
  // The sound server's address for PULSE_SERVER or a client's connect call,
  // and the name of its null sink.
  std::string PulseAddress() const { return FPulseSocket.empty() ? "" : "unix:" + FPulseSocket; }
  static constexpr const char* kNullSink = "vexo_null";
  const std::string& BusAddress() const { return FBusAddress; }
  const std::string& HomeDir() const { return FHome; }
  std::string ConfigDir() const { return FHome + "/.config"; }
  std::string DataDir() const { return FHome + "/.local/share"; }
  std::string RuntimeDir() const { return FRuntime; }
  // The servers' own words, for a failure message.
  std::string PulseLog() const;
  std::string WestonLog() const;
  // "NAME=value" for every variable the desktop set, for a program started
  // with an environment of its own.
  std::vector<std::string> Environment() const;

 private:
  void Set(const char* name, const std::string& value);
  void Unset(const char* name);
  bool StartX();
  bool StartWayland();
  bool StartSound();
  bool StartBus();

  std::string FFailure;
  std::string FDir, FHome, FRuntime, FDisplay, FPulseSocket, FBusAddress;
  std::vector<std::unique_ptr<TServerProcess>> FServers;
  std::vector<std::pair<std::string, std::string>> FSet;
  // What the variables were before, put back at the end.
  std::vector<std::pair<std::string, std::pair<bool, std::string>>> FSaved;
};

// The desktop for the whole test program; register it once, at static
// initialisation, with AddDesktop().
class TDesktopEnvironment : public ::testing::Environment {
 public:
  explicit TDesktopEnvironment(TDesktopParts parts = {}) : FParts(parts) {}
  void SetUp() override {
    Desktop = std::make_unique<TTestDesktop>(FParts);
    ASSERT_TRUE(Desktop->Ready()) << Desktop->Failure();
  }
  void TearDown() override { Desktop.reset(); }

  std::unique_ptr<TTestDesktop> Desktop;

 private:
  TDesktopParts FParts;
};

inline TDesktopEnvironment* AddDesktop(TDesktopParts parts = {}) {
  return static_cast<TDesktopEnvironment*>(
      ::testing::AddGlobalTestEnvironment(new TDesktopEnvironment(parts)));
}

// Xvfb alone, for a test that needs a second X server beside the desktop.
class TXServer {
 public:
  // Starts Xvfb with one 1280x1024x24 screen; DISPLAY is left as it is.
  TXServer();
  bool Running() const { return !FDisplay.empty(); }
  const std::string& DisplayName() const { return FDisplay; }

 private:
  std::unique_ptr<TServerProcess> FServer;
  std::string FDisplay;
};

}  // namespace vexo::test
