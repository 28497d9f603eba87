#include "platform/process_memory.h"

#include <fstream>
#include <sstream>
#include <string>

namespace vexo {

int64_t ProcessMemory() {
  std::ifstream status("/proc/self/status");
  std::string line;
  int64_t kb = 0;
  bool found = false;
  while (std::getline(status, line)) {
    if (line.rfind("RssAnon:", 0) == 0 || line.rfind("VmSwap:", 0) == 0) {
      std::istringstream fields(line.substr(line.find(':') + 1));
      int64_t value = 0;
      if (fields >> value) {
        kb += value;
        found = true;
      }
    }
  }
  return found ? kb * 1024 : 0;
}

}  // namespace vexo

namespace vexo {

int64_t TotalMemory() {
  std::ifstream info("/proc/meminfo");
  std::string line;
  while (std::getline(info, line)) {
    if (line.rfind("MemTotal:", 0) != 0) continue;
    std::istringstream fields(line.substr(line.find(':') + 1));
    int64_t kb = 0;
    return fields >> kb ? kb * 1024 : 0;
  }
  return 0;
}

}  // namespace vexo
