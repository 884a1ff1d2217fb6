// Single grabs, as a host that calls doCVLGrab for every image: the frame rate it gets beside the
// camera's own, line-counter grabs back to back (does every one bring its image?), and a camera
// streaming line-counter chunks while the host single-grabs another (lost chunks beside the same
// stream with the other camera idle).

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "KorvexEjector.h"
#include "camera_sdk/VirtualControl.h"

namespace {

std::atomic<int> gImages[2];
int gRows[2] = {0, 0};
int gWidth[2] = {0, 0};

// Reads every image whole, on the wait thread.
void ReadImage(int, int port) {
  std::vector<unsigned char> row(static_cast<std::size_t>(gWidth[port]) * 3);
  for (int r = 0; r < gRows[port]; ++r) getCVLGrabRow(0, port, row.data(), r, 0, gWidth[port] - 1);
  ++gImages[port];
}

bool WaitForImage(int port, int count, int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (gImages[port] < count) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  return true;
}

// Two free-running cameras: "Mono" on port 0 and "Colour" on port 1, with their settings.
void StartDriver(const std::string& mono, const std::string& colour, const std::string& monoSettings,
                 const std::string& colourSettings) {
  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "korvex-bench-single";
  std::filesystem::remove_all(directory);
  std::filesystem::create_directories(directory);
  std::ofstream(directory / "network.ini")
      << "[mono]\nFullName=Basler raL2048-48gm#1\nFriendlyName=Mono\nPattern=none\n" << mono
      << "[colour]\nFullName=Basler ruL2098-10gc#2\nFriendlyName=Colour\nColor=1\nPattern=none\n" << colour;
  std::ofstream(directory / "Korvex.ini") << "[Mono]\n" << monoSettings << "[Colour]\n" << colourSettings;
  setenv("KORVEX_CAMERAS", (directory / "network.ini").c_str(), 1);
  unsetenv("KORVEX_DAQ");
  initialize(directory.c_str(), nullptr);
  const char* names[] = {"Mono", "Colour"};
  for (int port = 0; port < 2; ++port) {
    int size[2] = {0, 0};
    openCVLPort(0, port, names[port], size);
    gWidth[port] = size[0];
    gRows[port] = size[1];
    gImages[port] = 0;
    setCompleteCallback(0, port, &ReadImage);
  }
}

void StopDriver() {
  closeCVLPort(0, 0);
  closeCVLPort(0, 1);
  finalize();
  unsetenv("KORVEX_CAMERAS");
}

// 512-line frames at 48,000 lines/s: 93.75 frames a second from the camera.
void BM_SingleFrameGrabs_48kLinesPerSecond(benchmark::State& run) {
  StartDriver("LineRate=48000\n", "FreeRunning=0\n", "Width=2048\nHeight=512\n", "Width=16\nHeight=4\n");
  const double cameraRate = 48000.0 / 512;
  int grabbed = 0;
  double seconds = 0;
  for (auto _ : run) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) {
      const int before = gImages[0];
      if (doCVLGrab(0, 0) != 1 || !WaitForImage(0, before + 1, 2000)) break;
      ++grabbed;
    }
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  StopDriver();
  run.counters["frames_per_s"] = seconds > 0 ? grabbed / seconds : 0;
  run.counters["camera_frames_per_s"] = cameraRate;
  run.counters["ratio"] = seconds > 0 ? grabbed / seconds / cameraRate : 0;
}
BENCHMARK(BM_SingleFrameGrabs_48kLinesPerSecond)->Iterations(1)->Unit(benchmark::kMillisecond);

// Line-counter single grabs, each issued as soon as the image before it is read.
void BM_LineCounterGrabsBackToBack(benchmark::State& run) {
  StartDriver("LineRate=20000\n", "FreeRunning=0\n",
              "Width=64\nHeight=8\nLineGrabbingMode=1\nLineCounterResolution=2\n", "Width=16\nHeight=4\n");
  int brought = 0, grabs = 0;
  for (auto _ : run) {
    for (int i = 0; i < 1000; ++i) {
      const int before = gImages[0];
      ++grabs;
      if (doCVLGrab(0, 0) == 1 && WaitForImage(0, before + 1, 1000)) ++brought;
    }
  }
  StopDriver();
  run.counters["grabs"] = grabs;
  run.counters["images"] = brought;
}
BENCHMARK(BM_LineCounterGrabsBackToBack)->Iterations(1)->Unit(benchmark::kMillisecond);

// The colour camera streams chunks of 64 lines at 20,000 lines/s (continuous, read whole) for two
// seconds while the host single-grabs the mono camera as fast as it can (argument 1) or leaves it
// idle (argument 0, the baseline).
void BM_TwoCameras_StreamWhileTheOtherSingleGrabs(benchmark::State& run) {
  const bool grabbing = run.range(0) != 0;
  StartDriver("LineRate=48000\n", "LineRate=20000\n", "Width=2048\nHeight=512\n",
              "Width=64\nHeight=512\nLineGrabbingMode=1\nLineCounterResolution=64\n");
  int64_t lost = 0, offered = 0;
  int singles = 0;
  for (auto _ : run) {
    setProperty(0, 1, "continuous", 1);
    const int64_t droppedBefore = Pylon::Virtual::DroppedFrames(1);
    const int64_t linesBefore = Pylon::Virtual::LinesAcquired(1);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < until) {
      if (!grabbing) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        continue;
      }
      const int before = gImages[0];
      if (doCVLGrab(0, 0) == 1 && WaitForImage(0, before + 1, 2000)) ++singles;
    }
    lost += Pylon::Virtual::DroppedFrames(1) - droppedBefore;
    offered += (Pylon::Virtual::LinesAcquired(1) - linesBefore) / 64;
    setProperty(0, 1, "continuous", 0);
  }
  StopDriver();
  run.counters["streamed_chunks"] = static_cast<double>(offered);
  run.counters["lost_chunks"] = static_cast<double>(lost);
  run.counters["single_grabs"] = singles;
}
BENCHMARK(BM_TwoCameras_StreamWhileTheOtherSingleGrabs)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
