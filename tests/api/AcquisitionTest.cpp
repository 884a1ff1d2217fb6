// Grabbing through the C interface from the virtual cameras with the ramp pattern, so that pixel
// values prove which line arrived where.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "GrabFixture.h"
#include "camera_sdk/VirtualControl.h"

namespace {

using Acquisition = GrabFixture;
std::atomic<int>& gCompleted = GrabFixture::Completed();

TEST_F(Acquisition, FrameModeDeliversTheRampWithOverlapFromThePreviousFrame) {
  Settings("Mono", "Width=16\nHeight=4\nOverlappedLines=2\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 3, "Mono", size), 1) << HostLog::Messages();
  EXPECT_EQ(size[0], 16);
  EXPECT_EQ(size[1], 6);
  ASSERT_EQ(driver.setCompleteCallback(0, 3, &GrabFixture::OnComplete), 1);
  ASSERT_EQ(driver.setProperty(0, 3, "continuous", 1), 1);
  // Frame A (lines 0-3) is held back for the overlap; frame B (lines 4-7) comes to the host.
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 2), 2);
  ASSERT_TRUE(WaitForCallbacks(1));
  std::vector<unsigned char> row(16);
  const int expectedLines[] = {2, 3, 4, 5, 6, 7};
  for (int r = 0; r < 6; ++r) {
    ASSERT_EQ(driver.getCVLGrabRow(0, 3, row.data(), r, 0, 15), 1) << r;
    EXPECT_EQ(row[0], expectedLines[r]) << "row " << r;
    EXPECT_EQ(row[15], (15 + expectedLines[r]) % 256);
  }
  EXPECT_EQ(driver.getCVLGrabRow(0, 3, row.data(), 6, 0, 15), 0) << "no further frame yet";
  EXPECT_EQ(gCompleted, 1);
  driver.closeCVLPort(0, 3);
  EXPECT_EQ(driver.getCVLGrabRow(0, 3, row.data(), 0, 0, 15), 0);
  driver.finalize();
}

// The first frame of a single grab is held back for the overlap: the same doCVLGrab grabs the next
// one, so the host still gets its one image and one callback.
TEST_F(Acquisition, TheFirstSingleGrabWithOverlapBringsItsImage) {
  Settings("Mono", "Width=16\nHeight=4\nOverlappedLines=2\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1) << HostLog::Messages();
  ASSERT_EQ(driver.setCompleteCallback(0, 0, &GrabFixture::OnComplete), 1);
  ASSERT_EQ(driver.doCVLGrab(0, 0), 1);
  int made = 0;
  for (int i = 0; i < 300 && gCompleted == 0; ++i) {
    made += Pylon::Virtual::ProduceFrames(0, 1);  // only while an acquisition runs
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(gCompleted, 1) << HostLog::Messages();
  EXPECT_EQ(made, 2);
  std::vector<unsigned char> row(16);
  const int expectedLines[] = {2, 3, 4, 5, 6, 7};
  for (int r = 0; r < 6; ++r) {
    ASSERT_EQ(driver.getCVLGrabRow(0, 0, row.data(), r, 0, 15), 1) << r;
    EXPECT_EQ(row[0], expectedLines[r]) << "row " << r;
  }
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

// A stop no longer sleeps on the wait thread: single grabs, one after another, follow the camera.
std::atomic<int> gSingleImages{0};
DriverLibrary* gSingleDriver = nullptr;
int gSingleRows = 0;
void ReadSingleImage(int, int port) {
  unsigned char row[64 * 3];  // RGB on the colour camera
  for (int r = 0; r < gSingleRows; ++r) gSingleDriver->getCVLGrabRow(0, port, row, r, 0, 63);
  ++gSingleImages;
}

TEST_F(Acquisition, SingleGrabsOneAfterAnotherFollowTheCamerasPaceInBothModes) {
  Network("FreeRunning=1\nLineRate=48000\n", "FreeRunning=1\nLineRate=20000\n");
  Settings("Mono", "Width=64\nHeight=512\n");
  Settings("Colour", "Width=64\nHeight=8\nLineGrabbingMode=1\nLineCounterResolution=2\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  gSingleDriver = &driver;
  for (int port : {0, 1}) {
    int size[2] = {0, 0};
    ASSERT_EQ(driver.openCVLPort(0, port, port == 0 ? "Mono" : "Colour", size), 1) << HostLog::Messages();
    gSingleRows = size[1];
    gSingleImages = 0;
    driver.setCompleteCallback(0, port, &ReadSingleImage);
    // 48,000 lines/s make 94 frames of 512 lines a second; a stop that slept 500 ms allowed two.
    const auto start = std::chrono::steady_clock::now();
    for (int grab = 0; grab < 20; ++grab) {
      ASSERT_EQ(driver.doCVLGrab(0, port), 1);
      ASSERT_TRUE(WaitFor(gSingleImages, grab + 1, 3000)) << "grab " << grab << " brought no image";
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 4.0) << "20 single grabs on port " << port;
    driver.closeCVLPort(0, port);
  }
  driver.finalize();
}

// The streaming camera's images, read whole (the chunks go back to the camera only then).
void ReadStreamedImage(int, int port) {
  unsigned char row[64 * 3];
  for (int r = 0; r < 512; ++r) gSingleDriver->getCVLGrabRow(0, port, row, r, 0, 63);
  GrabFixture::OnComplete(0, port);
}

// One camera's single grabs never hold up another: the colour camera streams line-counter chunks
// while the host single-grabs the mono camera, and the virtual camera loses none of them.
TEST_F(Acquisition, ACameraStreamsWithoutLossWhileAnotherSingleGrabs) {
  Network("FreeRunning=1\nLineRate=48000\n", "FreeRunning=1\nLineRate=20000\n");
  Settings("Mono", "Width=64\nHeight=512\n");
  Settings("Colour", "Width=64\nHeight=512\nLineGrabbingMode=1\nLineCounterResolution=64\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  gSingleDriver = &driver;
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1) << HostLog::Messages();
  gSingleRows = size[1];
  ASSERT_EQ(driver.openCVLPort(0, 1, "Colour", size), 1) << HostLog::Messages();
  driver.setCompleteCallback(0, 0, &ReadSingleImage);
  driver.setCompleteCallback(0, 1, &ReadStreamedImage);
  ASSERT_EQ(driver.setProperty(0, 1, "continuous", 1), 1);
  gSingleImages = 0;
  const int64_t dropped = Pylon::Virtual::DroppedFrames(1);
  for (int grab = 0; grab < 10; ++grab) {
    ASSERT_EQ(driver.doCVLGrab(0, 0), 1);
    ASSERT_TRUE(WaitFor(gSingleImages, grab + 1, 3000)) << "grab " << grab;
  }
  EXPECT_EQ(Pylon::Virtual::DroppedFrames(1), dropped) << "chunks lost on the streaming camera";
  EXPECT_GT(Completed(), 0);
  driver.setProperty(0, 1, "continuous", 0);
  driver.closeCVLPort(0, 1);
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

TEST_F(Acquisition, SingleGrabAndDecimationOnTheColourCamera) {
  Settings("Colour", "Width=8\nHeight=2\nUseDecimation=1\nDecimation=1\nUseBGR=1\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 1, "Colour", size), 1) << HostLog::Messages();
  EXPECT_EQ(size[0], 4);
  EXPECT_EQ(size[1], 2);
  driver.setCompleteCallback(0, 1, &GrabFixture::OnComplete);
  ASSERT_EQ(driver.doCVLGrab(0, 1), 1);
  for (int i = 0; i < 200 && !Pylon::Virtual::IsAcquiring(1); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(1, 1), 1);
  ASSERT_TRUE(WaitForCallbacks(1));
  std::vector<unsigned char> row(4 * 3, 0);
  ASSERT_EQ(driver.getCVLGrabRow(0, 1, row.data(), 0, 0, 3), 1);
  // Output pixel j is sensor column 2j, in BGR order: B = (c + L), G = L, R = c.
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(row[3 * j], 2 * j) << j;
    EXPECT_EQ(row[3 * j + 1], 0);
    EXPECT_EQ(row[3 * j + 2], 2 * j);
  }
  ASSERT_EQ(driver.getCVLGrabRow(0, 1, row.data(), 1, 0, 3), 1);
  EXPECT_EQ(row[3 * 1 + 1], 1) << "line 1";
  int pixelSize = 0;
  EXPECT_EQ(driver.getProperty(0, 1, "PixelSize", &pixelSize), 1);
  EXPECT_EQ(pixelSize, 24);
  driver.closeCVLPort(0, 1);
  driver.finalize();
}

TEST_F(Acquisition, BgrOverlapRowsOfTheFirstImageComeInTheSameByteOrderAsTheRest) {
  Settings("Colour", "Width=4\nHeight=2\nOverlappedLines=1\nUseBGR=1\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 1, "Colour", size), 1) << HostLog::Messages();
  driver.setCompleteCallback(0, 1, &GrabFixture::OnComplete);
  driver.setProperty(0, 1, "continuous", 1);
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(1, 2), 2);
  ASSERT_TRUE(WaitForCallbacks(1));
  std::vector<unsigned char> row(4 * 3);
  const int lines[] = {1, 2, 3};  // the overlap row is the first frame's last line
  for (int r = 0; r < 3; ++r) {
    ASSERT_EQ(driver.getCVLGrabRow(0, 1, row.data(), r, 0, 3), 1);
    // Pixel 2 in BGR order: B = (c + L), G = L, R = c.
    EXPECT_EQ(row[6], 2 + lines[r]) << "row " << r;
    EXPECT_EQ(row[7], lines[r]);
    EXPECT_EQ(row[8], 2);
  }
  driver.closeCVLPort(0, 1);
  driver.finalize();
}

TEST_F(Acquisition, LineCounterModeAssemblesChunksWithDelayAndOverlapAndStampsTheCounter) {
  Settings("Mono", "Width=8\nHeight=4\nOverlappedLines=2\nLineGrabbingMode=1\nLineCounterResolution=2\nDelay=1\n");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1) << HostLog::Messages();
  EXPECT_EQ(size[1], 6);
  driver.setCompleteCallback(0, 0, &GrabFixture::OnComplete);
  ASSERT_EQ(driver.setProperty(0, 0, "continuous", 1), 1);
  // Delay chunk (lines 0-1) skipped; the first image is chunks of lines 2-3, 4-5, 6-7.
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 4), 4);
  ASSERT_TRUE(WaitForCallbacks(1));
  std::vector<unsigned char> row(8);
  for (int r = 0; r < 6; ++r) {
    ASSERT_EQ(driver.getCVLGrabRow(0, 0, row.data(), r, 0, 7), 1) << r;
    const int chunk = r / 2 + 1;  // chunk 0 was the delay
    EXPECT_EQ(row[0] | (row[1] << 8) | (row[2] << 16), chunk) << "the counter of chunk " << chunk;
    EXPECT_EQ(row[5], (5 + 2 + r) % 256) << "line " << 2 + r;
  }
  // The next image: two new chunks (lines 8-11) behind the overlap chunk (lines 6-7).
  ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 2), 2);
  ASSERT_TRUE(WaitForCallbacks(2));
  ASSERT_EQ(driver.getCVLGrabRow(0, 0, row.data(), 0, 0, 7), 1);
  EXPECT_EQ(row[5], (5 + 6) % 256) << "overlap rows repeat the last rows of the image before";
  ASSERT_EQ(driver.getCVLGrabRow(0, 0, row.data(), 5, 0, 7), 1);
  EXPECT_EQ(row[5], (5 + 11) % 256);
  EXPECT_EQ(driver.getCVLGrabRow(0, 0, row.data(), 6, 0, 7), 0) << "one past the end";
  int stopped = -1;
  EXPECT_EQ(driver.getProperty(0, 0, "ConveyorStopped", &stopped), 1);
  EXPECT_EQ(stopped, 0);
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

TEST_F(Acquisition, CallsInTheWrongStateFailCleanly) {
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  int size[2] = {0, 0};
  EXPECT_EQ(driver.doCVLGrab(0, 5), 0) << "grab before open";
  ASSERT_EQ(driver.openCVLPort(0, 5, "Mono", size), 1);
  EXPECT_EQ(driver.openCVLPort(0, 6, "Mono", size), 0) << "open on an open camera";
  EXPECT_TRUE(HostLog::Contains("Camera::Open: ERROR:  Mono is already open on port 5\n"));
  std::vector<unsigned char> row(2048);
  EXPECT_EQ(driver.getCVLGrabRow(0, 5, row.data(), 0, 0, 511), 0) << "rows before any image";
  int gain = 0;
  EXPECT_EQ(driver.getProperty(0, 5, "Gain", &gain), 1);
  EXPECT_EQ(gain, 256);
  EXPECT_EQ(driver.setProperty(0, 5, "Gain", 300), 1);
  EXPECT_EQ(driver.getProperty(0, 5, "gainall", &gain), 1);
  EXPECT_EQ(gain, 300);
  int minimum = 0, maximum = 0;
  EXPECT_EQ(driver.getPropertyRange(0, 5, "GammaEnable", &minimum, &maximum), 1);
  EXPECT_EQ(maximum, 1);
  EXPECT_EQ(driver.getPropertyRange(0, 5, "NoSuchProperty", &minimum, &maximum), 0);
  EXPECT_EQ(driver.setProperty(0, 5, "EjectorLine100 00000001", 0), 1) << "no ejector: nothing to do";
  int mac = 0;
  EXPECT_EQ(driver.getProperty(0, 5, "GevMACAddress", &mac), 0) << "beyond the int range";
  driver.closeCVLPort(0, 5);
  driver.closeCVLPort(0, 5);
  EXPECT_TRUE(HostLog::Contains("CameraList::GetByPort: ERROR: could not find camera on port 5\n"));
  driver.finalize();
}

}  // namespace
