#include "Thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <system_error>

namespace os {

namespace {
thread_local bool tStarted = false;
}  // namespace

Thread::~Thread() { Join(); }

bool Thread::OnStartedThread() { return tStarted; }

bool Thread::Start(const char* name, std::function<void()> body) {
  if (mThread.joinable()) return false;
  // The new thread publishes its id before its body runs; Start waits for that.
  std::mutex started;
  std::condition_variable told;
  mSystemId = 0;
  try {
    mThread = std::thread([this, &started, &told, name, body = std::move(body)] {
      tStarted = true;
      pthread_setname_np(pthread_self(), name);
      {
        // Told under the lock: Start's locals are gone once it sees the id.
        std::lock_guard<std::mutex> guard(started);
        mSystemId = CurrentSystemId();
        told.notify_one();
      }
      body();
    });
  } catch (const std::system_error&) {
    return false;
  }
  std::unique_lock<std::mutex> wait(started);
  told.wait(wait, [this] { return mSystemId != 0; });
  return true;
}

long Thread::CurrentSystemId() { return static_cast<long>(::syscall(SYS_gettid)); }

void Thread::Join() {
  if (mThread.joinable() && mThread.get_id() != std::this_thread::get_id()) mThread.join();
}

int Thread::SetCurrentRealTime(int priority, int cpu) {
  // The processors before the first pinning, for the way back.
  thread_local cpu_set_t tAllowed;
  thread_local bool tPinned = false;
  sched_param parameter{};
  parameter.sched_priority = priority;
  const int policy = priority > 0 ? SCHED_FIFO | SCHED_RESET_ON_FORK : SCHED_OTHER;
  if (::sched_setscheduler(0, policy, &parameter) != 0) return errno;
  if (priority > 0 && cpu >= 0 && cpu < CPU_SETSIZE) {
    if (!tPinned && ::sched_getaffinity(0, sizeof tAllowed, &tAllowed) == 0) tPinned = true;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    ::sched_setaffinity(0, sizeof one, &one);
  } else if (priority == 0 && tPinned) {
    ::sched_setaffinity(0, sizeof tAllowed, &tAllowed);
    tPinned = false;
  }
  return 0;
}

int Thread::LastAllowedCpu() {
  cpu_set_t allowed;
  if (::sched_getaffinity(0, sizeof allowed, &allowed) != 0) return -1;
  for (int cpu = CPU_SETSIZE - 1; cpu >= 0; --cpu) {
    if (CPU_ISSET(cpu, &allowed)) return cpu;
  }
  return -1;
}

}  // namespace os
