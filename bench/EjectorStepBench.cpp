// The ejector in step with the counter. Latency: from Signal to the card's port-0 write, p50 and
// p99 over 100,000 steps, beside a bare wake-up of a thread on the same kind of event measured the
// same way, and end to end from a chunk completed in the virtual camera through the wait thread. Throughput: the virtual camera drives
// the counter at 100,000 steps per second and every line must reach the host's command callback
// exactly once and in order, the catch-up path taking what the wake-ups miss.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/prctl.h>

#include "KorvexEjector.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "camera_sdk/VirtualControl.h"
#include "card/VirtualCard.h"
#include "ejector/Ejector.h"
#include "BusyProcesses.h"
#include "LatencyReport.h"
#include "os/AutoResetEvent.h"


namespace {

constexpr int kSteps = 100000;

// "Mono" (16 pixels, line-counter mode) open on port 0 with the ejector on the virtual card 0.
Camera* OpenEjectorCamera(const std::string& camera, const std::string& settings) {
  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "korvex-bench-ejector";
  std::filesystem::remove_all(directory);
  std::filesystem::create_directories(directory);
  std::ofstream(directory / "network.ini")
      << "[mono]\nFullName=Basler raL2048-48gm#1\nFriendlyName=Mono\nPattern=none\n" << camera;
  std::ofstream(directory / "Korvex.ini") << "[Mono]\nWidth=16\nLineGrabbingMode=1\nEjectorControl=1\n" << settings;
  setenv("KORVEX_CAMERAS", (directory / "network.ini").c_str(), 1);
  unsetenv("KORVEX_DAQ");
  daq::ResetCards();
  initialize(directory.c_str(), nullptr);
  int size[2];
  if (openCVLPort(0, 0, "Mono", size) != 1) return nullptr;
  return CameraList::GetInstance()->GetByPort(0);
}

// Reads the one-row image, so that its buffer goes back at once.
void ReadOneRow(int, int port) {
  unsigned char row[16];
  getCVLGrabRow(0, port, row, 0, 0, 15);
}

void CloseEjectorCamera() {
  closeCVLPort(0, 0);
  finalize();
  unsetenv("KORVEX_CAMERAS");
}

// After each step the signalling thread blocks until the step is done, as the wait thread blocks
// for its next grab result; the woken thread has gone back to sleep before the next step, so every
// step is a real wake-up.
template <typename Done>
void SleepUntil(Done done) {
  while (!done()) std::this_thread::sleep_for(std::chrono::microseconds(5));
}

// Argument: busy processes beside it.
void BM_Baseline_EventWakeUp(benchmark::State& run) {
  prctl(PR_SET_TIMERSLACK, 1);
  BusyProcesses load(static_cast<int>(run.range(0)));
  os::AutoResetEvent event(false);
  std::atomic<int64_t> signalled{0};
  std::atomic<int> woken{0};
  std::vector<int64_t> latencies;
  latencies.reserve(kSteps);
  std::thread waiter([&] {
    for (;;) {
      event.Wait();
      const int64_t now = daq::NowNs();
      const int64_t at = signalled.load(std::memory_order_acquire);
      if (at < 0) return;
      latencies.push_back(now - at);
      woken.fetch_add(1, std::memory_order_release);
    }
  });
  for (auto _ : run) {
    latencies.clear();
    woken = 0;
    for (int i = 0; i < kSteps; ++i) {
      signalled.store(daq::NowNs(), std::memory_order_release);
      event.Set();
      SleepUntil([&] { return woken.load(std::memory_order_acquire) > i; });
    }
  }
  signalled = -1;
  event.Set();
  waiter.join();
  ReportLatencies(run, latencies);
}
BENCHMARK(BM_Baseline_EventWakeUp)->Arg(0)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

// The counter moved by hand and Signal called as the wait thread calls it.
void BM_Ejector_SignalToPortWrite(benchmark::State& run) {
  prctl(PR_SET_TIMERSLACK, 1);
  Camera* camera = OpenEjectorCamera("FreeRunning=0\n", "Height=2\n");
  Ejector* ejector = camera != nullptr ? camera->GetEjector() : nullptr;
  if (ejector == nullptr) {
    run.SkipWithError("the ejector did not start");
    return;
  }
  daq::VirtualCard* card = daq::FindCard(0);
  LineCounterState& counter = camera->GetLineCounter();
  std::vector<int64_t> latencies;
  latencies.reserve(kSteps);
  for (auto _ : run) {
    latencies.clear();
    for (int i = 0; i < kSteps; ++i) {
      card->ClearHistory();
      const int line = (counter.counter.load() + 1) % Ejector::kLines;
      ++counter.steps;
      counter.counter = line;
      const int64_t signalled = daq::NowNs();
      ejector->Signal();
      SleepUntil([&] { return ejector->GetCurrentLine() == line; });
      const std::vector<daq::PortWrite> writes = card->History();
      if (!writes.empty()) latencies.push_back(writes.front().timeNs - signalled);
    }
  }
  CloseEjectorCamera();
  if (latencies.size() != static_cast<std::size_t>(kSteps)) {
    run.SkipWithError("a step wrote nothing");
    return;
  }
  ReportLatencies(run, latencies);
}
BENCHMARK(BM_Ejector_SignalToPortWrite)->Iterations(1)->Unit(benchmark::kMillisecond);

// End to end through the real wait thread: from the virtual camera completing a chunk (its result
// handled, the counter stepped, Signal) to the port write. Arguments: busy processes beside it, and
// whether the driver's threads run in real time.
void BM_Ejector_ChunkToPortWrite(benchmark::State& run) {
  prctl(PR_SET_TIMERSLACK, 1);
  const std::string realTime = run.range(1) != 0 ? "" : "[General]\nRealTimeThreads=0\n";
  Camera* camera = OpenEjectorCamera("FreeRunning=0\n", "Height=1\nLineCounterResolution=1\n" + realTime);
  BusyProcesses load(static_cast<int>(run.range(0)));
  Ejector* ejector = camera != nullptr ? camera->GetEjector() : nullptr;
  if (ejector == nullptr) {
    run.SkipWithError("the ejector did not start");
    return;
  }
  daq::VirtualCard* card = daq::FindCard(0);
  setCompleteCallback(0, 0, &ReadOneRow);
  setProperty(0, 0, "continuous", 1);
  std::vector<int64_t> latencies;
  latencies.reserve(kSteps);
  for (auto _ : run) {
    latencies.clear();
    for (int i = 0; i < kSteps; ++i) {
      card->ClearHistory();
      const int line = (ejector->GetCurrentLine() + 1) % Ejector::kLines;
      if (Pylon::Virtual::ProduceFrames(0, 1) != 1) break;
      SleepUntil([&] { return ejector->GetCurrentLine() == line; });
      const std::vector<daq::PortWrite> writes = card->History();
      if (!writes.empty()) latencies.push_back(writes.front().timeNs - Pylon::Virtual::LastCompletionNs(0));
    }
  }
  setProperty(0, 0, "continuous", 0);
  CloseEjectorCamera();
  if (latencies.size() != static_cast<std::size_t>(kSteps)) {
    run.SkipWithError("a step wrote nothing");
    return;
  }
  ReportLatencies(run, latencies);
}
BENCHMARK(BM_Ejector_ChunkToPortWrite)
    ->ArgNames({"busy", "realtime"})
    ->Args({0, 1})
    ->Args({0, 0})
    ->Args({2, 1})
    ->Args({2, 0})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The same, with a second camera on port 1 that the host single-grabs as fast as it can on another
// thread (argument 1), beside the second camera open and idle (argument 0): one camera's grabs and
// stops must not delay the other's ejector. The host reads the second camera's images on its own
// thread, not in the callback, which runs on the wait thread that serves both cameras.
std::atomic<int> gSecondImages{0};
void CountSecondImage(int, int) { ++gSecondImages; }
// The wait thread calls back once the chunk's counter step is made and before it signals the
// ejector: the time from there to the write is the driver's step-to-write latency, without the
// virtual camera's own delivery.
std::atomic<int64_t> gSteppedNs{0};
void ReadOneRowAfterTheStep(int host, int port) {
  ReadOneRow(host, port);
  gSteppedNs.store(daq::NowNs(), std::memory_order_release);
}

void BM_Ejector_ChunkToPortWrite_BesideSingleGrabs(benchmark::State& run) {
  prctl(PR_SET_TIMERSLACK, 1);
  const bool grabbing = run.range(0) != 0;
  Camera* camera = OpenEjectorCamera("FreeRunning=0\n[second]\nFullName=Basler raL2048-48gm#3\nFriendlyName=Second\n"
                                     "Pattern=none\nLineRate=48000\n",
                                     "Height=1\nLineCounterResolution=1\n[Second]\nWidth=2048\nHeight=512\n");
  Ejector* ejector = camera != nullptr ? camera->GetEjector() : nullptr;
  int size[2];
  if (ejector == nullptr || openCVLPort(0, 1, "Second", size) != 1) {
    run.SkipWithError("the cameras did not open");
    return;
  }
  daq::VirtualCard* card = daq::FindCard(0);
  setCompleteCallback(0, 0, &ReadOneRowAfterTheStep);
  setCompleteCallback(0, 1, &CountSecondImage);
  setProperty(0, 0, "continuous", 1);
  std::atomic<bool> stop{false};
  gSecondImages = 0;
  std::thread second([&] {
    std::vector<unsigned char> row(2048);
    while (grabbing && !stop) {
      const int before = gSecondImages;
      if (doCVLGrab(0, 1) != 1) break;
      SleepUntil([&] { return gSecondImages != before || stop; });
      for (int r = 0; r < 512 && !stop; ++r) getCVLGrabRow(0, 1, row.data(), r, 0, 2047);
    }
  });
  constexpr int kShortSteps = kSteps / 10;
  std::vector<int64_t> latencies;
  std::vector<int64_t> stepLatencies;
  latencies.reserve(kShortSteps);
  stepLatencies.reserve(kShortSteps);
  for (auto _ : run) {
    for (int i = 0; i < kShortSteps; ++i) {
      card->ClearHistory();
      const int line = (ejector->GetCurrentLine() + 1) % Ejector::kLines;
      if (Pylon::Virtual::ProduceFrames(0, 1) != 1) break;
      SleepUntil([&] { return ejector->GetCurrentLine() == line; });
      const std::vector<daq::PortWrite> writes = card->History();
      if (writes.empty()) continue;
      latencies.push_back(writes.front().timeNs - Pylon::Virtual::LastCompletionNs(0));
      stepLatencies.push_back(writes.front().timeNs - gSteppedNs.load(std::memory_order_acquire));
    }
  }
  stop = true;
  second.join();
  run.counters["second_camera_grabs"] = gSecondImages.load();
  setProperty(0, 0, "continuous", 0);
  closeCVLPort(0, 1);
  CloseEjectorCamera();
  if (latencies.size() != static_cast<std::size_t>(kShortSteps)) {
    run.SkipWithError("a step wrote nothing");
    return;
  }
  ReportLatencies(run, latencies);
  ReportLatencies(run, stepLatencies, "step_");
}
BENCHMARK(BM_Ejector_ChunkToPortWrite_BesideSingleGrabs)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

namespace paced {

constexpr int kAhead = 4000;  // lines booked ahead of the counter
std::atomic<long> gProcessed{0};
std::atomic<long> gOutOfOrder{0};
std::atomic<long> gCaughtUp{0};
int gLastLine = 0;  // the ejector thread's alone

void Book(int port, int line) {
  char command[40];
  std::snprintf(command, sizeof command, "EjectorLine %d 00000001 1", line);
  setProperty(0, port, command, 0);
}

// Every line carries a callback command; each callback checks the order and books the line
// kAhead further on, so that the whole run is covered by commands.
void OnLine(int, int port, const char*, const char* value) {
  const int line = std::atoi(value);
  if (line != (gLastLine + 1) % Ejector::kLines) ++gOutOfOrder;
  gLastLine = line;
  ++gProcessed;
  Book(port, (line + kAhead) % Ejector::kLines);
}

// Each catch-up pass logs its count of lines at level 1; their sum says how much of the run that was.
void OnLog(const char* text) {
  if (const char* pass = std::strstr(text, "postprocessing (")) gCaughtUp += std::atol(pass + 16);
}

// Reads the image on the wait thread, so that its chunks go back at once.
void OnImage(int, int port) {
  unsigned char row[16];
  for (int r = 0; r < 100; ++r) getCVLGrabRow(0, port, row, r, 0, 15);
}

// One second of counter steps at 100,000 per second: by a thread that steps the counter and calls
// Signal as the wait thread does (byHand), or by the virtual camera through the wait thread
// (chunks of two lines at 200,000 lines per second).
void Run(benchmark::State& run, bool byHand) {
  Camera* camera = byHand ? OpenEjectorCamera("FreeRunning=0\n", "Height=2\n")
                          : OpenEjectorCamera("FreeRunning=1\nLineRate=200000\n", "Height=100\nLineCounterResolution=2\n");
  Ejector* ejector = camera != nullptr ? camera->GetEjector() : nullptr;
  if (ejector == nullptr) {
    run.SkipWithError("the ejector did not start");
    return;
  }
  for (int line = 1; line <= kAhead; ++line) Book(0, line);
  gProcessed = 0;
  gOutOfOrder = 0;
  gCaughtUp = 0;
  gLastLine = 0;
  setCmdCallback(0, 0, &OnLine);
  setCompleteCallback(0, 0, &OnImage);
  setDebugMsgProc(&OnLog);
  LineCounterState& counter = camera->GetLineCounter();
  for (auto _ : run) {
    const int64_t start = daq::NowNs();
    double seconds = 0;
    if (byHand) {
      for (int step = 1; step <= kSteps; ++step) {
        const int64_t due = start + static_cast<int64_t>(step) * 10000;
        while (daq::NowNs() < due) {
        }
        ++counter.steps;
        counter.counter = step % Ejector::kLines;
        ejector->Signal();
      }
      seconds = static_cast<double>(daq::NowNs() - start) / 1e9;
    } else {
      setProperty(0, 0, "continuous", 1);
      std::this_thread::sleep_for(std::chrono::seconds(1));
      seconds = static_cast<double>(daq::NowNs() - start) / 1e9;  // the steps of the stop hardly count
      setProperty(0, 0, "continuous", 0);
    }
    // The last pass may still be under way.
    for (int i = 0; i < 1000 && gProcessed < counter.steps; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const long steps = static_cast<long>(counter.steps.load());
    run.counters["steps_per_s"] = static_cast<double>(steps) / seconds;
    run.counters["steps"] = static_cast<double>(steps);
    run.counters["lines_missing"] = static_cast<double>(steps - gProcessed);
    run.counters["out_of_order"] = static_cast<double>(gOutOfOrder);
    run.counters["caught_up"] = static_cast<double>(gCaughtUp);
    if (!byHand) run.counters["dropped_chunks"] = static_cast<double>(Pylon::Virtual::DroppedFrames(0));
  }
  setDebugMsgProc(nullptr);
  CloseEjectorCamera();
}

}  // namespace paced

void BM_Ejector_EveryLineOnce_100kStepsPerSecond(benchmark::State& run) { paced::Run(run, true); }
BENCHMARK(BM_Ejector_EveryLineOnce_100kStepsPerSecond)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Ejector_EveryLineOnce_CameraAt100kChunksPerSecond(benchmark::State& run) { paced::Run(run, false); }
BENCHMARK(BM_Ejector_EveryLineOnce_CameraAt100kChunksPerSecond)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
