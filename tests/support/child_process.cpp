#include "tests/support/child_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace vexo::test {

using Clock = std::chrono::steady_clock;

TChildProcess::TChildProcess(const std::vector<std::string>& argv,
                             const std::vector<std::string>& env) {
  int fds[2];
  if (argv.empty() || pipe(fds) != 0) return;
  FPid = fork();
  if (FPid == 0) {
    close(fds[0]);
    dup2(fds[1], STDOUT_FILENO);
    close(fds[1]);
    // Under LeakSanitizer the desktop libraries' process-lifetime allocations
    // are theirs, not the program's; tests may still override the options.
    setenv("LSAN_OPTIONS", "suppressions=" VEXO_SOURCE_DIR "/tests/support/third_party.lsan", 0);
    // The leak tracer of GCC 12's runtime crashes at exit now and then on dynamic TLS it
    // misreads; test.sh says more.
    setenv("ASAN_OPTIONS", "intercept_tls_get_addr=0", 0);
    for (const std::string& entry : env) putenv(strdup(entry.c_str()));
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(fds[1]);
  if (FPid < 0) {
    close(fds[0]);
    return;
  }
  FOut = fds[0];
}

TChildProcess::~TChildProcess() {
  if (FPid > 0 && !FReaped) Wait(std::chrono::seconds(10));
  if (FOut >= 0) close(FOut);
}

bool TChildProcess::ReadSome(int ms) {
  if (FOut < 0) return false;
  pollfd waitFor{FOut, POLLIN, 0};
  if (poll(&waitFor, 1, ms) <= 0) return true;
  char buffer[4096];
  const ssize_t n = read(FOut, buffer, sizeof buffer);
  if (n <= 0) {
    close(FOut);
    FOut = -1;
    if (!FPartial.empty()) FLines.push_back(FPartial), FPartial.clear();
    return false;
  }
  for (ssize_t i = 0; i < n; ++i) {
    if (buffer[i] == '\n')
      FLines.push_back(FPartial), FPartial.clear();
    else
      FPartial += buffer[i];
  }
  return true;
}

std::string TChildProcess::WaitLine(const std::string& prefix, std::chrono::seconds timeout) {
  const auto limit = Clock::now() + timeout;
  for (;;) {
    for (; FNextLine < FLines.size(); ++FNextLine)
      if (FLines[FNextLine].rfind(prefix, 0) == 0) return FLines[FNextLine++];
    if (Clock::now() >= limit || !ReadSome(100)) {
      for (; FNextLine < FLines.size(); ++FNextLine)
        if (FLines[FNextLine].rfind(prefix, 0) == 0) return FLines[FNextLine++];
      return {};
    }
  }
}

int TChildProcess::Wait(std::chrono::seconds timeout) {
  if (FPid <= 0) return -1;
  if (FReaped) return FStatus;
  const auto limit = Clock::now() + timeout;
  int status = 0;
  for (;;) {
    while (ReadSome(20)) {
      if (Clock::now() >= limit) break;
    }
    const pid_t done = waitpid(FPid, &status, WNOHANG);
    if (done == FPid) break;
    if (Clock::now() >= limit) {
      kill(FPid, SIGKILL);
      waitpid(FPid, &status, 0);
      FReaped = true;
      return FStatus = -1;
    }
    if (FOut < 0) usleep(20000);
  }
  while (ReadSome(0)) {
  }
  FReaped = true;
  FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return FStatus;
}

std::string TChildProcess::Output() const {
  std::string all;
  for (const std::string& line : FLines) all += line + "\n";
  return all + FPartial;
}

TRunResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                      std::chrono::seconds timeout) {
  TChildProcess child(argv, env);
  TRunResult result;
  result.Status = child.Wait(timeout);
  result.Lines = child.Lines();
  return result;
}

}  // namespace vexo::test
