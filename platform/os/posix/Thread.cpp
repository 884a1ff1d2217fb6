#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "../System.h"
#include "../Thread.h"

namespace os {

void NameCurrentThread(const char* name) { pthread_setname_np(pthread_self(), name); }

long Thread::CurrentSystemId() { return static_cast<long>(::syscall(SYS_gettid)); }

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
