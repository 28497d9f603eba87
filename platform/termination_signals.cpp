#include "platform/termination_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace vexo {
namespace {

int Pipe[2] = {-1, -1};
struct sigaction Previous[2];
constexpr int kSignals[2] = {SIGTERM, SIGINT};

// Only what is safe in a signal handler: one byte down the pipe.
void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(Pipe[1], &byte, 1);
}

}  // namespace

TTerminationSignals::TTerminationSignals(QObject* parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, Pipe) != 0) return;
  FNotifier = new QSocketNotifier(Pipe[0], QSocketNotifier::Read, this);
  connect(FNotifier, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (::read(Pipe[0], bytes, sizeof bytes) > 0) {
    }
    emit Received();
  });
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < 2; ++i) ::sigaction(kSignals[i], &action, &Previous[i]);
}

TTerminationSignals::~TTerminationSignals() {
  if (!FNotifier) return;
  for (int i = 0; i < 2; ++i) ::sigaction(kSignals[i], &Previous[i], nullptr);
  delete FNotifier;
  ::close(Pipe[0]);
  ::close(Pipe[1]);
  Pipe[0] = Pipe[1] = -1;
}

}  // namespace vexo
