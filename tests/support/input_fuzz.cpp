#include "tests/support/input_fuzz.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

namespace vexo::test {

namespace {

size_t Below(std::mt19937& random, size_t limit) {
  return limit == 0 ? 0 : std::uniform_int_distribution<size_t>(0, limit - 1)(random);
}

uint8_t AnyByte(std::mt19937& random) {
  return uint8_t(std::uniform_int_distribution<int>(0, 255)(random));
}

std::string Span(size_t at, size_t length) {
  return std::to_string(at) + "+" + std::to_string(length);
}

// A child's exit codes besides 0 (read, and it opened).
constexpr int kNotOpened = 4, kEscaped = 3, kLeaked = 5;
constexpr int kKilled = -1, kLost = -2;

// Waits for the child up to `seconds`; its wait status, kKilled when it had
// to be killed, kLost when it could not be waited for.
int WaitChild(pid_t child, double seconds) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) return status;
    if (done < 0 && errno != EINTR) {
      kill(child, SIGKILL);
      return kLost;
    }
    if (std::chrono::steady_clock::now() > limit) {
      kill(child, SIGKILL);
      return waitpid(child, &status, 0) == child ? kKilled : kLost;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace

std::vector<uint8_t> MutateInput(const std::vector<uint8_t>& input, std::mt19937& random,
                                 std::string& how) {
  std::vector<uint8_t> bytes = input.empty() ? std::vector<uint8_t>(1, 0) : input;
  switch (Below(random, 5)) {
    case 0: {  // a few bytes anywhere, bits flipped
      const size_t flips = 1 + Below(random, 16);
      how = "flips";
      for (size_t i = 0; i < flips; ++i) {
        const size_t at = Below(random, bytes.size());
        bytes[at] ^= uint8_t(1 + Below(random, 255));
        how += " " + std::to_string(at);
      }
      break;
    }
    case 1: {  // a run of zeros
      const size_t at = Below(random, bytes.size());
      const size_t length = std::min(bytes.size() - at, 1 + Below(random, 4096));
      std::fill_n(bytes.begin() + ptrdiff_t(at), length, 0);
      how = "zeros " + Span(at, length);
      break;
    }
    case 2: {  // the tail cut off
      const size_t keep = Below(random, bytes.size());
      bytes.resize(keep);
      how = "cut at " + std::to_string(keep);
      break;
    }
    case 3: {  // a block repeated where it stands
      const size_t at = Below(random, bytes.size());
      const size_t length = std::min(bytes.size() - at, 1 + Below(random, 8192));
      const size_t times = 1 + Below(random, 3);
      std::vector<uint8_t> grown(bytes.begin(), bytes.begin() + ptrdiff_t(at + length));
      for (size_t i = 0; i < times; ++i)
        grown.insert(grown.end(), bytes.begin() + ptrdiff_t(at),
                     bytes.begin() + ptrdiff_t(at + length));
      grown.insert(grown.end(), bytes.begin() + ptrdiff_t(at + length), bytes.end());
      bytes.swap(grown);
      how = "repeated " + Span(at, length) + " x" + std::to_string(times);
      break;
    }
    default: {  // the headers: random bytes within the first 512
      const size_t damage = 1 + Below(random, 8);
      how = "header";
      for (size_t i = 0; i < damage; ++i) {
        const size_t at = Below(random, std::min<size_t>(bytes.size(), 512));
        bytes[at] = AnyByte(random);
        how += " " + std::to_string(at);
      }
      break;
    }
  }
  return bytes;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(out);
}

TFuzzResult RunFuzz(const TFuzzRun& run) {
  TFuzzResult result;
  std::mt19937 random(run.Seed);
  std::vector<std::vector<uint8_t>> inputs;
  for (const std::string& path : run.Inputs) {
    inputs.push_back(ReadBytes(path));
    if (inputs.back().empty()) result.Faults.push_back(path + ": seed missing or empty");
  }
  if (inputs.empty()) result.Faults.push_back("no seeds");
  if (!result.Faults.empty()) return result;
  std::vector<int> opened(inputs.size(), 0), tried(inputs.size(), 0);
  std::filesystem::create_directories(run.WorkDir);
  for (int c = 0; c < run.Cases; ++c) {
    const size_t which = size_t(c) % inputs.size();
    std::string how;
    const std::vector<uint8_t> damaged = MutateInput(inputs[which], random, how);
    const std::string path = run.WorkDir + "/case" + run.Extension;
    if (!WriteBytes(path, damaged)) {
      result.Faults.push_back(path + ": could not be written");
      break;
    }
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
      result.Faults.push_back("case " + std::to_string(c) + ": no child process");
      break;
    }
    if (child == 0) {
      int code = 0;
      try {
        code = run.Read(path) ? 0 : kNotOpened;
      } catch (const std::exception& e) {
        std::fprintf(stderr, "escaped: %s\n", e.what());
        code = kEscaped;
      } catch (...) {
        code = kEscaped;
      }
      std::fflush(nullptr);
      // _exit skips the leak check that a normal exit runs; the case's own
      // leaks are what this run is for.
#ifdef __SANITIZE_ADDRESS__
      if (__lsan_do_recoverable_leak_check() != 0) code = kLeaked;
#endif
      _exit(code);
    }
    ++result.Cases;
    ++tried[which];
    const int status = WaitChild(child, run.CaseSeconds);
    if (status == kLost) {
      result.Faults.push_back("case " + std::to_string(c) + ": the child could not be waited for");
      break;
    }
    const bool hang = status == kKilled;
    const int code = !hang && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == 0 || code == kNotOpened) {
      if (code == 0) ++result.Opened, ++opened[which];
      continue;
    }
    const char* what = hang ? "hang" : code == kLeaked ? "leak" : "crash";
    (hang ? result.Hangs : result.Crashes) += 1;
    const std::string kept = run.WorkDir + "/" +
                             std::filesystem::path(run.Inputs[which]).stem().string() + "-seed" +
                             std::to_string(run.Seed) + "-case" + std::to_string(c) + run.Extension;
    WriteBytes(kept, damaged);
    result.Findings.push_back(std::filesystem::path(run.Inputs[which]).filename().string() + ": " +
                              how + " -> " + what + " (" + kept + ")");
  }
  for (size_t i = 0; i < inputs.size(); ++i)
    if (tried[i] > 0 && opened[i] == 0)
      result.Faults.push_back(run.Inputs[i] + ": none of " + std::to_string(tried[i]) +
                              " damaged copies opened");
  std::error_code ignored;
  std::filesystem::remove(run.WorkDir + "/case" + run.Extension, ignored);
  return result;
}

void AddFuzzResult(TFuzzResult& total, const TFuzzResult& part) {
  total.Cases += part.Cases, total.Crashes += part.Crashes, total.Hangs += part.Hangs;
  total.Opened += part.Opened;
  total.Findings.insert(total.Findings.end(), part.Findings.begin(), part.Findings.end());
  total.Faults.insert(total.Faults.end(), part.Faults.begin(), part.Faults.end());
}

std::string FuzzReport(const TFuzzResult& result) {
  std::string text = std::to_string(result.Cases) + " cases (" + std::to_string(result.Opened) +
                     " opened), " + std::to_string(result.Crashes) + " crashes, " +
                     std::to_string(result.Hangs) + " hangs";
  for (const std::string& finding : result.Findings) text += "\n  " + finding;
  for (const std::string& fault : result.Faults) text += "\n  fault: " + fault;
  return text;
}

bool FuzzClean(const TFuzzResult& result) {
  return result.Crashes == 0 && result.Hangs == 0 && result.Faults.empty();
}

}  // namespace vexo::test
