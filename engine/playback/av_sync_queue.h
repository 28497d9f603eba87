#pragma once
// Calls that playback threads hand to the user-interface thread. A thread's
// Synchronize blocks until the user-interface thread has run the call; that
// thread runs the queue from CheckSynchronize (and while it waits for a
// thread to end, so a thread caught in a synchronised call cannot deadlock
// the stop).
#include <cstdint>
#include <functional>
#include <thread>

namespace vexo {

using TSyncMethod = std::function<void()>;

// Runs `method` on the user-interface thread and returns when it has run; an
// exception it raises is raised again here. On the user-interface thread
// itself the method runs at once.
void Synchronize(const TSyncMethod& method);

// Runs every waiting call; call on the user-interface thread. With a positive
// timeout, waits up to that many milliseconds for a first call to arrive.
// True when at least one call ran.
bool CheckSynchronize(int64_t timeoutMs = 0);

// Serves waiting calls until `done` answers true. `done` is checked whenever
// WakeSyncWaiters is called; the user-interface thread only.
void SynchronizeUntil(const std::function<bool()>& done);
// Makes SynchronizeUntil look at its condition again.
void WakeSyncWaiters();

// Called from the calling thread whenever a call starts waiting, so that the
// application can arrange a CheckSynchronize on its user-interface thread.
void SetSyncWakeup(std::function<void()> wakeup);

// The user-interface thread; by default the thread that started the program.
void SetUIThread(std::thread::id id);
bool IsUIThread();

}  // namespace vexo
