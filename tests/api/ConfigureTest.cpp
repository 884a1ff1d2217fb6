// configureCamera as a host calls it, on the headless window system: what it answers without a
// dialog module or a display, and OK replacing a camera's settings while the driver's threads use
// them (the sanitizer builds run this too).

#include <gmock/gmock.h>

#include <atomic>
#include <thread>

#include "GrabFixture.h"
#include "camera_sdk/VirtualControl.h"

namespace {

DriverLibrary* gDriver = nullptr;
std::atomic<int> gRows[2];
std::atomic<int> gImages[2];

// Reads every row of each image on the wait thread, as a host that inspects in the callback.
void ReadImage(int, int port) {
  std::vector<unsigned char> row(16 * 3);
  for (int r = 0; r < gRows[port]; ++r) gDriver->getCVLGrabRow(0, port, row.data(), r, 0, 15);
  ++gImages[port];
}

class ConfigureFromTheHost : public GrabFixture {
 protected:
  void SetUp() override {
    GrabFixture::SetUp();
    setenv("KORVEX_UI_MODULE", KORVEX_HEADLESS_UI_MODULE, 1);
    setenv("KORVEX_HEADLESS_ANSWER", "ok", 1);
    unsetenv("KORVEX_HEADLESS_DISPLAY");
    gDriver = &driver;
    for (int port = 0; port < 2; ++port) gImages[port] = 0;
  }
  void TearDown() override {
    unsetenv("KORVEX_UI_MODULE");
    unsetenv("KORVEX_HEADLESS_ANSWER");
    GrabFixture::TearDown();
  }
  std::string Ini() const {
    std::ifstream in(systemPath / "Korvex.ini");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
};

TEST_F(ConfigureFromTheHost, WithoutTheModuleOrADisplayItAnswersOneAndSaysWhyAndWithThemTheUsersAnswer) {
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  setenv("KORVEX_UI_MODULE", (systemPath / "no-such-module.so").string().c_str(), 1);
  EXPECT_EQ(driver.configureCamera(0, "Mono"), 1);
  EXPECT_TRUE(HostLog::Contains("Camera::Configure: ERROR: cannot show the dialog, the window-system module is missing: "))
      << HostLog::Messages();
  setenv("KORVEX_UI_MODULE", KORVEX_HEADLESS_UI_MODULE, 1);
  setenv("KORVEX_HEADLESS_DISPLAY", "0", 1);
  EXPECT_EQ(driver.configureCamera(0, "Mono"), 1);
  EXPECT_TRUE(HostLog::Contains("Camera::Configure: ERROR: cannot show the dialog, there is no display\n"));
  EXPECT_FALSE(std::filesystem::exists(systemPath / "Korvex.ini")) << "nothing changed";
  unsetenv("KORVEX_HEADLESS_DISPLAY");
  setenv("KORVEX_HEADLESS_ANSWER", "cancel", 1);
  EXPECT_EQ(driver.configureCamera(0, "Mono"), 1);
  setenv("KORVEX_HEADLESS_ANSWER", "ok", 1);
  EXPECT_EQ(driver.configureCamera(0, "Mono"), 0);
  EXPECT_THAT(Ini(), ::testing::HasSubstr("[Mono]\nWidth=512\n"));
  EXPECT_EQ(driver.configureCamera(0, "Nobody"), 0) << "no such camera";
  driver.finalize();
}

TEST_F(ConfigureFromTheHost, OkReplacesASetWhileItsCameraGrabsAndAnotherStreamsWithTheEjector) {
  Network("FreeRunning=1\nLineRate=20000\n", "FreeRunning=0\n");
  Settings("Mono", "Width=16\nHeight=8\nLineGrabbingMode=1\nLineCounterResolution=2\nEjectorControl=1\n");
  Settings("Colour", "Width=16\nHeight=4\nUseBGR=1\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int mono[2] = {0, 0}, colour[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", mono), 1) << HostLog::Messages();
  ASSERT_EQ(driver.openCVLPort(0, 1, "Colour", colour), 1) << HostLog::Messages();
  gRows[0] = mono[1];
  gRows[1] = colour[1];
  driver.setCompleteCallback(0, 0, &ReadImage);
  driver.setCompleteCallback(0, 1, &ReadImage);
  ASSERT_EQ(driver.setProperty(0, 0, "continuous", 1), 1);
  ASSERT_TRUE(WaitFor(gImages[0], 5)) << "the mono camera streams";

  // The colour camera grabs one frame after another on a host thread of its own.
  std::atomic<bool> stop{false};
  std::thread grabber([&] {
    while (!stop) {
      const int before = gImages[1];
      driver.doCVLGrab(0, 1);
      Pylon::Virtual::ProduceFrames(1, 1);
      WaitFor(gImages[1], before + 1, 500);
    }
  });
  for (int round = 0; round < 10; ++round) {
    EXPECT_EQ(driver.configureCamera(0, "Colour"), 0) << "confirmed while it grabs";
  }
  EXPECT_EQ(driver.configureCamera(0, "Mono"), 1) << "its continuous acquisition refuses the dialog";
  const int streamed = gImages[0];
  EXPECT_TRUE(WaitFor(gImages[0], streamed + 5)) << "the stream goes on";
  stop = true;
  grabber.join();
  EXPECT_GT(gImages[1], 0);
  EXPECT_THAT(Ini(), ::testing::HasSubstr("[Colour]\nWidth=16\nHeight=4\n"));
  driver.setProperty(0, 0, "continuous", 0);
  driver.closeCVLPort(0, 1);
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

}  // namespace
