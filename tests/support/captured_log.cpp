#include "tests/support/captured_log.h"

namespace vexo::test {

TCapturedLog::TCapturedLog() {
  CreateLog(this, 0);
  SetVisible(true);
}

TCapturedLog::~TCapturedLog() {
  FreeLog();
}

const std::vector<std::string>& TCapturedLog::Lines() {
  DrainLog();
  return FLines;
}

std::vector<std::string> TCapturedLog::Take() {
  DrainLog();
  std::vector<std::string> lines;
  lines.swap(FLines);
  return lines;
}

}  // namespace vexo::test
