#pragma once
// A program run by a test: its standard output is read line by line as it
// comes, so that a test waits for the line it expects instead of sleeping.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace vexo::test {

class TChildProcess {
 public:
  // Starts `argv[0]` with `argv`; `env` entries ("NAME=value") are added to
  // this process's environment. Standard error goes to this process's.
  TChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  bool Started() const { return FPid > 0; }
  pid_t Pid() const { return FPid; }
  // Reads until a line starting with `prefix` arrives; that line, or empty
  // when the output ends or the time runs out first.
  std::string WaitLine(const std::string& prefix, std::chrono::seconds timeout);
  // Waits for the end (killing the program after `timeout`); the exit
  // status, -1 when it was killed or did not exit normally.
  int Wait(std::chrono::seconds timeout);
  // Every line read so far.
  const std::vector<std::string>& Lines() const { return FLines; }
  std::string Output() const;

 private:
  // Reads what is there within `ms`; false at the end of the output.
  bool ReadSome(int ms);

  pid_t FPid = -1;
  int FOut = -1;
  std::string FPartial;
  std::vector<std::string> FLines;
  size_t FNextLine = 0;
  int FStatus = -1;
  bool FReaped = false;
};

// Runs a program to its end; its output lines and exit status.
struct TRunResult {
  int Status = -1;
  std::vector<std::string> Lines;
};
TRunResult RunProgram(const std::vector<std::string>& argv,
                      const std::vector<std::string>& env = {},
                      std::chrono::seconds timeout = std::chrono::seconds(120));

}  // namespace vexo::test
