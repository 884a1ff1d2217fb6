// The driver over a GigE Vision camera against a plain Aravis client on the same stream: frames per
// second and this process's CPU time per frame, frame mode, continuous, every row read by the host.
// Runs beside one of the project's fake cameras on loopback:
//   scripts/gev-loopback.sh korvex-gev-camera "21000041 raL2048-48gm" -- korvex_gev_bench
// KORVEX_GEV_BENCH_ROUNDS rounds (default 9), the two sides in turn; KORVEX_GEV_BENCH_SECONDS
// sets each side's measured window (default 4), after half a second of streaming.

#include <arv.h>
#include <benchmark/benchmark.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "KorvexEjector.h"
#include "os/DynamicLibrary.h"

namespace {

constexpr int kWidth = 2048;
constexpr int kHeight = 256;
constexpr int kLineRate = 25600;  // 100 frames a second
constexpr int kBuffers = 3;  // the driver's frame buffers in frame mode
constexpr double kWarmUp = 0.5;  // seconds streamed before the measurement
const char* const kCamera = "Basler raL2048-48gm (21000041)";

double Seconds() {
  const char* text = std::getenv("KORVEX_GEV_BENCH_SECONDS");
  const double seconds = text != nullptr ? std::atof(text) : 4.0;
  return seconds > 0 ? seconds : 4.0;
}

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One side's steady state: frames delivered and this process's CPU time over the window.
struct Run {
  int frames = 0;
  double wall = 0, cpu = 0;
  double Fps() const { return wall > 0 ? frames / wall : 0; }
  double CpuPerFrameUs() const { return frames > 0 ? 1e6 * cpu / frames : 0; }
};

// Aravis alone: the same geometry and line rate, the same number of buffers, each frame's rows
// copied out as a host reads them. Empty when the camera cannot be reached.
// Keeps the calling thread, and the threads it starts, to the last processor it may use (where
// the driver keeps its real-time threads and its receive thread) for the life of the object, so
// that both sides receive on the same processor, apart from the camera.
class OnTheDriversProcessor {
 public:
  OnTheDriversProcessor() {
    sched_getaffinity(0, sizeof mBefore, &mBefore);
    cpu_set_t last;
    CPU_ZERO(&last);
    for (int cpu = CPU_SETSIZE - 1; cpu >= 0; --cpu) {
      if (!CPU_ISSET(cpu, &mBefore)) continue;
      CPU_SET(cpu, &last);
      break;
    }
    sched_setaffinity(0, sizeof last, &last);
  }
  ~OnTheDriversProcessor() { sched_setaffinity(0, sizeof mBefore, &mBefore); }
  OnTheDriversProcessor(const OnTheDriversProcessor&) = delete;
  OnTheDriversProcessor& operator=(const OnTheDriversProcessor&) = delete;

 private:
  cpu_set_t mBefore;
};

bool PlainAravisRun(Run& run) {
  OnTheDriversProcessor placement;
  arv_update_device_list();
  GError* error = nullptr;
  ArvDevice* device = arv_get_n_devices() > 0 ? arv_open_device(arv_get_device_id(0), &error) : nullptr;
  if (device == nullptr) {
    g_clear_error(&error);
    return false;
  }
  arv_device_set_string_feature_value(device, "PixelFormat", "Mono8", &error);
  arv_device_set_integer_feature_value(device, "Width", kWidth, &error);
  arv_device_set_integer_feature_value(device, "Height", kHeight, &error);
  arv_device_set_float_feature_value(device, "AcquisitionLineRateAbs", kLineRate, &error);
  arv_device_set_string_feature_value(device, "AcquisitionMode", "Continuous", &error);
  const gint64 payload = arv_device_get_integer_feature_value(device, "PayloadSize", &error);
  ArvStream* stream = error == nullptr ? arv_device_create_stream(device, nullptr, nullptr, &error) : nullptr;
  if (stream == nullptr) {
    g_clear_error(&error);
    g_object_unref(device);
    return false;
  }
  g_object_set(stream, "socket-buffer", ARV_GV_STREAM_SOCKET_BUFFER_AUTO, nullptr);
  std::vector<std::vector<unsigned char>> memory(kBuffers, std::vector<unsigned char>(static_cast<std::size_t>(payload)));
  for (auto& block : memory) arv_stream_push_buffer(stream, arv_buffer_new(block.size(), block.data()));
  std::vector<unsigned char> row(kWidth);
  arv_device_execute_command(device, "AcquisitionStart", &error);
  auto start = std::chrono::steady_clock::now();
  double cpuStart = 0;
  bool warm = false;
  while (!warm || Since(start) < Seconds()) {
    if (!warm && Since(start) >= kWarmUp) {
      warm = true;
      run.frames = 0;
      start = std::chrono::steady_clock::now();
      cpuStart = CpuSeconds();
    }
    ArvBuffer* buffer = arv_stream_timeout_pop_buffer(stream, 200000);
    if (buffer == nullptr) continue;
    if (arv_buffer_get_status(buffer) == ARV_BUFFER_STATUS_SUCCESS) {
      std::size_t size = 0;
      const auto* pixels = static_cast<const unsigned char*>(arv_buffer_get_data(buffer, &size));
      for (int r = 0; r < kHeight; ++r) std::memcpy(row.data(), pixels + static_cast<std::size_t>(r) * kWidth, kWidth);
      benchmark::DoNotOptimize(row.data());
      ++run.frames;
    }
    arv_stream_push_buffer(stream, buffer);
  }
  run.wall = Since(start);
  run.cpu = CpuSeconds() - cpuStart;
  arv_device_execute_command(device, "AcquisitionStop", &error);
  g_clear_error(&error);
  g_object_unref(stream);
  g_object_unref(device);
  return true;
}

// The driver, loaded as a host loads it: the completion callback reads every row of each image.
struct Driver {
  os::DynamicLibrary library;
  decltype(&::initialize) initialize = nullptr;
  decltype(&::finalize) finalize = nullptr;
  decltype(&::openCVLPort) openCVLPort = nullptr;
  decltype(&::closeCVLPort) closeCVLPort = nullptr;
  decltype(&::setProperty) setProperty = nullptr;
  decltype(&::setCompleteCallback) setCompleteCallback = nullptr;
  decltype(&::getCVLGrabRow) getCVLGrabRow = nullptr;
  bool Load() {
    if (library.IsOpen()) return true;
    if (!library.Open(KORVEX_LIBRARY_PATH)) return false;
    initialize = reinterpret_cast<decltype(initialize)>(library.Symbol("initialize"));
    finalize = reinterpret_cast<decltype(finalize)>(library.Symbol("finalize"));
    openCVLPort = reinterpret_cast<decltype(openCVLPort)>(library.Symbol("openCVLPort"));
    closeCVLPort = reinterpret_cast<decltype(closeCVLPort)>(library.Symbol("closeCVLPort"));
    setProperty = reinterpret_cast<decltype(setProperty)>(library.Symbol("setProperty"));
    setCompleteCallback = reinterpret_cast<decltype(setCompleteCallback)>(library.Symbol("setCompleteCallback"));
    getCVLGrabRow = reinterpret_cast<decltype(getCVLGrabRow)>(library.Symbol("getCVLGrabRow"));
    return initialize && finalize && openCVLPort && closeCVLPort && setProperty && setCompleteCallback && getCVLGrabRow;
  }
};

Driver gDriver;
std::atomic<int> gFrames{0};
unsigned char gRow[kWidth];

void ReadImage(int, int port) {
  for (int r = 0; r < kHeight; ++r) gDriver.getCVLGrabRow(0, port, gRow, r, 0, kWidth - 1);
  ++gFrames;
}

bool DriverRun(Run& run) {
  if (!gDriver.Load()) return false;
  const std::filesystem::path system = std::filesystem::temp_directory_path() / "korvex-gev-bench";
  std::filesystem::remove_all(system);
  std::filesystem::create_directories(system);
  std::ofstream(system / "Korvex.ini") << "[" << kCamera << "]\nWidth=" << kWidth << "\nHeight=" << kHeight << "\n";
  int size[2] = {0, 0};
  const bool open = gDriver.initialize(system.c_str(), nullptr) == 1 && gDriver.openCVLPort(0, 0, kCamera, size) == 1;
  if (open) {
    gDriver.setProperty(0, 0, "AcquisitionLineRateAbs", kLineRate);
    gDriver.setCompleteCallback(0, 0, &ReadImage);
    gDriver.setProperty(0, 0, "continuous", 1);
    // Past the stream's start (Aravis sets up its receive ring then), as on the plain side.
    std::this_thread::sleep_for(std::chrono::duration<double>(kWarmUp));
    const int before = gFrames;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(Seconds()));
    run.frames = gFrames - before;
    run.wall = Since(start);
    run.cpu = CpuSeconds() - cpuStart;
    gDriver.setProperty(0, 0, "continuous", 0);
    gDriver.closeCVLPort(0, 0);
  }
  gDriver.finalize();
  std::filesystem::remove_all(system);
  return open;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The two sides in turn, round after round, so that a slow spell of the machine falls on both;
// medians, since one side's receive thread alone varies by a fifth from one window to the next.
void DriverOverPlainAravis(benchmark::State& state) {
  std::vector<double> plainFps, driverFps, plainCpu, driverCpu, roundOverhead;
  for (auto _ : state) {
    const char* rounds = std::getenv("KORVEX_GEV_BENCH_ROUNDS");
    const int roundCount = rounds != nullptr && std::atoi(rounds) > 0 ? std::atoi(rounds) : 9;
    for (int round = 0; round < roundCount; ++round) {
      Run plain, driver;
      if (!PlainAravisRun(plain)) {
        state.SkipWithError("no GigE Vision camera answers");
        return;
      }
      if (!DriverRun(driver)) {
        state.SkipWithError("the camera does not open through the driver");
        return;
      }
      plainFps.push_back(plain.Fps());
      driverFps.push_back(driver.Fps());
      plainCpu.push_back(plain.CpuPerFrameUs());
      driverCpu.push_back(driver.CpuPerFrameUs());
      roundOverhead.push_back(100.0 * (driver.CpuPerFrameUs() / plain.CpuPerFrameUs() - 1.0));
    }
  }
  state.counters["plain_fps"] = Median(plainFps);
  state.counters["driver_fps"] = Median(driverFps);
  state.counters["plain_cpu_us_per_frame"] = Median(plainCpu);
  state.counters["driver_cpu_us_per_frame"] = Median(driverCpu);
  state.counters["cpu_overhead_percent"] = 100.0 * (Median(driverCpu) / Median(plainCpu) - 1.0);
  // How far single rounds stray: the spread that a median of the rounds smooths.
  state.counters["round_overhead_min_percent"] = *std::min_element(roundOverhead.begin(), roundOverhead.end());
  state.counters["round_overhead_max_percent"] = *std::max_element(roundOverhead.begin(), roundOverhead.end());
  state.counters["fps_loss_percent"] = 100.0 * (1.0 - Median(driverFps) / Median(plainFps));
}

BENCHMARK(DriverOverPlainAravis)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
