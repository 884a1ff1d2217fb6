// Faults and awkward timing through the C interface: grabs ended by close or finalize while frames
// stream in, failed results, a camera unplugged or raising inside open, payload mismatches, two
// cameras at once, and the stamps' counter wrap, time-stamp byte and conveyor-stopped state.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "GrabFixture.h"
#include "camera_sdk/VirtualControl.h"

namespace {

int Stamp(const unsigned char* row) { return row[0] | (row[1] << 8) | (row[2] << 16); }

// ---- ending a grab while the camera streams -------------------------------------------------

struct Ending {
  const char* name;
  bool lineMode;
  bool continuous;
  bool finalizeOnly;  // finalize with the port still open, instead of closing it first
};

// The host reads every image whole inside the callback, on the wait thread, while its main thread
// ends the grab: no row read fails before the host ends it, and one read after is refused cleanly
// (the close does not wait for the callback, and frees nothing a row read is using).
DriverLibrary* gDriver = nullptr;
std::atomic<bool> gEnding{false};
std::atomic<int> gRowsFailed{0};
std::atomic<int> gImagesRead{0};
int gRows = 0;
int gWidth = 0;

void ReadWholeImage(int, int port) {
  std::vector<unsigned char> row(static_cast<std::size_t>(gWidth) * 3);
  for (int r = 0; r < gRows; ++r) {
    // Asked after the call: the host marks the end before it closes, so a row the close refused
    // always finds the mark.
    if (gDriver->getCVLGrabRow(0, port, row.data(), r, 0, gWidth - 1) != 1 && !gEnding) ++gRowsFailed;
  }
  ++gImagesRead;
}

class EndingAGrab : public GrabFixture, public ::testing::WithParamInterface<Ending> {};

TEST_P(EndingAGrab, WhileTheCameraStreamsEndsCleanly) {
  const Ending& ending = GetParam();
  Network("FreeRunning=1\nLineRate=200000\n", "FreeRunning=0\n");
  Settings("Mono", ending.lineMode ? "Width=256\nHeight=64\nOverlappedLines=16\nLineGrabbingMode=1\n"
                                     "LineCounterResolution=16\n"
                                   : "Width=256\nHeight=64\nOverlappedLines=8\n");
  gDriver = &driver;
  gEnding = false;
  gRowsFailed = 0;
  gImagesRead = 0;
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1) << HostLog::Messages();
  gWidth = size[0];
  gRows = size[1];
  driver.setCompleteCallback(0, 0, &ReadWholeImage);
  if (ending.continuous) {
    ASSERT_EQ(driver.setProperty(0, 0, "continuous", 1), 1);
    ASSERT_TRUE(WaitFor(gImagesRead, 5));
  } else {
    ASSERT_EQ(driver.doCVLGrab(0, 0), 1);
    // Ended while the single grab may still be finishing on the wait thread.
    ASSERT_TRUE(WaitFor(gImagesRead, ending.lineMode ? 1 : 0));
  }
  gEnding = true;
  if (!ending.finalizeOnly) driver.closeCVLPort(0, 0);
  driver.finalize();
  const int read = gImagesRead;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(gImagesRead, read) << "no callback after the grab has ended";
  EXPECT_EQ(gRowsFailed, 0) << HostLog::Messages();
  EXPECT_EQ(Pylon::Virtual::CameraCount(), 0) << "the SDK was shut down";
}

INSTANTIATE_TEST_SUITE_P(
    Grabs, EndingAGrab,
    ::testing::Values(Ending{"SingleFrameClosed", false, false, false}, Ending{"ContinuousFramesClosed", false, true, false},
                      Ending{"SingleLineImageClosed", true, false, false},
                      Ending{"ContinuousLinesClosed", true, true, false},
                      Ending{"ContinuousFramesFinalized", false, true, true},
                      Ending{"ContinuousLinesFinalized", true, true, true}),
    [](const ::testing::TestParamInfo<Ending>& info) { return std::string(info.param.name); });

// ---- faults --------------------------------------------------------------------------------

using Faults = GrabFixture;

TEST_F(Faults, AFailedFrameIsCountedAndLoggedAndItsBufferGoesBackToTheCamera) {
  Settings("Mono", "Width=16\nHeight=4\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1);
  driver.setCompleteCallback(0, 0, &GrabFixture::OnComplete);
  driver.setProperty(0, 0, "continuous", 1);
  Pylon::Virtual::InjectFailedResults(0, 1);
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 1), 1);
  // Results are handled in order: once the good frame behind it has come, the failure has been.
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 1), 1);
  ASSERT_TRUE(WaitForCallbacks(1));
  const std::string messages = HostLog::Messages();
  EXPECT_NE(messages.find("CameraWaitThread::HandleCameraEvent_FrameMode: ERROR: grab result is not OK, count=1,"),
            std::string::npos)
      << messages;
  EXPECT_NE(messages.find("port=0, [Mono - The buffer was incompletely grabbed (injected failure)]\n"), std::string::npos);
  // All three frame buffers are with the camera again: two more frames find one, though the host
  // still holds the first.
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 2), 2);
  ASSERT_TRUE(WaitForCallbacks(3));
  EXPECT_EQ(Pylon::Virtual::DroppedFrames(0), 0);
  std::vector<unsigned char> row(16);
  ASSERT_EQ(driver.getCVLGrabRow(0, 0, row.data(), 0, 0, 15), 1);
  EXPECT_EQ(row[0], 4) << "the first good frame holds lines 4-7";
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

TEST_F(Faults, ALostChunkStillStepsTheCounterSoTheStampsFollowTheBelt) {
  Settings("Mono", "Width=16\nHeight=4\nLineGrabbingMode=1\nLineCounterResolution=2\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1);
  driver.setCompleteCallback(0, 0, &GrabFixture::OnComplete);
  driver.setProperty(0, 0, "continuous", 1);
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 1), 1);  // counter 0, lines 0-1
  Pylon::Virtual::InjectFailedResults(0, 1);
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 2), 2);  // lines 2-3 fail, lines 4-5 get counter 2
  ASSERT_TRUE(WaitForCallbacks(1));
  EXPECT_TRUE(HostLog::Contains("grabbed not OK, count=1,")) << HostLog::Messages();
  EXPECT_TRUE(HostLog::Contains("CameraWaitThread::HandleCameraEvent_LineCounterMode: ERROR: 1 chunk lost before "
                                "chunk 3, port=0; the line counter steps over them\n"))
      << HostLog::Messages();
  std::vector<unsigned char> row(16);
  ASSERT_EQ(driver.getCVLGrabRow(0, 0, row.data(), 1, 0, 15), 1);
  EXPECT_EQ(Stamp(row.data()), 0);
  ASSERT_EQ(driver.getCVLGrabRow(0, 0, row.data(), 2, 0, 15), 1);
  EXPECT_EQ(Stamp(row.data()), 2) << "the image shows the jump over the lost chunk";
  EXPECT_EQ(row[5], 5 + 4) << "line 4";
  int lost = 0;
  ASSERT_EQ(driver.getProperty(0, 0, "LostChunks", &lost), 1);
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(driver.setProperty(0, 0, "LostChunks", 0), 0) << "read-only";
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

TEST_F(Faults, AnUnpluggedCameraIsReportedAtOnceItsGrabsEndAndItClosesCleanly) {
  Network("FreeRunning=1\nLineRate=100000\n", "FreeRunning=0\n");
  Settings("Mono", "Width=64\nHeight=32\nLineGrabbingMode=1\nLineCounterResolution=16\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1);
  driver.setCompleteCallback(0, 0, &GrabFixture::OnComplete);
  driver.setProperty(0, 0, "continuous", 1);
  ASSERT_TRUE(WaitForCallbacks(1));
  ASSERT_TRUE(Pylon::Virtual::Unplug(0));
  const std::string reported = "Camera::DeviceRemoved: ERROR: camera Mono on port 0 dropped off the network";
  for (int i = 0; i < 400 && !HostLog::Contains(reported); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(HostLog::Contains(reported)) << HostLog::Messages();
  // An image whose lines all came before the unplug may still reach the host as the report is
  // written (the wait thread was forming it); after that, nothing more comes.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const int seen = Completed();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(Completed(), seen);
  int value = 1;
  ASSERT_EQ(driver.getProperty(0, 0, "continuous", &value), 1);
  EXPECT_EQ(value, 0) << "no continuous acquisition any more";
  EXPECT_EQ(driver.doCVLGrab(0, 0), 0);
  EXPECT_EQ(driver.getProperty(0, 0, "Gain", &value), 0) << "the device is gone";
  driver.closeCVLPort(0, 0);
  EXPECT_EQ(driver.openCVLPort(0, 0, "Mono", size), 0);
  EXPECT_TRUE(HostLog::Contains("Camera::Open: GenICam API ERROR, port 0: ")) << HostLog::Messages();
  driver.finalize();
}

TEST_F(Faults, AnIdleCameraThatIsUnpluggedIsReportedByTheSdksNotice) {
  Settings("Mono", "Width=16\nHeight=4\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1);
  ASSERT_TRUE(Pylon::Virtual::Unplug(0));
  EXPECT_TRUE(HostLog::Contains("Camera::DeviceRemoved: ERROR: camera Mono on port 0 dropped off the network; its "
                                "grabs end until it is opened again\n"))
      << "no grab under way, so no failed result tells of it";
  EXPECT_EQ(driver.doCVLGrab(0, 0), 0);
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

TEST_F(Faults, AnSdkExceptionInsideOpenFailsTheOpenAndTheNextOpenWorks) {
  Settings("Mono", "Width=16\nHeight=4\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  ASSERT_TRUE(Pylon::Virtual::SetNodeFailure(0, "PixelFormat", "pixel format unit broken"));
  int size[2] = {0, 0};
  EXPECT_EQ(driver.openCVLPort(0, 0, "Mono", size), 0);
  EXPECT_TRUE(HostLog::Contains("Camera::Open: GenICam API ERROR, port 0: pixel format unit broken\n"));
  EXPECT_EQ(driver.doCVLGrab(0, 0), 0) << "nothing is open on the port";
  Pylon::Virtual::SetNodeFailure(0, "PixelFormat", nullptr);
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1) << HostLog::Messages();
  driver.setCompleteCallback(0, 0, &GrabFixture::OnComplete);
  driver.setProperty(0, 0, "continuous", 1);
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 1), 1);
  EXPECT_TRUE(WaitForCallbacks(1));
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

TEST_F(Faults, APayloadThatDiffersFromTheGeometryFailsTheOpenInBothModes) {
  Network("FreeRunning=0\nPayloadPadding=16\n", "FreeRunning=0\nPayloadPadding=16\n");
  Settings("Mono", "Width=16\nHeight=4\n");
  Settings("Colour", "Width=8\nHeight=4\nLineGrabbingMode=1\nLineCounterResolution=2\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  EXPECT_EQ(driver.openCVLPort(0, 0, "Mono", size), 0);
  EXPECT_TRUE(HostLog::Contains("Camera::Open: ERROR: Pylon reports different buffer size than expected, calculated "
                                "size=64, pylon reported size=80\n"))
      << HostLog::Messages();
  EXPECT_EQ(driver.openCVLPort(0, 1, "Colour", size), 0);
  EXPECT_TRUE(
      HostLog::Contains("Camera::Open: ERROR: different buffer size than expected, calculated size=48, pylon reported "
                        "size=64\n"));
  driver.finalize();
}

// ---- two cameras, stamps ------------------------------------------------------------------

using Streams = GrabFixture;

std::atomic<int> gPortCallbacks[2];
void CountByPort(int, int port) { ++gPortCallbacks[port]; }

TEST_F(Streams, TwoCamerasGrabAtOnceOnTwoPortsEachIntoItsOwnImages) {
  Settings("Mono", "Width=16\nHeight=4\nLineGrabbingMode=1\nLineCounterResolution=2\n");
  Settings("Colour", "Width=8\nHeight=2\n");
  gPortCallbacks[0] = 0;
  gPortCallbacks[1] = 0;
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int mono[2] = {0, 0}, colour[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", mono), 1);
  ASSERT_EQ(driver.openCVLPort(0, 1, "Colour", colour), 1);
  for (int port : {0, 1}) {
    driver.setCompleteCallback(0, port, &CountByPort);
    driver.setProperty(0, port, "continuous", 1);
  }
  std::vector<unsigned char> row(8 * 3);
  for (int image = 0; image < 20; ++image) {
    std::thread monoFrames([] { Pylon::Virtual::ProduceFrames(0, 2); });
    Pylon::Virtual::ProduceFrames(1, 1);
    monoFrames.join();
    ASSERT_TRUE(WaitFor(gPortCallbacks[0], image + 1));
    ASSERT_TRUE(WaitFor(gPortCallbacks[1], image + 1));
    for (int r = 0; r < 4; ++r) {
      ASSERT_EQ(driver.getCVLGrabRow(0, 0, row.data(), r, 0, 15), 1);
      EXPECT_EQ(Stamp(row.data()), 2 * image + r / 2);
      EXPECT_EQ(row[5], (5 + 4 * image + r) % 256);
    }
    for (int r = 0; r < 2; ++r) {
      ASSERT_EQ(driver.getCVLGrabRow(0, 1, row.data(), r, 0, 7), 1);
      EXPECT_EQ(row[1], (2 * image + r) % 256) << "G of the colour ramp is the line";
    }
  }
  driver.closeCVLPort(0, 0);
  driver.closeCVLPort(0, 1);
  driver.finalize();
}

TEST_F(Streams, TheLineCounterWrapsFrom9999To0) {
  // One line per chunk: the counter moves on every line.
  Settings("Mono", "Width=16\nHeight=100\nLineGrabbingMode=1\nLineCounterResolution=1\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1);
  driver.setCompleteCallback(0, 0, &GrabFixture::OnComplete);
  driver.setProperty(0, 0, "continuous", 1);
  std::vector<unsigned char> row(16);
  for (int image = 0; image < 101; ++image) {
    ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 100), 100);
    ASSERT_TRUE(WaitForCallbacks(image + 1));
    for (int r = 0; r < 100; ++r) {
      ASSERT_EQ(driver.getCVLGrabRow(0, 0, row.data(), r, 0, 15), 1);
      ASSERT_EQ(Stamp(row.data()), (100 * image + r) % 10000) << "image " << image << " row " << r;
    }
  }
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

TEST_F(Streams, MonochromeLinesCarryTheTimeStampByteAndColourLinesDoNot) {
  Settings("Mono", "Width=16\nHeight=2\nLineGrabbingMode=1\nLineCounterResolution=2\n");
  Settings("Colour", "Width=8\nOffsetX=100\nHeight=2\nLineGrabbingMode=1\nLineCounterResolution=2\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1);
  ASSERT_EQ(driver.openCVLPort(0, 1, "Colour", size), 1);
  for (int port : {0, 1}) {
    driver.setCompleteCallback(0, port, &GrabFixture::OnComplete);
    ASSERT_EQ(driver.setProperty(0, port, "EmbedTimeStamp", 1), 1);
    driver.setProperty(0, port, "continuous", 1);
  }
  const long before = static_cast<long>(std::time(nullptr));
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 1), 1);
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(1, 1), 1);
  ASSERT_TRUE(WaitForCallbacks(2));
  const long after = static_cast<long>(std::time(nullptr));
  std::vector<unsigned char> row(8 * 3);
  ASSERT_EQ(driver.getCVLGrabRow(0, 0, row.data(), 1, 0, 15), 1);
  EXPECT_TRUE(row[3] == before % 255 || row[3] == after % 255) << static_cast<int>(row[3]);
  ASSERT_EQ(driver.getCVLGrabRow(0, 1, row.data(), 1, 0, 7), 1);
  EXPECT_EQ(row[3], 101) << "byte 3 is still the R of sensor column 101";
  driver.closeCVLPort(0, 0);
  driver.closeCVLPort(0, 1);
  driver.finalize();
}

TEST_F(Streams, TheConveyorCountsAsStoppedOnceNoLineCameForTheTimeout) {
  Settings("Mono", "Width=16\nHeight=2\nLineGrabbingMode=1\nLineCounterResolution=2\nConveyorTimeout=200\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1);
  driver.setCompleteCallback(0, 0, &GrabFixture::OnComplete);
  driver.setProperty(0, 0, "continuous", 1);
  int stopped = -1;
  ASSERT_EQ(driver.getProperty(0, 0, "ConveyorStopped", &stopped), 1);
  EXPECT_EQ(stopped, 0) << "the open counts as the last line";
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  driver.getProperty(0, 0, "ConveyorStopped", &stopped);
  EXPECT_EQ(stopped, 1);
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 1), 1);
  ASSERT_TRUE(WaitForCallbacks(1));
  driver.getProperty(0, 0, "ConveyorStopped", &stopped);
  EXPECT_EQ(stopped, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  driver.getProperty(0, 0, "ConveyorStopped", &stopped);
  EXPECT_EQ(stopped, 1);
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

}  // namespace
