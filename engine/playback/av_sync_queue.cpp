#include "engine/playback/av_sync_queue.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <vector>

namespace vexo {

namespace {

struct TSyncRequest {
  const TSyncMethod* method;
  bool done = false;
  std::exception_ptr error;
};

struct TSyncState {
  std::mutex mutex;
  std::condition_variable uiCond;    // a call arrived, or a waited condition may have changed
  std::condition_variable doneCond;  // a call has run
  std::deque<TSyncRequest*> queue;
  std::function<void()> wakeup;
  std::thread::id uiThread = std::this_thread::get_id();
};

TSyncState& State() {
  static TSyncState state;
  return state;
}

// Static initialisation runs on the thread that starts the program.
[[maybe_unused]] const bool kUIThreadRecorded = (State(), true);

void RunTaken(TSyncState& s, std::vector<TSyncRequest*>& taken) {
  for (TSyncRequest* request : taken) {
    try {
      (*request->method)();
    } catch (...) {
      request->error = std::current_exception();
    }
  }
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    for (TSyncRequest* request : taken) request->done = true;
  }
  s.doneCond.notify_all();
}

}  // namespace

void SetUIThread(std::thread::id id) {
  TSyncState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.uiThread = id;
}

bool IsUIThread() {
  TSyncState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.uiThread == std::this_thread::get_id();
}

void SetSyncWakeup(std::function<void()> wakeup) {
  TSyncState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.wakeup = std::move(wakeup);
}

void Synchronize(const TSyncMethod& method) {
  if (IsUIThread()) {
    method();
    return;
  }
  TSyncState& s = State();
  TSyncRequest request{&method, false, nullptr};
  std::function<void()> wakeup;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.queue.push_back(&request);
    wakeup = s.wakeup;
  }
  s.uiCond.notify_all();
  if (wakeup) wakeup();
  {
    std::unique_lock<std::mutex> lock(s.mutex);
    s.doneCond.wait(lock, [&] { return request.done; });
  }
  if (request.error) std::rethrow_exception(request.error);
}

bool CheckSynchronize(int64_t timeoutMs) {
  TSyncState& s = State();
  std::vector<TSyncRequest*> taken;
  {
    std::unique_lock<std::mutex> lock(s.mutex);
    if (timeoutMs > 0)
      s.uiCond.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return !s.queue.empty(); });
    taken.assign(s.queue.begin(), s.queue.end());
    s.queue.clear();
  }
  if (taken.empty()) return false;
  RunTaken(s, taken);
  return true;
}

void SynchronizeUntil(const std::function<bool()>& done) {
  TSyncState& s = State();
  for (;;) {
    std::vector<TSyncRequest*> taken;
    {
      std::unique_lock<std::mutex> lock(s.mutex);
      s.uiCond.wait(lock, [&] { return !s.queue.empty() || done(); });
      if (s.queue.empty()) return;
      taken.assign(s.queue.begin(), s.queue.end());
      s.queue.clear();
    }
    RunTaken(s, taken);
  }
}

void WakeSyncWaiters() {
  TSyncState& s = State();
  { std::lock_guard<std::mutex> lock(s.mutex); }
  s.uiCond.notify_all();
}

}  // namespace vexo
