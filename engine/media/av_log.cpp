#include "engine/media/av_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/media/media_lib.h"
#include "engine/playback/sound_error_text.h"
#include "engine/video/video_error_text.h"

namespace vexo {

namespace {

std::unique_ptr<TAVLog> theLog;

bool CopyToStderr() {
  const char* value = std::getenv("VEXO_LOG");
  return value && std::strcmp(value, "stderr") == 0;
}

void MediaLibCallback(void*, int level, const char* format, va_list args) {
  TAVLog* log = theLog.get();
  if (!log) return;
  std::string line;
  if (FormatMediaLibMessage(log->Level, level, format, args, line)) Log(line);
}

}  // namespace

bool FormatMediaLibMessage(int32_t logLevel, int level, const char* format, va_list args,
                           std::string& line) {
  if (level > logLevel || !format) return false;
  // FFmpeg's formats carry widths, %x, PRId64 and the like; a full printf keeps
  // the arguments in step, where interpreting only %d and %s would not.
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length < 0) return false;
  std::vector<char> text(size_t(length) + 1);
  std::vsnprintf(text.data(), text.size(), format, args);
  std::string message(text.data(), size_t(length));
  // Demultiplexers report every short read this way; it floods the log.
  if (message.compare(0, 16, "buffer underflow") == 0) return false;
  // The library ends its lines with a line break; a continuation has none and
  // keeps its last character.
  if (!message.empty() && message.back() == '\n') message.pop_back();
  line = "Log L" + std::to_string(level) + ": " + message;
  return true;
}

void CreateLog(TLogView* view, int32_t level) {
  FreeLog();
  theLog = std::make_unique<TAVLog>(view, level);
  if (ff::av_log_set_level) ff::av_log_set_level(level);
  if (ff::av_log_set_callback) ff::av_log_set_callback(MediaLibCallback);
}

void FreeLog() {
  if (!theLog) return;
  if (ff::av_log_set_callback) ff::av_log_set_callback(nullptr);
  theLog.reset();
}

TAVLog* CurrentLog() {
  return theLog.get();
}

void Log(const std::string& text) {
  if (CopyToStderr()) std::fprintf(stderr, "%s\n", text.c_str());
  TAVLog* log = theLog.get();
  if (!log || !log->LogView || !log->LogView->IsVisible()) return;
  {
    std::lock_guard<std::mutex> guard(log->FLock);
    log->FPending.push_back(text);
  }
  log->LogView->LinesPending();
}

void DrainLog() {
  TAVLog* log = theLog.get();
  if (!log || !log->LogView) return;
  std::deque<std::string> lines;
  {
    std::lock_guard<std::mutex> guard(log->FLock);
    lines.swap(log->FPending);
  }
  for (const std::string& line : lines) log->LogView->AppendLine(line);
}

bool LogVideoError(const std::string& text, uint32_t code) {
  if (code == 0) return false;
  Log(text + ": " + VideoErrorText(code));
  return true;
}

bool LogSoundError(const std::string& text, uint32_t code) {
  if (code == 0) return false;
  Log(text + ": " + SoundErrorText(code));
  return true;
}

}  // namespace vexo
