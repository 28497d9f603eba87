#pragma once
// Captures the engine log for a test: binds a visible view on construction and
// frees the log on destruction.
#include <string>
#include <vector>

#include "engine/media/av_log.h"

namespace vexo::test {

class TCapturedLog : public TLogView {
 public:
  TCapturedLog();
  ~TCapturedLog() override;
  void AppendLine(const std::string& line) override { FLines.push_back(line); }
  // Every line logged since the capture began.
  const std::vector<std::string>& Lines();
  // The lines logged since the capture began or since the last Take.
  std::vector<std::string> Take();

 private:
  std::vector<std::string> FLines;
};

}  // namespace vexo::test
