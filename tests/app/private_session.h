#pragma once
// A desktop session of the tests' own: a home with its XDG folders and a
// runtime folder only the user may enter (set in this process's environment,
// so programs started from here share it), and a session bus.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "tests/support/child_process.h"

namespace vexo::test {

inline std::unique_ptr<QTemporaryDir> MakePrivateHome() {
  auto home = std::make_unique<QTemporaryDir>();
  const QByteArray path = QFile::encodeName(home->path());
  setenv("HOME", path.constData(), 1);
  setenv("XDG_DATA_HOME", (path + "/.local/share").constData(), 1);
  setenv("XDG_CONFIG_HOME", (path + "/.config").constData(), 1);
  setenv("XDG_RUNTIME_DIR", (path + "/run").constData(), 1);
  QDir().mkpath(home->path() + "/run");
  QFile::setPermissions(home->path() + "/run",
                        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QDir().mkpath(home->path() + "/.local/share");
  return home;
}

// The bus daemon runs as long as the returned process; address is empty when
// it did not start.
inline std::unique_ptr<TChildProcess> StartSessionBus(std::string& address) {
  auto bus = std::make_unique<TChildProcess>(std::vector<std::string>{
      "/usr/bin/dbus-daemon", "--session", "--nofork", "--nosyslog", "--print-address=1"});
  address = bus->WaitLine("unix:", std::chrono::seconds(10));
  return bus;
}

}  // namespace vexo::test
