#include "engine/input/audio_streams.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>

namespace vexo {

namespace {

std::mutex ChoicesLock;
std::map<std::string, int32_t>& Choices() {
  static std::map<std::string, int32_t> choices;
  return choices;
}

// One file reached by a relative path or through "a/../b" is the same file.
std::string Key(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

}  // namespace

void RememberAudioStream(const std::string& path, int32_t streamIndex) {
  const std::string key = Key(path);
  std::lock_guard<std::mutex> lock(ChoicesLock);
  Choices()[key] = streamIndex;
}

int32_t RememberedAudioStream(const std::string& path) {
  const std::string key = Key(path);
  std::lock_guard<std::mutex> lock(ChoicesLock);
  const auto found = Choices().find(key);
  return found == Choices().end() ? -1 : found->second;
}

void ForgetAudioStreams() {
  std::lock_guard<std::mutex> lock(ChoicesLock);
  Choices().clear();
}

}  // namespace vexo
