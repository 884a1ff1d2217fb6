// Steady-state grabbing allocates nothing: every allocation through operator new in the process
// (the driver, the camera SDK and this host, on every thread) is counted while frames, chunks and
// rows flow. Built without sanitizers, which bring allocators of their own.

#include <execinfo.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "DriverLibrary.h"
#include "camera_sdk/VirtualControl.h"

namespace {

std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};
std::atomic<bool> gTraced{false};
std::atomic<std::size_t> gFailOnce{0};  // an allocation of this size fails, once

void* Allocate(std::size_t size) {
  std::size_t failing = size;
  if (size != 0 && gFailOnce.compare_exchange_strong(failing, 0)) throw std::bad_alloc();
  if (gCounting.load(std::memory_order_relaxed)) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    // The first offender's stack goes to stderr, so that a failure says where it came from.
    if (!gTraced.exchange(true)) {
      void* frames[32];
      backtrace_symbols_fd(frames, backtrace(frames, 32), 2);
    }
  }
  if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

std::atomic<int> gCompleted{0};
void OnComplete(int, int) { ++gCompleted; }
std::atomic<int> gLineCallbacks{0};
void OnCommand(int, int, const char*, const char*) { ++gLineCallbacks; }
std::mutex gMessageLock;
std::string gMessages;  // guarded by gMessageLock
void OnMessage(const char* text) {
  std::lock_guard<std::mutex> guard(gMessageLock);
  gMessages += text;
}

class SteadyStateAllocation : public ::testing::Test {
 protected:
  void SetUp() override {
    systemPath = std::filesystem::temp_directory_path() /
                 (std::string("korvex-alloc-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(systemPath);
    std::filesystem::create_directories(systemPath);
    const std::string network = (systemPath / "network.ini").string();
    std::ofstream(network) << "[mono]\nFullName=Basler raL2048-48gm#1\nFriendlyName=Mono\nPattern=ramp\n"
                           << "FreeRunning=0\nMaxHeight=100000\n";
    setenv("KORVEX_CAMERAS", network.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("KORVEX_CAMERAS");
    std::filesystem::remove_all(systemPath);
  }

  // Opens the camera with `settings`, grabs continuously, produces `warmUp` frames that only the
  // first image's overlap takes, then reads `images` whole images of `framesPerImage` camera frames
  // each, calling `perImage` after each; returns the allocations counted over the last half.
  long AllocationsWhileGrabbing(const char* settings, int warmUp, int framesPerImage, int images,
                                void (*perImage)(DriverLibrary&, int image) = nullptr) {
    std::ofstream(systemPath / "Korvex.ini") << "[Mono]\n" << settings;
    EXPECT_EQ(driver.initialize(systemPath.c_str(), nullptr), 1);
    int size[2] = {0, 0};
    EXPECT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1);
    driver.setCompleteCallback(0, 0, &OnComplete);
    driver.setCmdCallback(0, 0, &OnCommand);
    driver.setProperty(0, 0, "continuous", 1);
    std::vector<unsigned char> row(static_cast<std::size_t>(size[0]));
    gCompleted = 0;
    Pylon::Virtual::ProduceFrames(0, warmUp);
    for (int image = 0; image < images; ++image) {
      if (image == images / 2) gCounting = true;
      Pylon::Virtual::ProduceFrames(0, framesPerImage);
      for (int i = 0; i < 2000 && gCompleted <= image; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      for (int r = 0; r < size[1]; ++r) driver.getCVLGrabRow(0, 0, row.data(), r, 0, size[0] - 1);
      if (perImage != nullptr) perImage(driver, image);
    }
    gCounting = false;
    EXPECT_GE(gCompleted, images);
    driver.closeCVLPort(0, 0);
    driver.finalize();
    return gAllocations;
  }

  DriverLibrary driver;
  std::filesystem::path systemPath;
};

TEST_F(SteadyStateAllocation, FrameModeWithOverlap) {
  EXPECT_EQ(AllocationsWhileGrabbing("Width=2048\nHeight=64\nOverlappedLines=8\n", 1, 1, 40), 0);
}

TEST_F(SteadyStateAllocation, LineCounterModeChunksAndRows) {
  EXPECT_EQ(AllocationsWhileGrabbing("Width=2048\nHeight=400\nOverlappedLines=100\nLineGrabbingMode=1\n"
                                     "LineCounterResolution=100\nDelay=0\nEmbedTimeStamp=1\n",
                                     1, 4, 40),
            0);
}

// The ejector's lines (four port writes each, a callback for some), the host's line commands and
// its card commands, all while chunks flow.
TEST_F(SteadyStateAllocation, LineCounterModeWithTheEjectorLineAndCardCommands) {
  gLineCallbacks = 0;
  const long allocations = AllocationsWhileGrabbing(
      "Width=2048\nHeight=400\nLineGrabbingMode=1\nLineCounterResolution=100\nDelay=0\nEjectorControl=1\n", 0, 4,
      40, [](DriverLibrary& driver, int image) {
        char command[40];
        std::snprintf(command, sizeof command, "EjectorLine %d 0000AA0F 1 000000FF", image * 4 + 6);
        driver.setProperty(0, 0, command, 0);
        char result[8];
        driver.execCmd(0, 0, "writebyte", image % 2 ? "dio3=1" : "dio3=0", result, sizeof result);
        driver.execCmd(0, 0, "readbit", "dio3.0", result, sizeof result);
        driver.execCmd(0, 0, "readbyte", "di0", result, sizeof result);
      });
  EXPECT_EQ(allocations, 0);
  EXPECT_GE(gLineCallbacks, 30) << "the booked lines were processed";
}

// An allocation that fails while the camera opens fails the open with its line, not the host.
TEST_F(SteadyStateAllocation, AFailedAllocationOfTheSubstituteRowFailsTheOpen) {
  std::ofstream(systemPath / "Korvex.ini") << "[General]\nLogLevel=1\n[Mono]\nWidth=1234\nHeight=8\n";
  gMessages.clear();
  ASSERT_EQ(driver.initialize(systemPath.c_str(), &OnMessage), 1);
  gFailOnce = 1234 * 3;  // the substitute row: three bytes a pixel, colour or not
  int size[2] = {0, 0};
  EXPECT_EQ(driver.openCVLPort(0, 0, "Mono", size), 0);
  gFailOnce = 0;
  {
    std::lock_guard<std::mutex> guard(gMessageLock);
    EXPECT_NE(gMessages.find(" ImageBuffers::Init: ERROR: could iosu buffer substitute\n"), std::string::npos)
        << gMessages;
  }
  EXPECT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1) << "the next open works";
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

}  // namespace
