#pragma once
// What both sides of the GigE Vision benchmark stream: the same geometry, line rate and buffers.

#include <sched.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

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

// The processor time of the process's threads named `name`, read from the scheduler: Aravis's
// receive threads ("arv_gv_stream") are the part of either side's time that is Aravis's own work,
// so that the rest — what each side does with a frame once Aravis has it — can be told apart.
inline double ThreadsCpuSeconds(const char* name) {
  double seconds = 0;
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
    std::string comm;
    std::getline(std::ifstream(task.path() / "comm"), comm);
    if (comm != name) continue;
    unsigned long long runNs = 0;
    std::ifstream(task.path() / "schedstat") >> runNs;
    seconds += static_cast<double>(runNs) / 1e9;
  }
  return seconds;
}

inline double ReceiveThreadCpuSeconds() { return ThreadsCpuSeconds("arv_gv_stream"); }

inline double ThisThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
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
