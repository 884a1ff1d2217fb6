// Failures a host must learn of through the C interface: an acquisition that does not start, a value
// the camera or the driver refuses, settings that could not be stored, a lookup table that cannot be
// read, a geometry that cannot stream, and a command for a line the ejector has already handled.

#include <gmock/gmock.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "GrabFixture.h"
#include "camera_sdk/VirtualControl.h"
#include "card/VirtualCard.h"

namespace {

class FailuresReachTheHost : public GrabFixture {
 protected:
  int Open(int port, const char* name) {
    int size[2] = {0, 0};
    const int opened = driver.openCVLPort(0, port, name, size);
    rows = size[1];
    return opened;
  }
  int rows = 0;
};

TEST_F(FailuresReachTheHost, AnAcquisitionThatDoesNotStartFailsTheGrabAndTheContinuousSwitch) {
  Settings("Mono", "Width=16\nHeight=4\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  ASSERT_EQ(Open(0, "Mono"), 1) << HostLog::Messages();
  ASSERT_TRUE(Pylon::Virtual::SetNodeFailure(0, "AcquisitionStart", "acquisition unit broken"));
  EXPECT_EQ(driver.doCVLGrab(0, 0), 0);
  EXPECT_EQ(driver.setProperty(0, 0, "continuous", 1), 0);
  int continuous = -1;
  ASSERT_EQ(driver.getProperty(0, 0, "continuous", &continuous), 1);
  EXPECT_EQ(continuous, 0);
  Pylon::Virtual::SetNodeFailure(0, "AcquisitionStart", nullptr);
  driver.setCompleteCallback(0, 0, &GrabFixture::OnComplete);
  EXPECT_EQ(driver.doCVLGrab(0, 0), 1);
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 1), 1);
  EXPECT_TRUE(WaitForCallbacks(1));
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

TEST_F(FailuresReachTheHost, RefusedValuesAreReportedAndChangeNothing) {
  Settings("Mono", "Width=16\nHeight=4\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  ASSERT_EQ(Open(0, "Mono"), 1) << HostLog::Messages();
  int gain = 0;
  ASSERT_EQ(driver.getProperty(0, 0, "Gain", &gain), 1);
  EXPECT_EQ(driver.setProperty(0, 0, "Gain", 99999), 0) << "beyond the camera's range";
  int after = -1;
  ASSERT_EQ(driver.getProperty(0, 0, "Gain", &after), 1);
  EXPECT_EQ(after, gain) << "what the camera holds";
  EXPECT_EQ(driver.setProperty(0, 0, "FrameTriggerMode", 7), 0) << "no such entry";
  EXPECT_TRUE(HostLog::Contains("Camera::SetProperty: ERROR: FrameStart_TriggerMode has no entry of the value 7, not set\n"))
      << HostLog::Messages();

  // A driver parameter outside its range would fail every later open.
  EXPECT_EQ(driver.setProperty(0, 0, "Width", 30000), 0);
  EXPECT_TRUE(HostLog::Contains("Camera::SetProperty: ERROR: 30000 is out of the range 1..2048 of Width, not set\n"));
  EXPECT_EQ(driver.setProperty(0, 0, "OverlappedLines", 2147483647), 0);
  driver.closeCVLPort(0, 0);
  EXPECT_EQ(Open(0, "Mono"), 1) << HostLog::Messages();
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

TEST_F(FailuresReachTheHost, SettingsThatCannotBeStoredMakeTheDialogAnswerOne) {
  setenv("KORVEX_UI_MODULE", KORVEX_HEADLESS_UI_MODULE, 1);
  setenv("KORVEX_HEADLESS_ANSWER", "ok", 1);
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  ASSERT_EQ(driver.setSystemPath((systemPath / "no" / "such" / "folder").string().c_str()), 1);
  EXPECT_EQ(driver.configureCamera(0, "Mono"), 1);
  EXPECT_TRUE(HostLog::Contains("CameraParameters::Save: ERROR: could not write the configuration file "));
  EXPECT_TRUE(HostLog::Contains("Camera::Configure: ERROR: the settings are in use but were not stored\n"));
  driver.finalize();
  unsetenv("KORVEX_UI_MODULE");
  unsetenv("KORVEX_HEADLESS_ANSWER");
}

TEST_F(FailuresReachTheHost, ALookupTableThatCannotBeReadIsSwitchedOffWithTheReason) {
  std::ofstream(systemPath / "lut.csv") << "index;gamma\n0;5\n1\n";
  Settings("Mono", "Width=16\nHeight=4\nUse LUTtable=1\nLUTtable=" + (systemPath / "lut.csv").string() +
                       "\nLUTtableRow=gamma\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  ASSERT_EQ(Open(0, "Mono"), 1) << HostLog::Messages();
  EXPECT_TRUE(HostLog::Contains("(column 'gamma') cannot be loaded: line 3 has no value in the column; the table is off\n"))
      << HostLog::Messages();
  int on = -1;
  ASSERT_EQ(driver.getProperty(0, 0, "Use LUTtable", &on), 1);
  EXPECT_EQ(on, 0);
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

TEST_F(FailuresReachTheHost, NegativeOverlapOrDelayInLineCounterModeFailsTheOpen) {
  for (const char* lines : {"OverlappedLines=-2\nDelay=0\n", "OverlappedLines=0\nDelay=-1\n"}) {
    std::filesystem::remove(systemPath / "Korvex.ini");
    Settings("Mono", std::string("Width=16\nHeight=4\nLineGrabbingMode=1\nLineCounterResolution=2\n") + lines);
    ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
    EXPECT_EQ(Open(0, "Mono"), 0);
    EXPECT_TRUE(HostLog::Contains("cannot be negative in line counter mode, port: 0\n")) << HostLog::Messages();
    driver.finalize();
    HostLog::Calls().clear();
  }
}

// The ejector a hundred lines behind on a slow card: a command for a line its catch-up has already
// written is refused as passed, instead of waiting a whole lap of the counter.
DriverLibrary* gFailuresDriver = nullptr;
void ReadAndCount(int, int port) {
  unsigned char row[16];
  for (int r = 0; r < 2; ++r) gFailuresDriver->getCVLGrabRow(0, port, row, r, 0, 15);
  GrabFixture::OnComplete(0, port);
}

TEST_F(FailuresReachTheHost, ACommandForALineTheCatchUpHandledIsRefusedAsPassed) {
  unsetenv("KORVEX_DAQ");
  daq::ResetCards();
  gFailuresDriver = &driver;
  Settings("Mono", "Width=16\nHeight=2\nLineGrabbingMode=1\nLineCounterResolution=2\nEjectorControl=1\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  ASSERT_EQ(Open(0, "Mono"), 1) << HostLog::Messages();
  daq::VirtualCard* card = daq::FindCard(0);
  ASSERT_NE(card, nullptr);
  card->SetWriteDelayUs(5000);
  driver.setCompleteCallback(0, 0, &ReadAndCount);
  driver.setProperty(0, 0, "continuous", 1);
  for (int chunk = 0; chunk < 200; ++chunk) {
    ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 1), 1);
    ASSERT_TRUE(WaitForCallbacks(chunk + 1));
  }
  // The first line of a long catch-up, once the pass is well past it.
  const std::string mark = "Ejector::ProcessLine: WARNING: postprocessing (";
  int first = -1;
  for (int i = 0; i < 2000 && first < 0; ++i) {
    const std::string log = HostLog::Messages();
    for (std::size_t at = log.find(mark); at != std::string::npos; at = log.find(mark, at + 1)) {
      if (std::atoi(log.c_str() + at + mark.size()) < 50) continue;
      first = std::atoi(log.c_str() + log.find("from ", at) + 5);
      break;
    }
    if (first < 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_GE(first, 0) << HostLog::Messages();
  const std::size_t before = card->History().size();
  for (int i = 0; i < 400 && card->History().size() < before + 4 * 5; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(driver.setProperty(0, 0, ("EjectorLine " + std::to_string(first) + " 000000FF").c_str(), 0), 1);
  EXPECT_TRUE(HostLog::Contains("Ejector::SetLine: ERROR line " + std::to_string(first) + " passed current"))
      << HostLog::Messages();
  card->SetWriteDelayUs(0);
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

}  // namespace

namespace {

// A close ends continuous acquisition: the camera opens idle again and is no longer "in
// inspection".
TEST_F(FailuresReachTheHost, ACloseEndsContinuousAcquisition) {
  Settings("Mono", "Width=16\nHeight=4\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  ASSERT_EQ(Open(0, "Mono"), 1);
  ASSERT_EQ(driver.setProperty(0, 0, "continuous", 1), 1);
  driver.closeCVLPort(0, 0);
  ASSERT_EQ(Open(0, "Mono"), 1);
  int continuous = -1;
  ASSERT_EQ(driver.getProperty(0, 0, "continuous", &continuous), 1);
  EXPECT_EQ(continuous, 0);
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

}  // namespace
