#pragma once
// The base of the playback threads: a terminate flag, a cooperative
// suspend/resume, synchronised calls onto the user-interface thread and an
// end wait that keeps serving those calls.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "engine/playback/av_sync_queue.h"

namespace vexo {

class TAVThread {
 public:
  TAVThread() = default;
  TAVThread(const TAVThread&) = delete;
  TAVThread& operator=(const TAVThread&) = delete;
  // Joins the thread; a derived class terminates and waits for it in its own
  // destructor, while its fields still exist.
  virtual ~TAVThread();

  void Terminate();
  bool Terminated() const { return FTerminated.load(); }

  // A suspended thread stops at its next suspension point until resumed or terminated.
  void Suspend();
  void Resume();
  bool Suspended() const { return FSuspended.load(); }

  // Returns when Execute has ended. On the user-interface thread the calls
  // that threads synchronise meanwhile are served.
  void WaitFor();
  bool Finished() const { return FFinished.load(); }
  // The message of an error that ended Execute, empty when none did.
  std::string FatalError() const;

 protected:
  // Starts Execute on the new thread; the last step of a derived constructor.
  void Start();
  virtual void Execute() = 0;

  void Synchronize(const TSyncMethod& method) { vexo::Synchronize(method); }
  // Sleeps `ms` milliseconds or until terminated; false when terminated.
  bool SleepUnlessTerminated(int64_t ms);
  // A suspension point: blocks while suspended and not terminated.
  void CheckSuspended();

 private:
  void Run();

  std::thread FThread;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FSuspended{false};
  std::atomic<bool> FFinished{false};
  mutable std::mutex FMutex;
  std::condition_variable FCond;
  std::string FFatalError;
};

}  // namespace vexo
