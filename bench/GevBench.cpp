// The driver over a GigE Vision camera against a plain Aravis client: frames per second and CPU
// time per frame, frame mode, continuous, every row read by the host. The two sides stream side
// by side, each from a fake camera of its own, on the same processor; the client is a process of
// its own (korvex_gev_plain_client), so that each side's CPU time is its process's. Runs beside two
// of the project's fake cameras on loopback:
//   scripts/gev-loopback.sh korvex-gev-camera "21000041 raL2048-48gm" "21000042 raL2048-48gm"
//     -- korvex_gev_bench
// KORVEX_GEV_BENCH_ROUNDS pairs of windows (default 20) of KORVEX_GEV_BENCH_SECONDS (default 1);
// KORVEX_GEV_BENCH_VERBOSE set prints each window.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "GevBenchConfig.h"
#include "KorvexEjector.h"

extern char** environ;

namespace {

using namespace gevbench;

// The two cameras, by the name the driver opens and the address the client opens.
struct BenchCamera {
  const char* name;
  const char* address;
};
constexpr BenchCamera kCameras[2] = {{"Basler raL2048-48gm (21000041)", "127.0.0.1"},
                                     {"Basler raL2048-48gm (21000042)", "127.0.0.2"}};

double Setting(const char* name, double fallback) {
  const char* text = std::getenv(name);
  const double value = text != nullptr ? std::atof(text) : 0;
  return value > 0 ? value : fallback;
}

// One window of one side, or the sum of a side's windows.
struct Run {
  double frames = 0;
  // Of cpu: Aravis's receive thread's part, and the part of the thread that hands each frame to the
  // host and reads its rows (the driver's grab wait thread, the client's main thread).
  double wall = 0, cpu = 0, receive = 0, host = 0;
  double Fps() const { return wall > 0 ? frames / wall : 0; }
  double CpuPerFrameUs() const { return frames > 0 ? 1e6 * cpu / frames : 0; }
  double ReceivePerFrameUs() const { return frames > 0 ? 1e6 * receive / frames : 0; }
  double HostPerFrameUs() const { return frames > 0 ? 1e6 * host / frames : 0; }
  void Add(const Run& run) {
    frames += run.frames;
    wall += run.wall;
    cpu += run.cpu;
    receive += run.receive;
    host += run.host;
  }
};

// The plain client, a process of its own that streams a window at a time when asked.
class PlainClient {
 public:
  bool Start(const char* address) {
    int toClient[2], fromClient[2];
    if (pipe(toClient) != 0) return false;
    if (pipe(fromClient) != 0) {
      close(toClient[0]);
      close(toClient[1]);
      return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toClient[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromClient[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, toClient[1]);
    posix_spawn_file_actions_addclose(&actions, fromClient[0]);
    char* argv[] = {const_cast<char*>(KORVEX_GEV_PLAIN_CLIENT), const_cast<char*>(address), nullptr};
    if (posix_spawn(&mPid, KORVEX_GEV_PLAIN_CLIENT, &actions, nullptr, argv, environ) != 0) mPid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(toClient[0]);
    close(fromClient[1]);
    mIn = fdopen(toClient[1], "w");
    mOut = fdopen(fromClient[0], "r");
    char ready[16] = {0};
    return mPid > 0 && mIn != nullptr && mOut != nullptr && std::fgets(ready, sizeof ready, mOut) != nullptr &&
           std::strncmp(ready, "READY", 5) == 0;
  }
  bool Begin(int settleMs, int windowMs) {
    std::fprintf(mIn, "RUN %d %d\n", settleMs, windowMs);
    return std::fflush(mIn) == 0;
  }
  bool End(Run& run) {
    return std::fscanf(mOut, "%lf %lf %lf %lf %lf", &run.frames, &run.wall, &run.cpu, &run.receive, &run.host) == 5;
  }
  ~PlainClient() {
    if (mIn != nullptr) std::fclose(mIn);  // the end of its input ends it
    if (mOut != nullptr) std::fclose(mOut);
    if (mPid > 0) waitpid(mPid, nullptr, 0);
  }

 private:
  pid_t mPid = -1;
  FILE* mIn = nullptr;
  FILE* mOut = nullptr;
};

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

// The driver, initialized for the whole benchmark, with one camera open at a time.
class DriverSide {
 public:
  bool Initialize() {
    mSystem = std::filesystem::temp_directory_path() / "korvex-gev-bench";
    std::filesystem::remove_all(mSystem);
    std::filesystem::create_directories(mSystem);
    // The driver's threads at the normal policy, as the client's: side by side, a real-time wait
    // thread would take the processor from the client's receive thread in mid-frame and charge the
    // client for the switches. The work they do is the same either way, and so is where they do it:
    // the driver keeps its real-time threads to the last processor, where this thread and every
    // thread it starts are kept here, as the client's are.
    OnTheDriversProcessor();
    std::ofstream ini(mSystem / "Korvex.ini");
    ini << "[General]\nRealTimeThreads=0\n";
    for (const BenchCamera& camera : kCameras) ini << "[" << camera.name << "]\nWidth=" << kWidth << "\nHeight=" << kHeight << "\n";
    ini.close();
    mInitialized = initialize(mSystem.c_str(), nullptr) == 1;
    return mInitialized;
  }
  bool Open(const BenchCamera& camera) {
    Close();
    int size[2] = {0, 0};
    mOpen = openCVLPort(0, 0, camera.name, size) == 1;
    if (!mOpen) return false;
    setProperty(0, 0, "AcquisitionLineRateAbs", kLineRate);
    setCompleteCallback(0, 0, &ReadImage);
    return true;
  }
  void Close() {
    if (mOpen) closeCVLPort(0, 0);
    mOpen = false;
  }
  void Window(int settleMs, int windowMs, Run& run) {
    setProperty(0, 0, "continuous", 1);
    const int64_t start = MonotonicNs() + static_cast<int64_t>(settleMs) * 1000000;
    SleepUntil(start);
    const int before = gFrames;
    // The receive thread's time is read from files, which takes this thread a while: outside the
    // window, before it opens and after it closes.
    const double receiveStart = ReceiveThreadCpuSeconds(), hostStart = ThreadsCpuSeconds("korvex-wait");
    const double cpuStart = ProcessCpuSeconds();
    SleepUntil(start + static_cast<int64_t>(windowMs) * 1000000);
    run.frames = gFrames - before;
    run.wall = windowMs / 1000.0;
    run.cpu = ProcessCpuSeconds() - cpuStart;
    run.receive = ReceiveThreadCpuSeconds() - receiveStart;
    run.host = ThreadsCpuSeconds("korvex-wait") - hostStart;
    setProperty(0, 0, "continuous", 0);
  }
  ~DriverSide() {
    Close();
    if (mInitialized) finalize();
    std::filesystem::remove_all(mSystem);
  }

 private:
  std::filesystem::path mSystem;
  bool mInitialized = false;
  bool mOpen = false;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A 90 % confidence interval of the median, by resampling the windows' ratios (a fixed seed, so
// that a run's figures can be computed again).
std::pair<double, double> MedianInterval(const std::vector<double>& values) {
  std::mt19937 random(20261210);
  std::uniform_int_distribution<std::size_t> pick(0, values.size() - 1);
  std::vector<double> medians, sample(values.size());
  for (int i = 0; i < 2000; ++i) {
    for (double& value : sample) value = values[pick(random)];
    medians.push_back(Median(sample));
  }
  std::sort(medians.begin(), medians.end());
  return {medians[medians.size() / 20], medians[medians.size() * 19 / 20]};
}

void DriverBesidePlainAravis(benchmark::State& state) {
  const int pairs = static_cast<int>(Setting("KORVEX_GEV_BENCH_ROUNDS", 20));
  const int windowMs = static_cast<int>(1000 * Setting("KORVEX_GEV_BENCH_SECONDS", 1));
  // Each side streams this long before its window opens: longer than Aravis's packet ring (32 MB)
  // takes to go round once, so that a ring made afresh (each window opens its cameras anew) has
  // faulted in its pages before it is measured.
  constexpr int kSettleMs = 1000;
  Run plain, driver;  // over all windows
  std::vector<double> overhead;
  for (auto _ : state) {
    // Both sides stream at the same time, on the same processor, each from a camera of its own, and
    // are measured over the same window: this virtual machine's speed changes from second to
    // second by a third, which one after the other would read as the driver's cost. The sides
    // swap cameras every window: the same client costs a fifth more on one of the two than on the
    // other (how its packets reach the receive thread), which a fixed assignment would read as
    // the driver's cost too. Each pair of windows, one each way, gives one ratio.
    DriverSide driverSide;
    if (!driverSide.Initialize()) {
      state.SkipWithError("the driver does not initialize");
      return;
    }
    double pairRatio = 1;
    for (int round = 0; round < 2 * pairs; ++round) {
      const BenchCamera& driverCamera = kCameras[round % 2];
      const BenchCamera& clientCamera = kCameras[1 - round % 2];
      PlainClient client;
      if (!driverSide.Open(driverCamera) || !client.Start(clientCamera.address)) {
        state.SkipWithError("a camera does not open through the driver, or through the plain client");
        return;
      }
      Run plainRun, driverRun;
      const bool clientStreams = client.Begin(kSettleMs, windowMs);
      driverSide.Window(kSettleMs, windowMs, driverRun);
      if (!clientStreams || !client.End(plainRun)) {
        state.SkipWithError("the plain client failed");
        return;
      }
      if (plainRun.frames == 0 || driverRun.frames == 0) {
        state.SkipWithError(plainRun.frames == 0 ? "no frame reached the plain client" : "no frame reached the driver");
        return;
      }
      plain.Add(plainRun);
      driver.Add(driverRun);
      const double ratio = driverRun.CpuPerFrameUs() / plainRun.CpuPerFrameUs();
      pairRatio = round % 2 == 0 ? ratio : pairRatio * ratio;
      if (round % 2 == 1) overhead.push_back(100.0 * (std::sqrt(pairRatio) - 1.0));
      if (std::getenv("KORVEX_GEV_BENCH_VERBOSE") != nullptr) {
        std::fprintf(stderr,
                     "window %d, driver on %s: plain %.1f (receive %.1f, host %.1f) driver %.1f (receive %.1f, host "
                     "%.1f) us/frame\n",
                     round, driverCamera.address, plainRun.CpuPerFrameUs(), plainRun.ReceivePerFrameUs(),
                     plainRun.HostPerFrameUs(), driverRun.CpuPerFrameUs(), driverRun.ReceivePerFrameUs(),
                     driverRun.HostPerFrameUs());
      }
    }
  }
  state.counters["plain_fps"] = plain.Fps();
  state.counters["driver_fps"] = driver.Fps();
  state.counters["fps_loss_percent"] = 100.0 * (1.0 - driver.Fps() / plain.Fps());
  // Over all windows of each side.
  state.counters["plain_cpu_us_per_frame"] = plain.CpuPerFrameUs();
  state.counters["driver_cpu_us_per_frame"] = driver.CpuPerFrameUs();
  state.counters["cpu_overhead_percent"] = 100.0 * (driver.CpuPerFrameUs() / plain.CpuPerFrameUs() - 1.0);
  // Of that, Aravis's receive thread, the same code on both sides; the rest is what each side does
  // with a frame once Aravis has it (the driver: hand-over, result handling, the host's row reads).
  state.counters["plain_receive_us_per_frame"] = plain.ReceivePerFrameUs();
  state.counters["driver_receive_us_per_frame"] = driver.ReceivePerFrameUs();
  state.counters["plain_rest_us_per_frame"] = plain.CpuPerFrameUs() - plain.ReceivePerFrameUs();
  state.counters["driver_rest_us_per_frame"] = driver.CpuPerFrameUs() - driver.ReceivePerFrameUs();
  // Of the rest, the thread that hands each frame to the host and reads its rows.
  state.counters["plain_host_us_per_frame"] = plain.HostPerFrameUs();
  state.counters["driver_host_us_per_frame"] = driver.HostPerFrameUs();
  // The pairs' own ratios: their median with its 90 % interval shows how far the figure above can
  // be trusted on this machine.
  const std::pair<double, double> interval = MedianInterval(overhead);
  state.counters["pair_overhead_median_percent"] = Median(overhead);
  state.counters["pair_overhead_low_percent"] = interval.first;
  state.counters["pair_overhead_high_percent"] = interval.second;
}

BENCHMARK(DriverBesidePlainAravis)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
