// The ejector in step with the line counter, through the C interface, on the virtual card.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "GrabFixture.h"
#include "camera_sdk/VirtualControl.h"
#include "card/VirtualCard.h"

namespace {

std::mutex gCommandLock;
std::vector<std::string> gCommandEvents;  // guarded by gCommandLock
void OnCommand(int, int port, const char* name, const char* value) {
  std::lock_guard<std::mutex> guard(gCommandLock);
  gCommandEvents.push_back(std::to_string(port) + " " + name + " " + value);
}

// Reads every image whole on the wait thread, so that a free-running camera never runs dry.
DriverLibrary* gDriver = nullptr;
int gRows = 0;
void ReadImage(int, int port) {
  unsigned char row[3 * 8];  // eight pixels, RGB on the colour camera
  for (int r = 0; r < gRows; ++r) gDriver->getCVLGrabRow(0, port, row, r, 0, 7);
}

class EjectorInStep : public GrabFixture {
 protected:
  void SetUp() override {
    GrabFixture::SetUp();
    unsetenv("KORVEX_DAQ");
    daq::ResetCards();
    card = daq::FindCard(0);
    std::lock_guard<std::mutex> guard(gCommandLock);
    gCommandEvents.clear();
  }
  // Waits until the card has seen `writes` port writes.
  bool WaitForWrites(std::size_t writes) {
    for (int i = 0; i < 800 && card->History().size() < writes; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return card->History().size() >= writes;
  }
  daq::VirtualCard* card = nullptr;
};

TEST_F(EjectorInStep, EveryCounterStepWritesItsLineAndACommandWithCallbackReachesTheHost) {
  Settings("Mono", "Width=16\nHeight=2\nLineGrabbingMode=1\nLineCounterResolution=2\nEjectorControl=1\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1) << HostLog::Messages();
  EXPECT_TRUE(HostLog::Contains("Initializing ejector on device=0 with Adsapi library\n")) << HostLog::Messages();
  driver.setCompleteCallback(0, 0, &GrabFixture::OnComplete);
  driver.setCmdCallback(0, 0, &OnCommand);
  ASSERT_EQ(driver.setProperty(0, 0, "EjectorLine 3 0000AA0F 1", 0), 1);
  driver.setProperty(0, 0, "continuous", 1);
  // Five chunks: the counter steps 0 -> 5; the ejector processes lines 1 to 5, four ports each.
  std::vector<unsigned char> row(16);
  for (int chunk = 0; chunk < 5; ++chunk) {
    ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 1), 1);
    ASSERT_TRUE(WaitForCallbacks(chunk + 1));
    // Each chunk is a whole image here: reading it gives its buffer back for the next.
    for (int r = 0; r < size[1]; ++r) driver.getCVLGrabRow(0, 0, row.data(), r, 0, 15);
    ASSERT_TRUE(WaitForWrites(4 * static_cast<std::size_t>(chunk + 1))) << HostLog::Messages();
  }
  const std::vector<daq::PortWrite> writes = card->History();
  ASSERT_EQ(writes.size(), 20u);
  for (std::size_t i = 0; i < writes.size(); ++i) {
    const int line = static_cast<int>(i / 4) + 1;
    EXPECT_EQ(writes[i].port, static_cast<int>(i % 4));
    const int expected = line == 3 ? (i % 4 == 0 ? 0x0F : i % 4 == 1 ? 0xAA : 0) : 0;
    EXPECT_EQ(writes[i].value, expected) << "line " << line << " port " << writes[i].port;
  }
  {
    std::lock_guard<std::mutex> guard(gCommandLock);
    ASSERT_EQ(gCommandEvents.size(), 1u);
    EXPECT_EQ(gCommandEvents[0], "0 EjectorLine 3");
  }
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

TEST_F(EjectorInStep, ClosingWhileTheCounterRunsEndsTheEjectorCleanly) {
  Network("FreeRunning=1\nLineRate=100000\n", "FreeRunning=0\n");
  Settings("Mono", "Width=16\nHeight=8\nLineGrabbingMode=1\nLineCounterResolution=2\nEjectorControl=1\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1) << HostLog::Messages();
  gDriver = &driver;
  gRows = size[1];
  driver.setCompleteCallback(0, 0, &ReadImage);
  driver.setProperty(0, 0, "continuous", 1);
  ASSERT_TRUE(WaitForWrites(400));
  driver.closeCVLPort(0, 0);
  const std::size_t written = card->History().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(card->History().size(), written) << "no write after the close";
  // A second open takes the ejector up again from the start; finalize ends it while it runs.
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1) << HostLog::Messages();
  card->ClearHistory();
  driver.setCompleteCallback(0, 0, &ReadImage);
  driver.setProperty(0, 0, "continuous", 1);
  ASSERT_TRUE(WaitForWrites(400));
  EXPECT_EQ(driver.finalize(), 1);
  const std::size_t final = card->History().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(card->History().size(), final) << "no write after finalize";
}

TEST_F(EjectorInStep, AMissingCardLibraryFailsTheOpenAndLeavesThePortClosed) {
  setenv("KORVEX_BIODAQ", "/nonexistent/libBioDaq.so", 1);
  Settings("General", "AdvantechLibrary=BioDAQ\n");
  Settings("Mono", "Width=16\nHeight=2\nLineGrabbingMode=1\nLineCounterResolution=2\nEjectorControl=1\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  EXPECT_EQ(driver.openCVLPort(0, 0, "Mono", size), 0);
  EXPECT_TRUE(HostLog::Contains("AdvantechDevice_bdaq::Open device: ERROR: -536870895\n")) << HostLog::Messages();
  EXPECT_TRUE(HostLog::Contains("Ejector::Init: ERROR initializing advantech\n"));
  EXPECT_EQ(driver.doCVLGrab(0, 0), 0);
  unsetenv("KORVEX_BIODAQ");
  driver.finalize();
}

TEST_F(EjectorInStep, HostCommandsReadAndWriteTheCardThroughTheEjector) {
  Settings("General", "LogLevel=2\n");
  Settings("Mono", "Width=16\nHeight=2\nLineGrabbingMode=1\nLineCounterResolution=2\nEjectorControl=1\n");
  Settings("Colour", "Width=8\nHeight=2\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1) << HostLog::Messages();
  ASSERT_EQ(driver.openCVLPort(0, 1, "Colour", size), 1);
  card->SetInput(0, 0x04);
  auto exec = [&](const char* command, const char* arguments, int resultSize = 32) {
    char result[32] = "untouched";
    EXPECT_EQ(driver.execCmd(0, 0, command, arguments, result, resultSize), 1);
    return std::string(result);
  };
  EXPECT_EQ(exec("WRITEBYTE", "dio0=255"), "ok");
  uint8_t value = 0;
  card->ReadOutput(0, &value);
  EXPECT_EQ(value, 255);
  EXPECT_EQ(exec("writebit", "dio1.3=1"), "ok");
  card->ReadOutput(1, &value);
  EXPECT_EQ(value, 0x08);
  EXPECT_EQ(exec("readbyte", "dio1"), "8");
  EXPECT_EQ(exec("readbit", "di0.2"), "1");
  EXPECT_EQ(exec("readbit", "dio1.2"), "0");
  EXPECT_EQ(exec("readbyte", "x5"), "invalidargs");
  EXPECT_EQ(exec("writebyte", "x5"), "fail");
  EXPECT_EQ(exec("readbyte", "di9"), "fail") << "no such port on the card";
  // A read takes bits 0 to 15 of the byte; other bits and ports that do not fit are bad arguments,
  // never a shift or an index.
  EXPECT_EQ(exec("readbit", "di0.9"), "0");
  EXPECT_EQ(exec("readbit", "dio1.15"), "0");
  EXPECT_EQ(exec("readbit", "di0.16"), "invalidargs");
  EXPECT_EQ(exec("readbit", "di0.822"), "invalidargs") << "no shift by the bit asked for";
  EXPECT_EQ(exec("writebit", "dio1.8=1"), "fail");
  EXPECT_EQ(exec("writebyte", "dio-1=1"), "fail");
  EXPECT_EQ(exec("writebyte", "dio0=256"), "fail");
  EXPECT_EQ(exec("blink", "dio0"), "unknowncmd");
  EXPECT_EQ(exec("readbyte", "x5", 4), "inv") << "at most resultSize - 1 characters and the terminator";
  EXPECT_EQ(exec("readbyte", "x5", 1), "") << "terminated even with room for nothing else";
  char untouched[8] = "as-was";
  EXPECT_EQ(driver.execCmd(0, 1, "readbyte", "di0", untouched, 8), 1);
  EXPECT_STREQ(untouched, "as-was") << "a camera without the ejector leaves the buffer";
  driver.setCompleteCallback(0, 0, &GrabFixture::OnComplete);
  driver.setCompleteCallback(0, 0, &GrabFixture::OnComplete);
  EXPECT_TRUE(HostLog::Contains(
      "Camera::SetCompleteCB: CB was already assigned. The new CB is the same function. \n"));
  driver.setCmdCallback(0, 0, nullptr);
  EXPECT_TRUE(HostLog::Contains("Camera::SetCmdCompleteCB: Resetting CmdCB to null. \n"));
  driver.finalize();
}

// Control moves to the camera opened last: its counter drives the ejector, and closing the camera
// that lost control leaves the ejector running for the other.
TEST_F(EjectorInStep, ControlMovesToTheCameraOpenedLastAndSurvivesTheOtherClosing) {
  Network("FreeRunning=1\nLineRate=20000\n", "FreeRunning=1\nLineRate=20000\n");
  const std::string lineMode = "Height=8\nLineGrabbingMode=1\nLineCounterResolution=2\nEjectorControl=1\n";
  Settings("Mono", "Width=16\n" + lineMode);
  Settings("Colour", "Width=8\n" + lineMode);
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  gDriver = &driver;
  gRows = 8;
  for (int port : {0, 1}) {
    ASSERT_EQ(driver.openCVLPort(0, port, port == 0 ? "Mono" : "Colour", size), 1) << HostLog::Messages();
    driver.setCompleteCallback(0, port, &ReadImage);
    driver.setCmdCallback(0, port, &OnCommand);
    driver.setProperty(0, port, "continuous", 1);
  }
  int controls = -1;
  ASSERT_EQ(driver.getProperty(0, 0, "EjectorControl", &controls), 1);
  EXPECT_EQ(controls, 0) << "the first camera gave up control";
  ASSERT_TRUE(WaitForWrites(200)) << HostLog::Messages();
  driver.closeCVLPort(0, 0);
  card->ClearHistory();
  ASSERT_TRUE(WaitForWrites(200)) << "the ejector still follows the colour camera";
  // A callback line well ahead of the counter comes back through the controlling camera's port.
  for (int line = 0; line < 10000; line += 50) {
    driver.setProperty(0, 1, ("EjectorLine " + std::to_string(line) + " 00000000 1").c_str(), 0);
  }
  for (int i = 0; i < 400; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::lock_guard<std::mutex> guard(gCommandLock);
    if (!gCommandEvents.empty()) break;
  }
  {
    std::lock_guard<std::mutex> guard(gCommandLock);
    ASSERT_FALSE(gCommandEvents.empty());
    EXPECT_EQ(gCommandEvents[0].substr(0, 14), "1 EjectorLine ");
  }
  driver.closeCVLPort(0, 1);
  const std::size_t written = card->History().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(card->History().size(), written);
  driver.finalize();
}

// Host callbacks that call back into the driver: the command callback books the next line, the
// completion callback reads a port, and a host thread writes another port all the while.
std::atomic<int> gChained{0};
void BookNextLine(int, int port, const char* name, const char* value) {
  if (std::string(name) != "EjectorLine") return;
  ++gChained;
  const std::string next = "EjectorLine " + std::to_string((std::atoi(value) + 20) % 10000) + " 00000001 1";
  gDriver->setProperty(0, port, next.c_str(), 0);
}
void ReadImageAndPort(int grabber, int port) {
  ReadImage(grabber, port);
  char result[8];
  gDriver->execCmd(0, port, "readbyte", "dio3", result, sizeof result);
}

TEST_F(EjectorInStep, CallbacksMayCallTheDriverWhileTheHostWritesTheCard) {
  Network("FreeRunning=1\nLineRate=100000\n", "FreeRunning=0\n");
  Settings("Mono", "Width=16\nHeight=8\nLineGrabbingMode=1\nLineCounterResolution=2\nEjectorControl=1\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1) << HostLog::Messages();
  gDriver = &driver;
  gRows = size[1];
  gChained = 0;
  driver.setCompleteCallback(0, 0, &ReadImageAndPort);
  driver.setCmdCallback(0, 0, &BookNextLine);
  driver.setProperty(0, 0, "EjectorLine 20 00000001 1", 0);
  driver.setProperty(0, 0, "continuous", 1);
  std::atomic<bool> stop{false};
  std::thread host([&] {
    char result[8];
    for (int i = 0; !stop; ++i) driver.execCmd(0, 0, "writebyte", i % 2 ? "dio3=1" : "dio3=0", result, 8);
  });
  EXPECT_TRUE(WaitFor(gChained, 20, 4000)) << "each callback books the next: " << gChained;
  // The port closes under the host's feet: grabbing, callbacks and card commands all running.
  driver.closeCVLPort(0, 0);
  stop = true;
  host.join();
  driver.finalize();
}

// The driver's own threads cannot end themselves: a command callback that closes the camera
// driving the ejector, and a completion callback that finalizes, are refused with a line each.
void CloseFromCommand(int, int port, const char*, const char*) { gDriver->closeCVLPort(0, port); }
std::atomic<int> gFinalizeResult{-1};
void FinalizeFromCompletion(int, int) { gFinalizeResult = gDriver->finalize(); }

TEST_F(EjectorInStep, CallbacksCannotCloseTheEjectorOrFinalizeFromTheDriversThreads) {
  Settings("Mono", "Width=16\nHeight=2\nLineGrabbingMode=1\nLineCounterResolution=2\nEjectorControl=1\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1) << HostLog::Messages();
  gDriver = &driver;
  gFinalizeResult = -1;
  driver.setCmdCallback(0, 0, &CloseFromCommand);
  driver.setCompleteCallback(0, 0, &FinalizeFromCompletion);
  driver.setProperty(0, 0, "EjectorLine 1 00000001 1", 0);
  driver.setProperty(0, 0, "continuous", 1);
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 1), 1);
  ASSERT_TRUE(WaitForWrites(4)) << HostLog::Messages();
  for (int i = 0; i < 400 && gFinalizeResult < 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(gFinalizeResult, 0);
  for (int i = 0; i < 400 && !HostLog::Contains("cannot close the camera"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(HostLog::Contains(
      "Camera::Close: ERROR: the command callback cannot close the camera that drives the ejector, port 0\n"));
  EXPECT_TRUE(HostLog::Contains("finalize: ERROR: called from a callback on the driver's own thread, refcount=1\n"));
  int continuous = 0;
  ASSERT_EQ(driver.getProperty(0, 0, "continuous", &continuous), 1) << "the port is still open";
  driver.closeCVLPort(0, 0);
  EXPECT_EQ(driver.finalize(), 1);
}

}  // namespace
