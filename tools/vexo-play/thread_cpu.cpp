#include "tools/vexo-play/thread_cpu.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

namespace vexo::play {

int64_t ThreadCpuMs() {
  const long tid = syscall(SYS_gettid);
  std::ifstream file("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string text;
  if (!std::getline(file, text)) return -1;
  // The command name in brackets may hold blanks; the fields follow the last ')'.
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  // utime and stime are fields 14 and 15 of the line, 12 and 13 after the name.
  int64_t utime = 0, stime = 0;
  for (int i = 3; i <= 13 && fields >> field; ++i) {
  }
  if (!(fields >> utime >> stime)) return -1;
  const long ticks = sysconf(_SC_CLK_TCK);
  return ticks > 0 ? (utime + stime) * 1000 / ticks : -1;
}

int64_t ThreadCpuNs() {
  timespec now{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) return 0;
  return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace vexo::play
