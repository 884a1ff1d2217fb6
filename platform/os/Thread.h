#pragma once
// A joinable thread. Start and Join are called by the owner's thread only.

#include <atomic>
#include <functional>
#include <thread>

namespace os {

class Thread {
 public:
  Thread() = default;
  ~Thread();  // joins a thread still running, so that no thread outlives its owner
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // False when a thread is already running or the system refuses a new one. On success the
  // thread runs and its system id is known. `name` (at most 15 characters) is what debuggers and
  // `top -H` show for it.
  bool Start(const char* name, std::function<void()> body);
  void Join();
  bool IsRunning() const { return mThread.joinable(); }
  // The system's id of the thread (what debuggers and `top -H` show); 0 before Start.
  long SystemId() const { return mSystemId; }
  static long CurrentSystemId();
  static bool IsCurrent(const Thread& thread) { return thread.mThread.get_id() == std::this_thread::get_id(); }
  // Whether the calling thread is one that some Thread started (the driver's own threads).
  static bool OnStartedThread();

  // Puts the calling thread under first-in first-out real-time scheduling at `priority` (1..99),
  // kept to processor `cpu` (-1: where it may run now), or back under the normal policy, on the
  // processors it had before, with 0. Threads it starts later get the normal policy, so that
  // nothing but the thread itself changes. 0 on success, else the system's error number (EPERM
  // without the privilege).
  static int SetCurrentRealTime(int priority, int cpu = -1);
  // The highest-numbered processor the calling thread may run on.
  static int LastAllowedCpu();

 private:
  std::thread mThread;
  std::atomic<long> mSystemId{0};
};

}  // namespace os
