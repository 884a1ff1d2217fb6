// A production host's threads through the C interface: closes while a callback reads rows, settings
// used while the dialog is confirmed, ejector cameras opened and closed at once, callbacks that
// re-enter the driver, stray calls before and after the driver runs, unloading and exiting without
// finalize. Each scenario once crashed the host or lost its images.

#include <gmock/gmock.h>
#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "GrabFixture.h"
#include "camera_sdk/VirtualControl.h"
#include "card/VirtualCard.h"

namespace {

using Clock = std::chrono::steady_clock;

DriverLibrary* gDriver = nullptr;
std::atomic<int> gWidth{0};
std::atomic<int> gRows{0};

bool WaitUntil(const std::atomic<bool>& flag, int ms = 5000) {
  for (int i = 0; i < ms && !flag; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return flag;
}

class HostThreads : public GrabFixture {
 protected:
  void SetUp() override {
    GrabFixture::SetUp();
    unsetenv("KORVEX_DAQ");
    daq::ResetCards();
    gDriver = &driver;
  }
  int Open(int port, const char* name) {
    int size[2] = {0, 0};
    const int opened = driver.openCVLPort(0, port, name, size);
    if (opened == 1) {
      gWidth = size[0];
      gRows = size[1];
    }
    return opened;
  }
};

// ---- a close while the completion callback reads rows ------------------------------------------

std::atomic<bool> gInCallback{false};
std::atomic<bool> gClosed{false};
std::atomic<bool> gCallbackSawClose{false};
std::atomic<int> gRowsReadBeforeClose{0};
std::atomic<int> gRowsReadAfterClose{0};

// Reads a quarter of the image, lets the host close the port, goes on reading while the close runs,
// then waits for the close to have returned and tries the rest.
void ReadRowsAcrossTheClose(int, int port) {
  std::vector<unsigned char> row(static_cast<std::size_t>(gWidth) * 3);
  int r = 0;
  for (; r < gRows / 4; ++r) {
    if (gDriver->getCVLGrabRow(0, port, row.data(), r, 0, gWidth - 1) == 1) ++gRowsReadBeforeClose;
  }
  gInCallback = true;
  for (; r < gRows / 2; ++r) gDriver->getCVLGrabRow(0, port, row.data(), r, 0, gWidth - 1);
  // A close that waited for this callback would never let the flag come.
  gCallbackSawClose = WaitUntil(gClosed);
  for (; r < gRows; ++r) {
    if (gDriver->getCVLGrabRow(0, port, row.data(), r, 0, gWidth - 1) == 1) ++gRowsReadAfterClose;
  }
}

struct ClosingMode {
  const char* name;
  const char* camera;
  int number;  // the camera's number on the virtual network
  const char* settings;
  int chunks;  // camera frames to one host image
};

class ClosingDuringTheCallback : public HostThreads, public ::testing::WithParamInterface<ClosingMode> {};

TEST_P(ClosingDuringTheCallback, NeitherWaitsForTheCallbackNorFreesTheRowsItReads) {
  Settings(GetParam().camera, GetParam().settings);
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  ASSERT_EQ(Open(0, GetParam().camera), 1) << HostLog::Messages();
  gInCallback = gClosed = gCallbackSawClose = false;
  gRowsReadBeforeClose = gRowsReadAfterClose = 0;
  driver.setCompleteCallback(0, 0, &ReadRowsAcrossTheClose);
  ASSERT_EQ(driver.doCVLGrab(0, 0), 1);
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(GetParam().number, GetParam().chunks), GetParam().chunks);
  const auto giveUp = Clock::now() + std::chrono::seconds(5);
  while (!gInCallback && Clock::now() < giveUp) {
  }
  ASSERT_TRUE(gInCallback);
  driver.closeCVLPort(0, 0);  // while the callback copies rows
  gClosed = true;
  driver.finalize();  // waits for the callback on the wait thread
  EXPECT_TRUE(gCallbackSawClose) << "the close returned while the callback ran";
  EXPECT_EQ(gRowsReadBeforeClose, gRows / 4);
  EXPECT_EQ(gRowsReadAfterClose, 0) << "rows of a closed camera are refused";
  EXPECT_TRUE(HostLog::Contains("CameraList::GetByPort: ERROR: could not find camera on port 0\n"))
      << HostLog::Messages();
}

INSTANTIATE_TEST_SUITE_P(
    SingleGrabs, ClosingDuringTheCallback,
    // The frame is read with decimation, pixel by pixel, so that the close lands inside a copy.
    ::testing::Values(ClosingMode{"Frame", "Colour", 1, "Width=2098\nHeight=2000\nUseDecimation=1\nDecimation=1\n", 1},
                      ClosingMode{"LineCounter", "Mono", 0,
                                  "Width=2048\nHeight=400\nLineGrabbingMode=1\nLineCounterResolution=100\n", 4}),
    [](const ::testing::TestParamInfo<ClosingMode>& info) { return std::string(info.param.name); });

// ---- settings in use while the dialog is confirmed ----------------------------------------------

TEST_F(HostThreads, PropertiesStayUsableWhileAnotherThreadConfirmsTheDialogAgainAndAgain) {
  setenv("KORVEX_UI_MODULE", KORVEX_HEADLESS_UI_MODULE, 1);
  setenv("KORVEX_HEADLESS_ANSWER", "ok", 1);
  Settings("Mono", "Width=16\nHeight=4\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  ASSERT_EQ(Open(0, "Mono"), 1) << HostLog::Messages();
  std::atomic<bool> stop{false};
  std::atomic<int> failed{0};
  std::atomic<int> calls{0};
  std::thread inspection([&] {
    for (int exposure = 100; !stop; exposure = exposure == 100 ? 200 : 100) {
      int gain = -1;
      if (driver.getProperty(0, 0, "Gain", &gain) != 1) ++failed;
      if (driver.setProperty(0, 0, "Exposure", exposure) != 1) ++failed;
      ++calls;
    }
  });
  for (int round = 0; round < 50; ++round) EXPECT_EQ(driver.configureCamera(0, "Mono"), 0) << "confirmed";
  stop = true;
  inspection.join();
  EXPECT_EQ(failed, 0) << HostLog::Messages();
  EXPECT_GT(calls, 0);
  driver.closeCVLPort(0, 0);
  driver.finalize();
  unsetenv("KORVEX_UI_MODULE");
  unsetenv("KORVEX_HEADLESS_ANSWER");
}

// ---- ejector cameras opened and closed on several threads ---------------------------------------

const char* const kEjectorCamera = "Width=16\nHeight=2\nLineGrabbingMode=1\nLineCounterResolution=2\nEjectorControl=1\n";

std::string WriteByte(DriverLibrary& driver, int port) {
  char result[32] = "";
  driver.execCmd(0, port, "writebyte", "dio0=5", result, sizeof result);
  return result;
}

TEST_F(HostThreads, TwoEjectorCamerasOpenedAtOnceShareOneEjector) {
  Settings("Mono", kEjectorCamera);
  Settings("Colour", kEjectorCamera);
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  for (int round = 0; round < 5; ++round) {
    std::atomic<int> opened{0};
    std::thread mono([&] { opened += Open(0, "Mono"); });
    std::thread colour([&] { opened += Open(1, "Colour"); });
    mono.join();
    colour.join();
    ASSERT_EQ(opened, 2) << HostLog::Messages();
    // One of them controls the ejector; its card answers.
    const std::string answers = WriteByte(driver, 0) + WriteByte(driver, 1);
    EXPECT_THAT(answers, ::testing::HasSubstr("ok"));
    driver.closeCVLPort(0, 0);
    driver.closeCVLPort(0, 1);
  }
  driver.finalize();
}

TEST_F(HostThreads, ClosingTheEjectorCameraWhileAnotherOpensLeavesTheNewOneAWorkingEjector) {
  Settings("Mono", kEjectorCamera);
  Settings("Colour", kEjectorCamera);
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  for (int round = 0; round < 5; ++round) {
    ASSERT_EQ(Open(0, "Mono"), 1) << HostLog::Messages();
    std::thread closer([&] { driver.closeCVLPort(0, 0); });
    std::thread opener([&] { EXPECT_EQ(Open(1, "Colour"), 1); });
    closer.join();
    opener.join();
    EXPECT_EQ(WriteByte(driver, 1), "ok") << HostLog::Messages();
    driver.closeCVLPort(0, 1);
  }
  driver.finalize();
}

std::atomic<int> gOpenFromCallback{-1};
void OpenAnotherEjectorCamera(int, int, const char*, const char*) {
  if (gOpenFromCallback >= 0) return;
  int size[2] = {0, 0};
  gOpenFromCallback = gDriver->openCVLPort(0, 1, "Colour", size);
}

TEST_F(HostThreads, AFailingOpenOfAnEjectorCameraFromACommandCallbackLeavesTheProcessRunning) {
  Network("FreeRunning=0\n", "FreeRunning=0\nPayloadPadding=16\n");
  Settings("Mono", kEjectorCamera);
  Settings("Colour", kEjectorCamera);
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  ASSERT_EQ(Open(0, "Mono"), 1) << HostLog::Messages();
  gOpenFromCallback = -1;
  driver.setCmdCallback(0, 0, &OpenAnotherEjectorCamera);
  driver.setProperty(0, 0, "EjectorLine 1 00000001 1", 0);
  driver.setProperty(0, 0, "continuous", 1);
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 1), 1);
  for (int i = 0; i < 1000 && gOpenFromCallback < 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(gOpenFromCallback, 0);
  EXPECT_TRUE(HostLog::Contains("Ejector::DestroyInstance: ERROR: refused on the ejector's own thread (a command "
                                "callback)\n"))
      << HostLog::Messages();
  driver.closeCVLPort(0, 0);
  EXPECT_EQ(driver.finalize(), 1);
}

// The ejector far behind on a card that takes 10 ms a write: the close stops its catch-up between
// two lines instead of writing the rest first.
void ReadImage(int, int port) {
  unsigned char row[16];
  for (int r = 0; r < gRows; ++r) gDriver->getCVLGrabRow(0, port, row, r, 0, 15);
}

void ReadImageAndCount(int grabber, int port) {
  ReadImage(grabber, port);
  GrabFixture::OnComplete(grabber, port);
}

TEST_F(HostThreads, ClosingTheEjectorCameraBehindASlowCardReturnsAtOnce) {
  Settings("Mono", kEjectorCamera);
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  ASSERT_EQ(Open(0, "Mono"), 1) << HostLog::Messages();
  daq::VirtualCard* card = daq::FindCard(0);
  ASSERT_NE(card, nullptr);
  card->SetWriteDelayUs(10000);
  driver.setCompleteCallback(0, 0, &ReadImageAndCount);
  driver.setProperty(0, 0, "continuous", 1);
  // Hundreds of counter steps, one chunk each, far faster than the card: seconds of writes behind.
  for (int chunk = 0; chunk < 300; ++chunk) {
    ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 1), 1);
    ASSERT_TRUE(WaitForCallbacks(chunk + 1));
  }
  // Closed once the ejector is inside a catch-up of a hundred lines or more: four seconds of writes.
  const auto longestCatchUp = [] {
    int longest = 0;
    const std::string log = HostLog::Messages();
    const std::string mark = "Ejector::ProcessLine: WARNING: postprocessing (";
    for (std::size_t at = log.find(mark); at != std::string::npos; at = log.find(mark, at + 1)) {
      longest = std::max(longest, std::atoi(log.c_str() + at + mark.size()));
    }
    return longest;
  };
  for (int i = 0; i < 2000 && longestCatchUp() < 100; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_GE(longestCatchUp(), 100) << HostLog::Messages();
  const auto start = Clock::now();
  driver.closeCVLPort(0, 0);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_LT(took, 1500) << "the close waited for the catch-up";
  const std::size_t written = card->History().size();
  EXPECT_LT(written, 4u * 200) << "the catch-up stopped";
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(card->History().size(), written) << "no write after the close";
  card->SetWriteDelayUs(0);
  driver.finalize();
}

// ---- ports ---------------------------------------------------------------------------------------

TEST_F(HostThreads, PortsOutsideTheHostsRangeAreRefused) {
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  for (int port : {-1, 20}) {
    int size[2] = {7, 7};
    EXPECT_EQ(driver.openCVLPort(0, port, "Mono", size), 0);
    EXPECT_EQ(size[0], 0);
    EXPECT_TRUE(HostLog::Contains("openCVLPort: ERROR: port out of range 0..19, grabberNo=0, portNo=" +
                                  std::to_string(port) + ", cameraName=Mono\n"))
        << HostLog::Messages();
    int value = 0;
    EXPECT_EQ(driver.getProperty(0, port, "Gain", &value), 0);
    EXPECT_EQ(driver.setProperty(0, port, "Gain", 1), 0);
    EXPECT_EQ(driver.doCVLGrab(0, port), 0);
    char result[16] = "";
    EXPECT_EQ(driver.execCmd(0, port, "readbyte", "di0", result, sizeof result), 0);
    EXPECT_STREQ(result, "error");
    EXPECT_TRUE(HostLog::Contains("CameraList::GetByPort: ERROR: port " + std::to_string(port) +
                                  " is out of range 0..19\n"));
  }
  EXPECT_EQ(driver.getCVLMaxNoOfPorts(), 20);
  driver.finalize();
}

TEST_F(HostThreads, AFailedOpenLeavesItsPortFreeForTheNextCamera) {
  Network("FreeRunning=0\nPayloadPadding=16\n", "FreeRunning=0\n");
  Settings("Mono", "Width=16\nHeight=4\n");
  Settings("Colour", "Width=16\nHeight=4\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  EXPECT_EQ(Open(0, "Mono"), 0);
  ASSERT_EQ(Open(0, "Colour"), 1) << HostLog::Messages();
  int pixelSize = 0;
  EXPECT_EQ(driver.getProperty(0, 0, "PixelSize", &pixelSize), 1);
  EXPECT_EQ(pixelSize, 24) << "the colour camera answers on port 0";
  driver.setCompleteCallback(0, 0, &GrabFixture::OnComplete);
  EXPECT_EQ(driver.doCVLGrab(0, 0), 1);
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(1, 1), 1);
  EXPECT_TRUE(WaitForCallbacks(1));
  EXPECT_FALSE(HostLog::Contains("but the camera is closed"));
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

// ---- the driver's life ---------------------------------------------------------------------------

TEST_F(HostThreads, StrayCallsBeforeAndAfterTheDriverRunsFailAndUnloadingIsSafe) {
  for (int round = 0; round < 2; ++round) {
    int size[2] = {0, 0};
    EXPECT_EQ(driver.openCVLPort(0, 0, "Mono", size), 0);
    EXPECT_EQ(driver.configureCamera(0, "Mono"), 0) << "no such camera";
    int value = 0;
    EXPECT_EQ(driver.getProperty(0, 0, "Gain", &value), 0);
    EXPECT_EQ(driver.getCVLNoOfSupportedCameras(), 0);
    EXPECT_EQ(driver.getCVLCameraConfigNames()[0], nullptr);
    if (round == 0) {
      ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
      EXPECT_EQ(driver.getCVLNoOfSupportedCameras(), 2);
      ASSERT_EQ(driver.finalize(), 1);
    }
  }
  EXPECT_TRUE(HostLog::Contains("openCVLPort: ERROR: cannot find camera by name:Mono\n"));
  // Only the initialize made a camera list, with its wait thread.
  const std::string traced = debugOutput.Read();
  std::size_t threads = 0;
  for (std::size_t at = traced.find("thread created"); at != std::string::npos; at = traced.find("thread created", at + 1)) {
    ++threads;
  }
  EXPECT_EQ(threads, 1u) << traced;
  driver.library.Close();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

TEST_F(HostThreads, FinalizeWaitsForCallsInFlightOnOtherThreadsAndLaterCallsFail) {
  setenv("KORVEX_UI_MODULE", KORVEX_HEADLESS_UI_MODULE, 1);
  setenv("KORVEX_HEADLESS_ANSWER", "ok", 1);
  Network("FreeRunning=1\nLineRate=100000\n", "FreeRunning=0\n");
  Settings("Mono", "Width=16\nHeight=8\nLineGrabbingMode=1\nLineCounterResolution=2\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  ASSERT_EQ(Open(0, "Mono"), 1);
  driver.setCompleteCallback(0, 0, &ReadImage);
  driver.setProperty(0, 0, "continuous", 1);
  std::atomic<bool> stop{false};
  std::atomic<bool> finalized{false};
  std::atomic<int> succeededAfter{0};
  std::vector<std::thread> hosts;
  // Calls that hold a camera for a while: its dialog, its open and close.
  hosts.emplace_back([&] {
    while (!stop) driver.configureCamera(0, "Colour");
  });
  hosts.emplace_back([&] {
    while (!stop) {
      int size[2];
      driver.openCVLPort(0, 1, "Colour", size);
      driver.closeCVLPort(0, 1);
    }
  });
  for (int t = 0; t < 3; ++t) {
    hosts.emplace_back([&] {
      while (!stop) {
        const bool after = finalized;
        int value = 0;
        char result[16];
        unsigned char row[16];
        int ok = driver.getProperty(0, 0, "Gain", &value);
        ok += driver.getCVLGrabRow(0, 0, row, 0, 0, 15);
        ok += driver.execCmd(0, 0, "readbyte", "di0", result, sizeof result);
        ok += driver.getCVLNoOfSupportedCameras();
        ok += driver.getCVLCameraConfigNames()[0] != nullptr ? 1 : 0;
        if (after && ok != 0) ++succeededAfter;
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(driver.finalize(), 1);
  finalized = true;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  stop = true;
  for (std::thread& host : hosts) host.join();
  EXPECT_EQ(succeededAfter, 0);
  unsetenv("KORVEX_UI_MODULE");
  unsetenv("KORVEX_HEADLESS_ANSWER");
}

// A host that exits, or unloads the driver, while a camera streams with the ejector: the driver's
// threads end before what they use goes. (The exit runs in a child made by fork: Linux only.)
#if !defined(_WIN32)
TEST_F(HostThreads, ExitingWithoutFinalizeWhileTheEjectorRunsEndsCleanly) {
  Network("FreeRunning=1\nLineRate=100000\n", "FreeRunning=0\n");
  Settings("Mono", kEjectorCamera);
  for (int run = 0; run < 5; ++run) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (driver.initialize(systemPath.c_str(), nullptr) != 1 || Open(0, "Mono") != 1) _exit(3);
      driver.setCompleteCallback(0, 0, &ReadImage);
      driver.setProperty(0, 0, "continuous", 1);
      std::this_thread::sleep_for(std::chrono::milliseconds(20 + 10 * run));
      std::exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
}
#endif

// (Windows keeps a started driver's DLL loaded instead: it cannot stop threads while unloaded.)
#if !defined(_WIN32)
TEST_F(HostThreads, UnloadingTheDriverWhileTheEjectorRunsStopsItFirst) {
  Network("FreeRunning=1\nLineRate=100000\n", "FreeRunning=0\n");
  Settings("Mono", kEjectorCamera);
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  ASSERT_EQ(Open(0, "Mono"), 1) << HostLog::Messages();
  driver.setCompleteCallback(0, 0, &ReadImage);
  driver.setProperty(0, 0, "continuous", 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  driver.library.Close();
  EXPECT_TRUE(HostLog::Contains("finalize: WARNING: the process ends or unloads the driver without finalize"));
  EXPECT_EQ(Pylon::Virtual::IsAcquiring(0), false);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
}
#endif

}  // namespace
