// The driver over a GigE Vision camera against a plain Aravis client: frames per second and CPU
// time per frame, frame mode, continuous, every row read by the host. The two sides take turns,
// each from a fake camera of its own, on the same processor; the client is a process of its own
// (korvex_gev_plain_client), so that each side's CPU time is its process's. Runs beside two of
// the project's fake cameras on loopback:
//   scripts/gev-loopback.sh korvex-gev-camera "21000041 raL2048-48gm" "21000042 raL2048-48gm"
//     -- korvex_gev_bench
// KORVEX_GEV_BENCH_ROUNDS rounds (default 12) of KORVEX_GEV_BENCH_SECONDS a side (default 3);
// KORVEX_GEV_BENCH_VERBOSE set prints each round.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "GevBenchConfig.h"
#include "KorvexEjector.h"

extern char** environ;

namespace {

using namespace gevbench;

const char* const kDriverCamera = "Basler raL2048-48gm (21000041)";
const char* const kClientCameraAddress = "127.0.0.2";
constexpr int64_t kSetUpNs = 2000000000;  // each side opens and streams before its window starts

double Setting(const char* name, double fallback) {
  const char* text = std::getenv(name);
  const double value = text != nullptr ? std::atof(text) : 0;
  return value > 0 ? value : fallback;
}

struct Run {
  int frames = 0;
  double wall = 0, cpu = 0, receive = 0;  // receive: Aravis's receive thread's part of cpu
  double Fps() const { return wall > 0 ? frames / wall : 0; }
  double CpuPerFrameUs() const { return frames > 0 ? 1e6 * cpu / frames : 0; }
  double ReceivePerFrameUs() const { return frames > 0 ? 1e6 * receive / frames : 0; }
};

// Starts the plain client for the window; its output comes through the returned descriptor.
pid_t StartClient(int64_t start, double seconds, int& output) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  const std::string startText = std::to_string(start), secondsText = std::to_string(seconds);
  char* argv[] = {const_cast<char*>(KORVEX_GEV_PLAIN_CLIENT), const_cast<char*>(kClientCameraAddress),
                  const_cast<char*>(startText.c_str()), const_cast<char*>(secondsText.c_str()), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, KORVEX_GEV_PLAIN_CLIENT, &actions, nullptr, argv, environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  output = pipeEnds[0];
  return pid;
}

bool FinishClient(pid_t pid, int output, Run& run) {
  char text[128] = {0};
  const ssize_t got = read(output, text, sizeof text - 1);
  close(output);
  int status = 0;
  waitpid(pid, &status, 0);
  return got > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
         std::sscanf(text, "%d %lf %lf %lf", &run.frames, &run.wall, &run.cpu, &run.receive) == 4;
}

// The driver's side: the completion callback reads every row of each image.
std::atomic<int> gFrames{0};
unsigned char gRow[kWidth];

void ReadImage(int, int port) {
  for (int r = 0; r < kHeight; ++r) getCVLGrabRow(0, port, gRow, r, 0, kWidth - 1);
  ++gFrames;
}

void SleepUntil(int64_t ns) {
  const int64_t left = ns - MonotonicNs();
  if (left > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(left));
}

bool DriverRun(int64_t start, double seconds, Run& run) {
  const std::filesystem::path system = std::filesystem::temp_directory_path() / "korvex-gev-bench";
  std::filesystem::remove_all(system);
  std::filesystem::create_directories(system);
  std::ofstream(system / "Korvex.ini") << "[" << kDriverCamera << "]\nWidth=" << kWidth << "\nHeight=" << kHeight << "\n";
  int size[2] = {0, 0};
  const bool open =
      initialize(system.c_str(), nullptr) == 1 && openCVLPort(0, 0, kDriverCamera, size) == 1;
  if (open) {
    setProperty(0, 0, "AcquisitionLineRateAbs", kLineRate);
    setCompleteCallback(0, 0, &ReadImage);
    setProperty(0, 0, "continuous", 1);
    SleepUntil(start);
    const int before = gFrames;
    const double cpuStart = ProcessCpuSeconds(), receiveStart = ReceiveThreadCpuSeconds();
    SleepUntil(start + static_cast<int64_t>(seconds * 1e9));
    run.frames = gFrames - before;
    run.wall = seconds;
    run.cpu = ProcessCpuSeconds() - cpuStart;
    run.receive = ReceiveThreadCpuSeconds() - receiveStart;
    setProperty(0, 0, "continuous", 0);
    closeCVLPort(0, 0);
  }
  finalize();
  std::filesystem::remove_all(system);
  return open;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void DriverBesidePlainAravis(benchmark::State& state) {
  const int rounds = static_cast<int>(Setting("KORVEX_GEV_BENCH_ROUNDS", 12));
  const double seconds = Setting("KORVEX_GEV_BENCH_SECONDS", 3);
  std::vector<double> plainFps, driverFps, plainCpu, driverCpu, plainReceive, driverReceive, overhead;
  for (auto _ : state) {
    for (int round = 0; round < rounds; ++round) {
      // One after the other, each alone on the machine: run side by side, the driver's real-time
      // wait thread would take the processor from the client's receive thread and change how it
      // batches packets. The order alternates (client first, then driver first), so that a drift
      // of the machine's speed within a round favours neither.
      Run plain, driver;
      bool clientRan = false, driverRan = false;
      for (int side = 0; side < 2; ++side) {
        if ((side == 0) == (round % 2 == 0)) {
          int output = -1;
          const pid_t client = StartClient(MonotonicNs() + kSetUpNs, seconds, output);
          clientRan = client > 0 && FinishClient(client, output, plain);
        } else {
          driverRan = DriverRun(MonotonicNs() + kSetUpNs, seconds, driver);
        }
      }
      if (!driverRan || !clientRan || plain.frames == 0 || driver.frames == 0) {
        state.SkipWithError(!driverRan ? "the camera does not open through the driver" : "the plain client failed");
        return;
      }
      plainFps.push_back(plain.Fps());
      driverFps.push_back(driver.Fps());
      plainCpu.push_back(plain.CpuPerFrameUs());
      driverCpu.push_back(driver.CpuPerFrameUs());
      plainReceive.push_back(plain.ReceivePerFrameUs());
      driverReceive.push_back(driver.ReceivePerFrameUs());
      if (std::getenv("KORVEX_GEV_BENCH_VERBOSE") != nullptr) {
        std::fprintf(stderr, "round %d: plain %.1f (receive %.1f) driver %.1f (receive %.1f) us/frame\n", round,
                     plain.CpuPerFrameUs(), plain.ReceivePerFrameUs(), driver.CpuPerFrameUs(), driver.ReceivePerFrameUs());
      }
      overhead.push_back(100.0 * (driver.CpuPerFrameUs() / plain.CpuPerFrameUs() - 1.0));
    }
  }
  state.counters["plain_fps"] = Median(plainFps);
  state.counters["driver_fps"] = Median(driverFps);
  state.counters["plain_cpu_us_per_frame"] = Median(plainCpu);
  state.counters["driver_cpu_us_per_frame"] = Median(driverCpu);
  // Of that, Aravis's receive thread, the same code on both sides; the rest is what each side does
  // with a frame once Aravis has it (the driver: hand-over, result handling, the host's row reads).
  state.counters["plain_receive_us_per_frame"] = Median(plainReceive);
  state.counters["driver_receive_us_per_frame"] = Median(driverReceive);
  state.counters["plain_rest_us_per_frame"] = Median(plainCpu) - Median(plainReceive);
  state.counters["driver_rest_us_per_frame"] = Median(driverCpu) - Median(driverReceive);
  // The median of the rounds' ratios: each round's two sides ran within seconds of each other.
  // Single rounds stray far (the machine's memory speed and the receive threads' batching of
  // packets vary from second to second), which the spread below shows.
  state.counters["cpu_overhead_percent"] = Median(overhead);
  state.counters["round_overhead_min_percent"] = *std::min_element(overhead.begin(), overhead.end());
  state.counters["round_overhead_max_percent"] = *std::max_element(overhead.begin(), overhead.end());
  state.counters["fps_loss_percent"] = 100.0 * (1.0 - Median(driverFps) / Median(plainFps));
}

BENCHMARK(DriverBesidePlainAravis)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
