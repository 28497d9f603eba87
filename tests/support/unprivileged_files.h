#pragma once
// File permissions do not bind the super-user, and the suite often runs as
// root. While one of these lives, the calling thread opens files as the
// unprivileged user "nobody" (its file-system user and group), so that a file
// without read rights really cannot be read. Other threads keep their rights.
#include <sys/fsuid.h>
#include <unistd.h>

namespace vexo::test {

class TUnprivilegedFiles {
 public:
  static constexpr uid_t kNobody = 65534;
  TUnprivilegedFiles() : FOldGroup(setfsgid(kNobody)), FOldUser(setfsuid(kNobody)) {}
  ~TUnprivilegedFiles() {
    setfsuid(FOldUser);
    setfsgid(FOldGroup);
  }
  TUnprivilegedFiles(const TUnprivilegedFiles&) = delete;
  TUnprivilegedFiles& operator=(const TUnprivilegedFiles&) = delete;

 private:
  int FOldGroup;
  int FOldUser;
};

}  // namespace vexo::test
