#pragma once
// Mutation fuzzing of the readers of outside input: each case is a damaged
// copy of a real input (byte flips, zeroed runs, a cut tail, a repeated
// block, damaged headers), made from a fixed seed so that a finding can be
// replayed, and read in a child process of this program: a crash or a hang
// costs the case, not the run, and is counted. Under AddressSanitizer any bad
// memory access is a crash.
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
  // "seed file: damage -> crash/hang" per finding; the damaged copy is kept.
  std::vector<std::string> Findings;
};

struct TFuzzRun {
  std::vector<std::string> Inputs;  // files to damage, taken in turn
  int Cases = 100;
  uint32_t Seed = 1;
  double CaseSeconds = 10;  // longer than this is a hang
  std::string WorkDir;      // where damaged copies are written (and findings kept)
  std::string Extension;    // given to every copy's name (".mpg", ".asx" ...)
  // Reads one damaged copy; runs in the child process.
  std::function<void(const std::string& path)> Read;
};

TFuzzResult RunFuzz(const TFuzzRun& run);
// Adds `part`'s counts and findings to `total`.
void AddFuzzResult(TFuzzResult& total, const TFuzzResult& part);
// "N cases, C crashes, H hangs" and a line per finding.
std::string FuzzReport(const TFuzzResult& result);

std::vector<uint8_t> ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace vexo::test
