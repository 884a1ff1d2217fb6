// getCVLGrabRow of an undecimated 2048-byte row beside a plain memcpy of the same row, and the
// line-counter throughput the driver sustains from the virtual camera with pixel filling off.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "KorvexEjector.h"
#include "camera_sdk/VirtualControl.h"

namespace {

std::atomic<int> gImages{0};
void OnComplete(int, int) { ++gImages; }

// A driver with one monochrome camera of 2048 pixels, no pixel filling, frames only on request.
std::filesystem::path SetUpDriver(const char* settings) {
  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "korvex-bench-rows";
  std::filesystem::remove_all(directory);
  std::filesystem::create_directories(directory);
  std::ofstream(directory / "network.ini")
      << "[mono]\nFullName=Basler raL2048-48gm#1\nFriendlyName=Mono\nPattern=none\nFreeRunning=0\nMaxHeight=100000\n";
  std::ofstream(directory / "Korvex.ini") << "[Mono]\nWidth=2048\n" << settings;
  setenv("KORVEX_CAMERAS", (directory / "network.ini").c_str(), 1);
  initialize(directory.c_str(), nullptr);
  return directory;
}

void TearDownDriver() {
  closeCVLPort(0, 0);
  finalize();
  unsetenv("KORVEX_CAMERAS");
}

// Both sides copy the same walk over 1000 rows of an image of 2 MB, so that they meet the same
// caches: the driver's rows come from its chunks, the baseline's from one block of that size.
constexpr int kWalkRows = 1000;

void BM_Baseline_Memcpy2048(benchmark::State& run) {
  std::vector<unsigned char> source(static_cast<std::size_t>(2048) * kWalkRows, 7), target(2048);
  int r = 0;
  for (auto _ : run) {
    std::memcpy(target.data(), source.data() + static_cast<std::size_t>(r) * 2048, 2048);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
    r = (r + 1) % kWalkRows;
  }
}
BENCHMARK(BM_Baseline_Memcpy2048);

// One row copied again and again: everything in the first level cache.
void BM_Baseline_Memcpy2048HotRow(benchmark::State& run) {
  std::vector<unsigned char> source(2048, 7), target(2048);
  for (auto _ : run) {
    std::memcpy(target.data(), source.data(), source.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Baseline_Memcpy2048HotRow);

// An image of 1024 rows of 2048 pixels formed in line-counter mode; `walk` rows are read in turn,
// never the last one, so the image stays.
void GrabRows(benchmark::State& run, int walk) {
  SetUpDriver("LineGrabbingMode=1\nLineCounterResolution=64\nHeight=1024\nOverlappedLines=0\n");
  int size[2];
  openCVLPort(0, 0, "Mono", size);
  setCompleteCallback(0, 0, &OnComplete);
  setProperty(0, 0, "continuous", 1);
  gImages = 0;
  Pylon::Virtual::ProduceFrames(0, 16);
  while (gImages < 1) std::this_thread::yield();
  std::vector<unsigned char> row(2048);
  int r = 0;
  for (auto _ : run) {
    benchmark::DoNotOptimize(getCVLGrabRow(0, 0, row.data(), r, 0, 2047));
    benchmark::ClobberMemory();
    r = (r + 1) % walk;
  }
  TearDownDriver();
}

void BM_GetCVLGrabRow2048(benchmark::State& run) { GrabRows(run, kWalkRows); }
BENCHMARK(BM_GetCVLGrabRow2048);

void BM_GetCVLGrabRow2048HotRow(benchmark::State& run) { GrabRows(run, 1); }
BENCHMARK(BM_GetCVLGrabRow2048HotRow);

// Chunks of 100 lines of 2048 pixels offered as fast as the virtual camera can: the host reads every
// image whole. delivered_lines_per_s counts the lines the host received; offered_lines_per_s all
// lines that passed the camera, dropped_chunks those that found no free buffer.
void BM_LineCounterThroughput(benchmark::State& run) {
  SetUpDriver("LineGrabbingMode=1\nLineCounterResolution=100\nHeight=1000\nOverlappedLines=100\nDelay=0\n");
  int size[2];
  openCVLPort(0, 0, "Mono", size);
  setCompleteCallback(0, 0, &OnComplete);
  setProperty(0, 0, "continuous", 1);
  gImages = 0;
  std::vector<unsigned char> row(2048);
  long lines = 0;
  const int images = 2000;
  for (auto _ : run) {
    int read = 0;
    const auto start = std::chrono::steady_clock::now();
    std::atomic<bool> stop{false};
    std::thread producer([&] {
      while (!stop) {
        if (Pylon::Virtual::ProduceFrames(0, 1) == 0) break;
      }
    });
    while (read < images) {
      while (gImages <= read) std::this_thread::yield();
      for (int r = 0; r < size[1]; ++r) getCVLGrabRow(0, 0, row.data(), r, 0, 2047);
      ++read;
    }
    stop = true;
    producer.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    lines = Pylon::Virtual::LinesAcquired(0);
    run.counters["offered_lines_per_s"] = static_cast<double>(lines) / seconds;
    run.counters["delivered_lines_per_s"] = static_cast<double>(read) * 1000.0 / seconds;
    run.counters["dropped_chunks"] = static_cast<double>(Pylon::Virtual::DroppedFrames(0));
    run.counters["images"] = read;
  }
  TearDownDriver();
}
BENCHMARK(BM_LineCounterThroughput)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
