#pragma once
// What both sides of the GigE Vision benchmark stream: the same geometry, line rate and buffers.

#include <sched.h>
#include <time.h>

#include <cstdint>

namespace gevbench {

constexpr int kWidth = 2048;
constexpr int kHeight = 256;
constexpr int kLineRate = 25600;  // 100 frames a second
constexpr int kBuffers = 3;       // the driver's frame buffers in frame mode

inline int64_t MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

inline double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Keeps the calling thread, and the threads it starts from now on, to the last processor it may
// use: where the driver keeps its real-time threads and its receive thread.
inline void OnTheDriversProcessor() {
  cpu_set_t allowed, last;
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
  CPU_ZERO(&last);
  for (int cpu = CPU_SETSIZE - 1; cpu >= 0; --cpu) {
    if (!CPU_ISSET(cpu, &allowed)) continue;
    CPU_SET(cpu, &last);
    break;
  }
  sched_setaffinity(0, sizeof last, &last);
}

}  // namespace gevbench
