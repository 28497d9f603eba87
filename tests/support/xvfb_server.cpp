#include "tests/support/xvfb_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace vexo::test {

TXvfbServer::TXvfbServer() {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return;
  FPid = fork();
  if (FPid == 0) {
    close(pipeFds[0]);
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0) {
      dup2(devNull, STDOUT_FILENO);
      dup2(devNull, STDERR_FILENO);
    }
    const std::string fd = std::to_string(pipeFds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
           "tcp", "+extension", "GLX", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  if (FPid < 0) {
    close(pipeFds[0]);
    return;
  }
  // The server writes its display number once it accepts connections.
  std::string number;
  pollfd waitFor{pipeFds[0], POLLIN, 0};
  while (poll(&waitFor, 1, 20000) > 0) {
    char c;
    if (read(pipeFds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(pipeFds[0]);
  if (number.empty()) return;
  FDisplay = ":" + number;
  setenv("DISPLAY", FDisplay.c_str(), 1);
}

TXvfbServer::~TXvfbServer() {
  if (FPid <= 0) return;
  kill(FPid, SIGTERM);
  int status = 0;
  waitpid(FPid, &status, 0);
}

}  // namespace vexo::test
