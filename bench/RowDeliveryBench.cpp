// getCVLGrabRow of an undecimated 2048-byte row beside a plain memcpy of the same row, and the
// line-counter throughput the driver sustains from the virtual camera with pixel filling off:
// paced at a fixed line rate (does it keep up without losing a chunk?) and unpaced (how far does
// it go when the camera offers lines as fast as it can?).

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "KorvexEjector.h"
#include "camera_sdk/VirtualControl.h"

namespace {

std::atomic<int> gImages{0};
void OnComplete(int, int) { ++gImages; }

// A driver with one monochrome camera of 2048 pixels and no pixel filling; `camera` adds keys to
// its network section (by default frames come only on request).
std::filesystem::path SetUpDriver(const char* settings, const std::string& camera = "FreeRunning=0\n") {
  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "korvex-bench-rows";
  std::filesystem::remove_all(directory);
  std::filesystem::create_directories(directory);
  std::ofstream(directory / "network.ini")
      << "[mono]\nFullName=Basler raL2048-48gm#1\nFriendlyName=Mono\nPattern=none\nMaxHeight=100000\n" << camera;
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

// Every row of each frame (256 of 2048 pixels) read inside the completion callback, as a host
// reads its images: the time a row, on the wait thread.
std::atomic<int64_t> gCallbackNs{0};
std::atomic<int> gCallbackRows{0};
unsigned char gCallbackRow[2048];

void ReadEveryRow(int, int port) {
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < 256; ++r) getCVLGrabRow(0, port, gCallbackRow, r, 0, 2047);
  gCallbackNs += std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count();
  gCallbackRows += 256;
  ++gImages;
}

void BM_GetCVLGrabRow2048InTheCallback(benchmark::State& run) {
  SetUpDriver("Height=256\nOverlappedLines=0\n");
  int size[2];
  openCVLPort(0, 0, "Mono", size);
  setCompleteCallback(0, 0, &ReadEveryRow);
  setProperty(0, 0, "continuous", 1);
  gImages = 0;
  gCallbackNs = 0;
  gCallbackRows = 0;
  for (auto _ : run) {
    const int before = gImages;
    Pylon::Virtual::ProduceFrames(0, 1);
    while (gImages == before) std::this_thread::yield();
  }
  run.counters["ns_per_row"] = gCallbackRows > 0 ? static_cast<double>(gCallbackNs) / gCallbackRows : 0;
  TearDownDriver();
}
BENCHMARK(BM_GetCVLGrabRow2048InTheCallback);

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


namespace paced {

// Line-counter images of 1000 new lines behind 100 overlap lines, in chunks of 100 lines.
constexpr int kHeight = 1000;
constexpr int kChunk = 100;

std::mutex gLock;
std::condition_variable gFormed;
int gFormedCount = 0;         // guarded by gLock
bool gReadInCallback = false;
long gGaps = 0;               // images whose stamps jumped from the image before: chunks lost between
int gLastStamp = -1;
std::vector<unsigned char> gRow(2048);

int Stamp(const unsigned char* row) { return row[0] | (row[1] << 8) | (row[2] << 16); }

// Reads one image whole and checks that its first new chunk follows the last one of the image
// before (the stamps step by one per chunk and wrap at 10000).
void ReadImage(int rows) {
  for (int r = 0; r < rows; ++r) {
    getCVLGrabRow(0, 0, gRow.data(), r, 0, 2047);
    if (r == rows - kHeight) {
      const int stamp = Stamp(gRow.data());
      if (gLastStamp >= 0 && stamp != (gLastStamp + 1) % 10000) ++gGaps;
    }
    if (r == rows - 1) gLastStamp = Stamp(gRow.data());
  }
}

void OnFormed(int, int) {
  if (gReadInCallback) {
    ReadImage(kHeight + kChunk);
    std::lock_guard<std::mutex> guard(gLock);
    ++gFormedCount;
    return;
  }
  std::lock_guard<std::mutex> guard(gLock);
  ++gFormedCount;
  gFormed.notify_one();
}

// The camera free-running at run.range(0) lines per second for half a second; run.range(1) = 1
// reads every image inside the completion callback on the wait thread, 0 on a host thread woken
// by the callback.
void BM_LineCounterPaced(benchmark::State& run) {
  const long rate = run.range(0);
  gReadInCallback = run.range(1) == 1;
  gGaps = 0;
  gLastStamp = -1;
  gFormedCount = 0;
  SetUpDriver("LineGrabbingMode=1\nLineCounterResolution=100\nHeight=1000\nOverlappedLines=100\nDelay=0\n",
              "FreeRunning=1\nLineRate=" + std::to_string(rate) + "\n");
  int size[2];
  openCVLPort(0, 0, "Mono", size);
  setCompleteCallback(0, 0, &OnFormed);
  for (auto _ : run) {
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::milliseconds(500);
    setProperty(0, 0, "continuous", 1);
    int read = 0;
    if (!gReadInCallback) {
      for (;;) {
        std::unique_lock<std::mutex> lock(gLock);
        if (!gFormed.wait_until(lock, end, [&] { return gFormedCount > read; })) break;
        lock.unlock();
        ReadImage(size[1]);
        ++read;
      }
    } else {
      std::this_thread::sleep_until(end);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    setProperty(0, 0, "continuous", 0);
    {
      std::lock_guard<std::mutex> guard(gLock);
      if (gReadInCallback) read = gFormedCount;
    }
    run.counters["offered_lines_per_s"] = static_cast<double>(Pylon::Virtual::LinesAcquired(0)) / seconds;
    run.counters["delivered_lines_per_s"] = static_cast<double>(read) * kHeight / seconds;
    run.counters["dropped_chunks"] = static_cast<double>(Pylon::Virtual::DroppedFrames(0));
    run.counters["stamp_gaps"] = static_cast<double>(gGaps);
  }
  TearDownDriver();
}
BENCHMARK(BM_LineCounterPaced)
    ->ArgNames({"lines_per_s", "in_callback"})
    ->ArgsProduct({{1000000, 2000000, 5000000, 10000000}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace paced

}  // namespace
