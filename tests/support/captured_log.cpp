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

}  // namespace vexo::test
