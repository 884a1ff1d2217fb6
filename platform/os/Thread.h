#pragma once
// A joinable thread. Start and Join are called by the owner's thread only.

#include <functional>
#include <thread>

namespace os {

class Thread {
 public:
  Thread() = default;
  ~Thread();  // joins a thread still running, so that no thread outlives its owner
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // False when a thread is already running or the system refuses a new one.
  bool Start(std::function<void()> body);
  void Join();
  bool IsRunning() const { return mThread.joinable(); }
  static bool IsCurrent(const Thread& thread) { return thread.mThread.get_id() == std::this_thread::get_id(); }
  // Whether the calling thread is one that some Thread started (the driver's own threads).
  static bool OnStartedThread();

 private:
  std::thread mThread;
};

}  // namespace os
