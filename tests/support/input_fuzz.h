#pragma once
// Mutation fuzzing of the readers of outside input: each case is a damaged
// copy of a real input (byte flips, zeroed runs, a cut tail, a repeated
// block, damaged headers), made from a fixed seed so that a finding can be
// replayed, and read in a child process of this program: a crash or a hang
// costs the case, not the run, and is counted. Under AddressSanitizer any bad
// memory access is a crash, and memory a case leaves unreachable is a leak.
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace vexo::test {

// One damaged copy of `input`; `how` names the damage.
std::vector<uint8_t> MutateInput(const std::vector<uint8_t>& input, std::mt19937& random,
                                 std::string& how);

struct TFuzzResult {
  int Cases = 0, Crashes = 0, Hangs = 0;
  // Cases whose damaged copy the reader still opened or parsed: a run that
  // opens nothing has only tried the readers' first checks.
  int Opened = 0;
  // "seed file: damage -> crash/hang/leak" per finding; the damaged copy is kept.
  std::vector<std::string> Findings;
  // Seeds none of whose copies opened, seeds missing or empty, and children
  // that could not be started or waited for: each fails the run.
  std::vector<std::string> Faults;
};

struct TFuzzRun {
  std::vector<std::string> Inputs;  // files to damage, taken in turn
  int Cases = 100;
  uint32_t Seed = 1;
  double CaseSeconds = 10;  // longer than this is a hang
  std::string WorkDir;      // where damaged copies are written (and findings kept)
  std::string Extension;    // given to every copy's name (".mpg", ".asx" ...)
  // Reads one damaged copy and answers whether it opened (or parsed); runs
  // in the child process.
  std::function<bool(const std::string& path)> Read;
};

TFuzzResult RunFuzz(const TFuzzRun& run);
// Adds `part`'s counts and findings to `total`.
void AddFuzzResult(TFuzzResult& total, const TFuzzResult& part);
// "N cases (O opened), C crashes, H hangs" and a line per finding and fault.
std::string FuzzReport(const TFuzzResult& result);
// No crash, hang, leak or fault.
bool FuzzClean(const TFuzzResult& result);

std::vector<uint8_t> ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace vexo::test
