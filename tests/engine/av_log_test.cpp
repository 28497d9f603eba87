#include "engine/media/av_log.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdlib>
#include <thread>
#include <vector>

#include "engine/media/media_lib.h"
#include "engine/playback/sound_error_text.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

class RecordingView : public TLogView {
 public:
  void AppendLine(const std::string& line) override { lines.push_back(line); }
  void LinesPending() override { ++pendingCalls; }
  std::vector<std::string> lines;
  std::atomic<int> pendingCalls{0};
};

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { test::LoadMediaLib(); }
  void TearDown() override { FreeLog(); }

  // Sends a message through FFmpeg itself, as a decoder would.
  template <typename... Args>
  static void LibraryMessage(int level, const char* format, Args... args) {
    ff::av_log(nullptr, level, format, args...);
  }

  RecordingView view;
};

bool Format(int32_t logLevel, int level, std::string& line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  bool kept = FormatMediaLibMessage(logLevel, level, format, args, line);
  va_end(args);
  return kept;
}

TEST(MediaLibMessage, Formatting) {
  std::string line;
  ASSERT_TRUE(Format(48, 16, line, "stream %d: %s at %lld\n", 2, "h264", 1234567890123LL));
  EXPECT_EQ(line, "Log L16: stream 2: h264 at 1234567890123");
  // Widths and %x keep the later arguments in step.
  ASSERT_TRUE(Format(48, 24, line, "%08x %s\n", 255u, "after"));
  EXPECT_EQ(line, "Log L24: 000000ff after");
  // A continuation without a line end keeps its last character.
  ASSERT_TRUE(Format(48, 32, line, "abc"));
  EXPECT_EQ(line, "Log L32: abc");
}

TEST(MediaLibMessage, Filters) {
  std::string line;
  EXPECT_FALSE(Format(48, 0, line, "buffer underflow st=%d\n", 1)) << "dropped at every level";
  EXPECT_TRUE(Format(48, 0, line, "buffer underflo\n"));
  EXPECT_FALSE(Format(16, 24, line, "too detailed\n"));
  EXPECT_TRUE(Format(16, 16, line, "at the level\n"));
  for (int level : {0, 8, 16, 24, 32, 48})
    EXPECT_FALSE(Format(-1, level, line, "silenced\n")) << level;
}

TEST_F(LogTest, LibraryMessagesReachTheViewThroughTheCallback) {
  CreateLog(&view, AV_LOG_WARNING);
  view.SetVisible(true);
  EXPECT_EQ(ff::av_log_get_level(), AV_LOG_WARNING);
  LibraryMessage(AV_LOG_ERROR, "decode error %d\n", 7);
  LibraryMessage(AV_LOG_DEBUG, "noise\n");
  LibraryMessage(AV_LOG_ERROR, "buffer underflow i=%d\n", 1);
  DrainLog();
  EXPECT_EQ(view.lines, std::vector<std::string>{"Log L16: decode error 7"});
}

TEST_F(LogTest, LevelMinusOneSilencesTheLibrary) {
  CreateLog(&view, -1);
  view.SetVisible(true);
  for (int level : {AV_LOG_PANIC, AV_LOG_FATAL, AV_LOG_ERROR, AV_LOG_INFO})
    LibraryMessage(level, "message at %d\n", level);
  Log("engine line");
  DrainLog();
  EXPECT_EQ(view.lines, std::vector<std::string>{"engine line"});
}

TEST_F(LogTest, LinesWhileHiddenAreLost) {
  CreateLog(&view, -1);
  Log("while hidden");
  view.SetVisible(true);
  DrainLog();
  EXPECT_TRUE(view.lines.empty());
  Log("while shown");
  DrainLog();
  EXPECT_EQ(view.lines, std::vector<std::string>{"while shown"});
}

TEST_F(LogTest, FreeLogRemovesTheCallback) {
  CreateLog(&view, AV_LOG_DEBUG);
  view.SetVisible(true);
  FreeLog();
  EXPECT_EQ(CurrentLog(), nullptr);
  LibraryMessage(AV_LOG_ERROR, "after free\n");
  Log("after free");
  DrainLog();
  EXPECT_TRUE(view.lines.empty());
}

TEST_F(LogTest, LinesFromManyThreadsArriveOnceInTheirThreadsOrder) {
  CreateLog(&view, -1);
  view.SetVisible(true);
  constexpr int kThreads = 4, kLines = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) Log(std::to_string(t) + " " + std::to_string(i));
    });
  for (auto& thread : threads) thread.join();
  DrainLog();
  ASSERT_EQ(view.lines.size(), size_t(kThreads * kLines));
  std::vector<int> next(kThreads, 0);
  for (const std::string& line : view.lines) {
    int t = std::stoi(line), i = std::stoi(line.substr(line.find(' ') + 1));
    EXPECT_EQ(i, next[t]++) << line;
  }
  EXPECT_GE(view.pendingCalls.load(), 1);
}

TEST_F(LogTest, ErrorHelpers) {
  CreateLog(&view, -1);
  view.SetVisible(true);
  EXPECT_FALSE(LogSoundError("CreateSoundBuffer", 0));
  EXPECT_TRUE(LogSoundError("CreateSoundBuffer", sndNoOutput));
  EXPECT_TRUE(LogSoundError("Play", 0x12345678));
  EXPECT_FALSE(LogVideoError("Lock", 0));
  EXPECT_TRUE(LogVideoError("Lock", 0x88760009));
  DrainLog();
  ASSERT_EQ(view.lines.size(), 3u);
  EXPECT_EQ(view.lines[0], "CreateSoundBuffer: No sound driver is available for use");
  EXPECT_EQ(view.lines[1], "Play: ") << "an unknown sound code has an empty description";
  EXPECT_EQ(view.lines[2].rfind("Lock: ", 0), 0u);
}

TEST_F(LogTest, StderrCopyWhateverTheViewState) {
  setenv("VEXO_LOG", "stderr", 1);
  ::testing::internal::CaptureStderr();
  Log("no log exists");
  CreateLog(&view, -1);
  Log("view hidden");
  std::string err = ::testing::internal::GetCapturedStderr();
  unsetenv("VEXO_LOG");
  EXPECT_EQ(err, "no log exists\nview hidden\n");
}

}  // namespace
}  // namespace vexo
