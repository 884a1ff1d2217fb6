#include "RealTime.h"

#include <cstdlib>
#include <cstring>

#include "driver/DriverState.h"
#include "driver/Log.h"
#include "os/PrivateProfile.h"
#include "os/Thread.h"

namespace {

// The sanitizers' runtimes guard their own state with spin locks that yield the processor: between
// two real-time threads of different priority on one processor, the higher one would spin for
// ever on a lock the lower one holds. Sanitized builds leave the threads free to move.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr bool kOneProcessor = false;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
constexpr bool kOneProcessor = false;
#else
constexpr bool kOneProcessor = true;
#endif
#else
constexpr bool kOneProcessor = true;
#endif

// The policy this thread asked for last (0: normal), refused or not: not asked again until the
// wish changes.
thread_local int tAsked = 0;
}  // namespace

void FollowRealTimeSetting(const char* thread, int priority) {
  DriverState& state = DriverState::Get();
  const int wanted = state.realTimeThreads.load(std::memory_order_relaxed) ? priority : 0;
  if (wanted == tAsked) return;
  tAsked = wanted;
  // Both threads on one processor: the ejector, woken by the wait thread, takes over from it there
  // at once, where a wake on the other processor would cost an interrupt and a migration.
  static const int sDriverCpu = kOneProcessor ? os::Thread::LastAllowedCpu() : -1;
  const int error = os::Thread::SetCurrentRealTime(wanted, sDriverCpu);
  if (error == 0) {
    Log(2, "%s: scheduling: %s, priority %d, thread %ld\n", thread, wanted > 0 ? "real time (FIFO)" : "normal", wanted,
        os::Thread::CurrentSystemId());
    return;
  }
  if (!state.realTimeRefused.exchange(true)) {
    Log(1,
        "%s: WARNING: the system refuses real-time scheduling (%s); the driver's threads run at normal priority. "
        "Grant it with the capability CAP_SYS_NICE or an rtprio limit, or set RealTimeThreads=0 in section General\n",
        thread, std::strerror(error));
  }
}

bool ReadRealTimeSetting(const std::string& configFile) {
  char value[16];
  os::GetPrivateProfileString("General", "RealTimeThreads", "1", value, sizeof value, configFile.c_str());
  return std::atoi(value) != 0;
}
