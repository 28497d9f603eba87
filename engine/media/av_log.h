#pragma once
// The engine's diagnostic log. Lines come from every thread; they are queued
// and handed to the view on the user-interface thread, and only while the view
// is visible; a line logged while it is hidden is lost.
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace vexo {

// The text view that shows the log. The app implements it with a widget.
class TLogView {
 public:
  virtual ~TLogView() = default;
  // Appends one line; called on the user-interface thread only (from DrainLog).
  virtual void AppendLine(const std::string& line) = 0;
  // Called from any thread when lines wait; the view arranges for DrainLog to
  // run on the user-interface thread (a queued call). The default does nothing.
  virtual void LinesPending() {}

  void SetVisible(bool visible) { FVisible.store(visible); }
  bool IsVisible() const { return FVisible.load(); }

 private:
  std::atomic<bool> FVisible{false};
};

class TAVLog {
 public:
  TAVLog(TLogView* view, int32_t level) : Level(level), LogView(view) {}

  int32_t Level;
  TLogView* LogView;

 private:
  friend void Log(const std::string& text);
  friend void DrainLog();
  std::mutex FLock;
  std::deque<std::string> FPending;
};

// Frees an existing log, then binds a new one to `view` and sets FFmpeg's log
// level to `level` with the log's own message callback installed.
void CreateLog(TLogView* view, int32_t level);
// Removes the FFmpeg callback and frees the log, if one exists.
void FreeLog();
// The current log, or nullptr.
TAVLog* CurrentLog();

// Appends a line while the view is visible. With VEXO_LOG=stderr every line is
// also written to standard error, whatever the state of the log or its view.
void Log(const std::string& text);
// Hands the queued lines to the view; call on the user-interface thread.
void DrainLog();

// Both return code != 0 and then log text + ": " + the code's description.
bool LogVideoError(const std::string& text, uint32_t code);
bool LogSoundError(const std::string& text, uint32_t code);

// Formats one FFmpeg message as the log shows it ("Log L" level ": " text), or
// returns false when the message is to be dropped. Exposed for the callback's tests.
bool FormatMediaLibMessage(int32_t logLevel, int level, const char* format, va_list args,
                           std::string& line);

}  // namespace vexo
