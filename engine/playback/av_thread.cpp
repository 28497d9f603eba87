#include "engine/playback/av_thread.h"

#include <chrono>
#include <exception>

namespace vexo {

TAVThread::~TAVThread() {
  Terminate();
  WaitFor();
  if (FThread.joinable()) FThread.join();
}

void TAVThread::Start() {
  FThread = std::thread([this] { Run(); });
}

void TAVThread::Run() {
  try {
    Execute();
  } catch (const std::exception& e) {
    std::lock_guard<std::mutex> lock(FMutex);
    FFatalError = e.what();
  } catch (...) {
    std::lock_guard<std::mutex> lock(FMutex);
    FFatalError = "unknown error";
  }
  FFinished.store(true);
  WakeSyncWaiters();
}

void TAVThread::Terminate() {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FTerminated.store(true);
  }
  FCond.notify_all();
}

void TAVThread::Suspend() {
  FSuspended.store(true);
}

void TAVThread::Resume() {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FSuspended.store(false);
  }
  FCond.notify_all();
}

void TAVThread::CheckSuspended() {
  std::unique_lock<std::mutex> lock(FMutex);
  FCond.wait(lock, [this] { return !FSuspended.load() || FTerminated.load(); });
}

bool TAVThread::SleepUnlessTerminated(int64_t ms) {
  std::unique_lock<std::mutex> lock(FMutex);
  if (ms > 0)
    FCond.wait_for(lock, std::chrono::milliseconds(ms), [this] { return FTerminated.load(); });
  return !FTerminated.load();
}

void TAVThread::WaitFor() {
  if (!FThread.joinable()) return;
  if (FThread.get_id() == std::this_thread::get_id()) return;
  if (IsUIThread()) SynchronizeUntil([this] { return FFinished.load(); });
  FThread.join();
}

std::string TAVThread::FatalError() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FFatalError;
}

}  // namespace vexo
