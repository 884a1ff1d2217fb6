// The driver over real GigE Vision cameras, as a host meets it through the C interface: runs
// inside scripts/gev-loopback.sh beside three of the project's fake cameras on loopback,
//   21000031 raL2048-48gm (127.0.0.1), 21000032 ruL2098-10gc (127.0.0.2), 21000033 acA1300-30gm,
// whose frames carry the ramp: monochrome pixel (column + line) mod 256, RGB (column, line,
// column + line) mod 256, lines counted from the camera's start.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DriverLibrary.h"
#include "card/VirtualCard.h"

namespace {

const char* const kMono = "Basler raL2048-48gm (21000031)";
const char* const kColour = "Basler ruL2098-10gc (21000032)";

std::atomic<int> gCompleted[2];
// Set: the callback reads the whole image (as a streaming host does), which gives its buffer back.
DriverLibrary* gDriver = nullptr;
std::atomic<bool> gReadInCallback[2];
int gSize[2][2];
void OnComplete(int, int port) {
  if (port < 0 || port >= 2) return;
  if (gReadInCallback[port]) {
    std::vector<unsigned char> row(3 * static_cast<std::size_t>(gSize[port][0]));
    for (int r = 0; r < gSize[port][1]; ++r) gDriver->getCVLGrabRow(0, port, row.data(), r, 0, gSize[port][0] - 1);
  }
  ++gCompleted[port];
}

bool WaitFor(const std::atomic<int>& count, int atLeast, int ms = 5000) {
  for (int i = 0; i < ms / 5 && count < atLeast; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return count >= atLeast;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class GevCameras : public ::testing::Test {
 protected:
  void SetUp() override {
    gCompleted[0] = gCompleted[1] = 0;
    gReadInCallback[0] = gReadInCallback[1] = false;
    gDriver = &driver;
    HostLog::Calls().clear();
    systemPath = std::filesystem::temp_directory_path() /
                 (std::string("korvex-gev-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(systemPath);
    std::filesystem::create_directories(systemPath);
    unsetenv("KORVEX_DAQ");
    daq::ResetCards();
  }
  void TearDown() override { std::filesystem::remove_all(systemPath); }
  void Settings(const std::string& camera, const std::string& lines) {
    std::ofstream(systemPath / "Korvex.ini", std::ios::app) << "[" << camera << "]\n" << lines;
  }
  // Opens a camera on the port and starts its callbacks; fails the test with the log when it cannot.
  void Open(int port, const char* camera) {
    ASSERT_EQ(driver.openCVLPort(0, port, camera, size[port]), 1) << HostLog::Messages();
    gSize[port][0] = size[port][0];
    gSize[port][1] = size[port][1];
    driver.setCompleteCallback(0, port, &OnComplete);
  }
  // A single grab. A frame whose packets were lost on a loaded loopback brings no image (a failed
  // result): the host grabs again, up to three times.
  bool GrabOne(int port) {
    const int before = gCompleted[port];
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (driver.doCVLGrab(0, port) != 1) return false;
      if (WaitFor(gCompleted[port], before + 1, 1500)) return true;
    }
    return false;
  }
  std::vector<unsigned char> Row(int port, int row, int bytesPerPixel) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(size[port][0]) * bytesPerPixel);
    EXPECT_EQ(driver.getCVLGrabRow(0, port, pixels.data(), row, 0, size[port][0] - 1), 1) << "row " << row;
    return pixels;
  }
  // Every row of the port's image is the ramp: each pixel one more than its left neighbour and
  // than the pixel above it (mod 256), in the channel that carries column + line. Reading the
  // last row gives the image back; returns the first byte of row 0.
  int ExpectRamp(int port, int bytesPerPixel) {
    int first = -1, firstByte = -1;
    for (int r = 0; r < size[port][1]; ++r) {
      const std::vector<unsigned char> row = Row(port, r, bytesPerPixel);
      const int channel = bytesPerPixel == 3 ? 2 : 0;
      if (first < 0) first = row[channel], firstByte = row[0];
      EXPECT_EQ(row[channel], static_cast<unsigned char>(first + r)) << "row " << r;
      for (int i = 1; i < size[port][0]; ++i) {
        if (row[i * bytesPerPixel + channel] == static_cast<unsigned char>(row[channel] + i)) continue;
        ADD_FAILURE() << "row " << r << " pixel " << i;
        break;
      }
    }
    return firstByte;
  }

  DriverLibrary driver;
  std::filesystem::path systemPath;
  int size[2][2] = {{0, 0}, {0, 0}};
};

TEST_F(GevCameras, TheListShowsTheLineScanCamerasByTheirNamesAndSkipsAnotherModel) {
  ASSERT_EQ(driver.initialize(systemPath.c_str(), &HostLog::Proc), 1) << HostLog::Messages();
  std::vector<std::string> names;
  char** list = driver.getCVLCameraConfigNames();
  for (int n = 0; list != nullptr && list[n] != nullptr; ++n) names.push_back(list[n]);
  EXPECT_EQ(names, (std::vector<std::string>{kMono, kColour}));
  EXPECT_TRUE(HostLog::Contains("skips not supported camera: Basler acA1300-30gm#")) << HostLog::Messages();
  driver.finalize();
}

TEST_F(GevCameras, OpenAppliesTheSettingsAndPropertiesReachTheCamerasNodesWithTheirSelectors) {
  Settings(kMono, "Width=256\nHeight=32\nOffsetX=8\n");
  ASSERT_EQ(driver.initialize(systemPath.c_str(), &HostLog::Proc), 1);
  Open(0, kMono);
  EXPECT_EQ(size[0][0], 256);
  EXPECT_EQ(size[0][1], 32);
  int value = -1;
  ASSERT_EQ(driver.setProperty(0, 0, "GainRaw", 300), 1) << HostLog::Messages();
  EXPECT_EQ(driver.getProperty(0, 0, "GainRaw", &value), 1);
  EXPECT_EQ(value, 300);
  // Beyond the camera's maximum: refused, and the camera keeps its value.
  EXPECT_EQ(driver.setProperty(0, 0, "GainRaw", 5000), 0);
  EXPECT_EQ(driver.getProperty(0, 0, "GainRaw", &value), 1);
  EXPECT_EQ(value, 300);
  int minimum = 0, maximum = 0;
  EXPECT_EQ(driver.getPropertyRange(0, 0, "GainRaw", &minimum, &maximum), 1);
  EXPECT_EQ(maximum, 1023);
  // Features a selector selects appear once for each of its entries.
  EXPECT_EQ(driver.getProperty(0, 0, "Luminance_LUTEnable", &value), 1) << HostLog::Messages();
  EXPECT_EQ(driver.getProperty(0, 0, "Line2_LineStatus", &value), 1);
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

TEST_F(GevCameras, FrameGrabsDeliverTheCamerasImageRowByRowSingleAndContinuous) {
  Settings(kMono, "Width=256\nHeight=32\nOffsetX=8\n");
  Settings(kColour, "Width=128\nHeight=16\nOffsetX=8\n");
  ASSERT_EQ(driver.initialize(systemPath.c_str(), &HostLog::Proc), 1);
  Open(0, kMono);
  Open(1, kColour);
  ASSERT_TRUE(GrabOne(0)) << HostLog::Messages();
  ExpectRamp(0, 1);
  ASSERT_TRUE(GrabOne(1)) << HostLog::Messages();
  EXPECT_EQ(ExpectRamp(1, 3), 8) << "red is the sensor column: the image starts at OffsetX";
  ASSERT_EQ(driver.setProperty(0, 0, "continuous", 1), 1);
  for (int image = 2; image <= 4; ++image) {
    ASSERT_TRUE(WaitFor(gCompleted[0], image)) << HostLog::Messages();
    ExpectRamp(0, 1);
  }
  driver.setProperty(0, 0, "continuous", 0);
  driver.closeCVLPort(0, 0);
  driver.closeCVLPort(0, 1);
  EXPECT_EQ(driver.finalize(), 1);
}

TEST_F(GevCameras, LineCounterModeAssemblesChunksAndTheEjectorFollowsTheCounter) {
  Settings(kMono, "Width=64\nHeight=4\nLineGrabbingMode=1\nLineCounterResolution=2\nEjectorControl=1\n");
  ASSERT_EQ(driver.initialize(systemPath.c_str(), &HostLog::Proc), 1);
  Open(0, kMono);
  gReadInCallback[0] = true;
  daq::VirtualCard* card = daq::FindCard(0);
  ASSERT_NE(card, nullptr);
  // Two-line chunks at a pace that the sanitizer builds keep up with: none may be lost.
  ASSERT_EQ(driver.setProperty(0, 0, "AcquisitionLineRateAbs", 500), 1) << HostLog::Messages();
  ASSERT_EQ(driver.setProperty(0, 0, "EjectorLine 3 0000AA0F 1", 0), 1) << HostLog::Messages();
  ASSERT_EQ(driver.setProperty(0, 0, "continuous", 1), 1);
  ASSERT_TRUE(WaitFor(gCompleted[0], 6)) << HostLog::Messages();
  driver.setProperty(0, 0, "continuous", 0);
  for (int i = 0; i < 200 && card->History().size() < 12; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const std::vector<daq::PortWrite> writes = card->History();
  ASSERT_GE(writes.size(), 12u) << HostLog::Messages();
  // Line 3 carries the command on ports 0 and 1; every other line clears them.
  for (std::size_t i = 0; i < 12; ++i) {
    const int line = static_cast<int>(i / 4) + 1;
    const int expected = line == 3 ? (i % 4 == 0 ? 0x0F : i % 4 == 1 ? 0xAA : 0) : 0;
    EXPECT_EQ(writes[i].value, expected) << "line " << line << " port " << writes[i].port;
  }
  int lost = -1;
  EXPECT_EQ(driver.getProperty(0, 0, "LostChunks", &lost), 1);
  EXPECT_EQ(lost, 0);
  driver.closeCVLPort(0, 0);
  EXPECT_EQ(driver.finalize(), 1);
}

// Runs on its own (it kills a camera): the colour camera's process ends while both cameras grab,
// and comes back.
TEST_F(GevCameras, ACameraKilledMidGrabIsSurvivedClosesPromptlyAndOpensAgainOnceBack) {
  std::istringstream pids(std::getenv("KORVEX_GEV_PIDS") != nullptr ? std::getenv("KORVEX_GEV_PIDS") : "");
  pid_t mono = 0, colour = 0;
  pids >> mono >> colour;
  ASSERT_GT(colour, 0) << "KORVEX_GEV_PIDS names the cameras' processes";
  Settings(kMono, "Width=256\nHeight=32\n");
  Settings(kColour, "Width=128\nHeight=16\n");
  ASSERT_EQ(driver.initialize(systemPath.c_str(), &HostLog::Proc), 1);
  Open(0, kMono);
  Open(1, kColour);
  gReadInCallback[0] = gReadInCallback[1] = true;
  ASSERT_EQ(driver.setProperty(0, 0, "continuous", 1), 1);
  ASSERT_EQ(driver.setProperty(0, 1, "continuous", 1), 1);
  ASSERT_TRUE(WaitFor(gCompleted[1], 2)) << HostLog::Messages();
  ASSERT_EQ(kill(colour, SIGKILL), 0);
  const auto killed = std::chrono::steady_clock::now();
  for (int i = 0; i < 400 && !HostLog::Contains("dropped off the network"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_LT(SecondsSince(killed), 1.5) << "the removal is noticed within a second or so";
  EXPECT_TRUE(HostLog::Contains("Camera::DeviceRemoved: ERROR: camera " + std::string(kColour) + " on port 1"))
      << HostLog::Messages();
  // Every call on it now fails at once; the other camera grabs on.
  auto start = std::chrono::steady_clock::now();
  int value = -1;
  EXPECT_EQ(driver.getProperty(0, 1, "continuous", &value), 1);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(driver.setProperty(0, 1, "GainRaw", 10), 0);
  EXPECT_EQ(driver.doCVLGrab(0, 1), 0);
  EXPECT_LT(SecondsSince(start), 1.0);
  const int seen = gCompleted[0];
  EXPECT_TRUE(WaitFor(gCompleted[0], seen + 3)) << HostLog::Messages();
  start = std::chrono::steady_clock::now();
  driver.closeCVLPort(0, 1);
  EXPECT_LT(SecondsSince(start), 1.0);
  // Back on the network, it opens again and grabs.
  const char* launcher = std::getenv("KORVEX_GEV_LAUNCHER");
  ASSERT_NE(launcher, nullptr);
  const pid_t again = fork();
  if (again == 0) {
    execl(launcher, launcher, "--address", "127.0.0.2", "--serial", "21000032", "--model", "ruL2098-10gc",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  bool reopened = false;
  for (int i = 0; i < 40 && !reopened; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    reopened = driver.openCVLPort(0, 1, kColour, size[1]) == 1;
  }
  EXPECT_TRUE(reopened) << HostLog::Messages();
  if (reopened) {
    gReadInCallback[1] = false;
    EXPECT_TRUE(GrabOne(1)) << HostLog::Messages();
    driver.closeCVLPort(0, 1);
  }
  kill(again, SIGTERM);
  waitpid(again, nullptr, 0);
  driver.setProperty(0, 0, "continuous", 0);
  driver.closeCVLPort(0, 0);
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(driver.finalize(), 1);
  EXPECT_LT(SecondsSince(start), 1.0);
  // The driver starts again in the same process.
  ASSERT_EQ(driver.initialize(systemPath.c_str(), &HostLog::Proc), 1);
  char** list = driver.getCVLCameraConfigNames();
  ASSERT_NE(list, nullptr);
  EXPECT_STREQ(list[0], kMono);
  EXPECT_EQ(driver.finalize(), 1);
}

}  // namespace
