// The virtual GigE camera behaves as the driver expects a real one to: bounds, access, payload,
// the ramp pattern, result order, cancel, dropped frames, multi-object waits and unplugging.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include "camera_sdk/BaslerGigECamera.h"
#include "camera_sdk/VirtualControl.h"
#include "camera_sdk/WaitObject.h"

namespace {

using namespace Pylon;

class VirtualCamera : public ::testing::Test {
 protected:
  void SetUp() override {
    tl = CTlFactory::GetInstance().CreateTl("BaslerGigE");
    ASSERT_NE(tl, nullptr);
    ASSERT_EQ(tl->EnumerateDevices(devices), 3);
    Virtual::SetFreeRunning(0, false);
    Virtual::SetFreeRunning(1, false);
  }
  void TearDown() override {
    mono.reset();
    colour.reset();
    CTlFactory::GetInstance().ReleaseTl(tl);
  }
  std::unique_ptr<CBaslerGigECamera> OpenCamera(int index) {
    auto camera = std::make_unique<CBaslerGigECamera>(tl->CreateDevice(devices[static_cast<std::size_t>(index)]));
    camera->Open();
    return camera;
  }
  // Registers and queues `count` buffers of the current payload; each buffer's context is its index.
  void Prepare(CBaslerGigECamera& camera, int count, std::vector<std::vector<uint8_t>>& memory) {
    CBaslerGigEStreamGrabber grabber(camera.GetStreamGrabber(0));
    grabber->Open();
    const int64_t payload = camera.PayloadSize.GetValue();
    grabber.MaxBufferSize.SetValue(payload);
    grabber.MaxNumBuffer.SetValue(count);
    grabber->PrepareGrab();
    memory.assign(static_cast<std::size_t>(count), std::vector<uint8_t>(static_cast<std::size_t>(payload), 0xEE));
    for (int i = 0; i < count; ++i) {
      StreamBufferHandle handle = grabber->RegisterBuffer(memory[static_cast<std::size_t>(i)].data(), payload);
      grabber->QueueBuffer(handle, reinterpret_cast<const void*>(static_cast<uintptr_t>(i + 1)));
    }
  }

  ITransportLayer* tl = nullptr;
  DeviceInfoList_t devices;
  std::unique_ptr<CBaslerGigECamera> mono, colour;
};

TEST_F(VirtualCamera, DefaultNetworkHasTheThreeDevicesInOrder) {
  EXPECT_EQ(std::string(devices[0].GetFullName().c_str()).rfind("Basler raL2048-48gm", 0), 0u);
  EXPECT_STREQ(devices[0].GetFriendlyName().c_str(), "Basler raL2048-48gm (21000001)");
  EXPECT_STREQ(devices[1].GetFriendlyName().c_str(), "Basler ruL2098-10gc (21000002)");
  EXPECT_STREQ(devices[2].GetFriendlyName().c_str(), "Basler acA1300-30gm (21000003)");
}

TEST_F(VirtualCamera, FeaturesKeepTheirBoundsAccessAndPayload) {
  mono = OpenCamera(0);
  EXPECT_EQ(mono->Width.GetMin(), 1);
  EXPECT_EQ(mono->Width.GetMax(), 2048);
  mono->Width.SetValue(1000);
  mono->OffsetX.SetValue(1048);
  EXPECT_EQ(mono->OffsetX.GetMax(), 1048) << "Width + OffsetX stay within the sensor";
  EXPECT_EQ(mono->Width.GetMax(), 1000);
  EXPECT_THROW(mono->Width.SetValue(1001), GenICam::OutOfRangeException);
  EXPECT_THROW(mono->LineStatusAll.Node().SetValue(1), GenICam::AccessException);
  auto* packet = dynamic_cast<GenApi::IInteger*>(mono->GetNodeMap()->GetNode("GevSCPSPacketSize"));
  ASSERT_NE(packet, nullptr);
  EXPECT_THROW(packet->SetValue(1501), GenICam::OutOfRangeException) << "off the increment of 4";
  packet->SetValue(1504);

  mono->Height.SetValue(100);
  EXPECT_EQ(mono->PayloadSize.GetValue(), 1000 * 100);
  EXPECT_STREQ(mono->PixelFormat.GetValue().c_str(), "Mono8");
  EXPECT_THROW(mono->PixelFormat.SetValue("RGB8Packed"), GenICam::InvalidArgumentException);

  colour = OpenCamera(1);
  colour->PixelFormat.SetValue("RGB8Packed");
  colour->Width.SetValue(2098);
  colour->Height.SetValue(10);
  EXPECT_EQ(colour->PayloadSize.GetValue(), 2098 * 10 * 3);
  EXPECT_THROW(OpenCamera(1), GenICam::AccessException) << "one open device per camera";
}

TEST_F(VirtualCamera, RampPatternNamesEveryLineAcrossFramesAndDrops) {
  // A network of our own: the ramp pattern on a monochrome and a colour camera.
  CTlFactory::GetInstance().ReleaseTl(tl);
  const std::string file = ::testing::TempDir() + "korvex-ramp-network.ini";
  std::ofstream(file) << "[mono]\nFullName=Basler raL2048-48gm#1\nFriendlyName=Mono\nPattern=ramp\nFreeRunning=0\n"
                      << "[colour]\nFullName=Basler ruL2098-10gc#2\nFriendlyName=Colour\nColor=1\nSensorWidth=2098\n"
                      << "Pattern=ramp\nFreeRunning=0\n";
  setenv("KORVEX_CAMERAS", file.c_str(), 1);
  tl = CTlFactory::GetInstance().CreateTl("BaslerGigE");
  ASSERT_EQ(tl->EnumerateDevices(devices), 2);

  mono = OpenCamera(0);
  mono->Width.SetValue(8);
  mono->OffsetX.SetValue(250);
  mono->Height.SetValue(4);
  std::vector<std::vector<uint8_t>> memory;
  Prepare(*mono, 2, memory);
  mono->AcquisitionStart.Execute();
  EXPECT_EQ(Virtual::ProduceFrames(0, 3), 3);
  EXPECT_EQ(Virtual::DroppedFrames(0), 1) << "the third frame found no queued buffer";
  EXPECT_EQ(Virtual::LinesAcquired(0), 12);

  IStreamGrabber* grabber = mono->GetStreamGrabber(0);
  GrabResult first, second, none;
  ASSERT_TRUE(grabber->GetWaitObject().Wait(0));
  ASSERT_TRUE(grabber->RetrieveResult(first));
  ASSERT_TRUE(grabber->RetrieveResult(second));
  EXPECT_FALSE(grabber->RetrieveResult(none));
  EXPECT_FALSE(grabber->GetWaitObject().Wait(0)) << "signalled exactly while results are pending";
  EXPECT_EQ(first.Status(), Grabbed);
  EXPECT_EQ(first.Context(), reinterpret_cast<const void*>(1)) << "results in queue order";
  EXPECT_EQ(second.Context(), reinterpret_cast<const void*>(2));
  ASSERT_EQ(first.Buffer(), memory[0].data());
  // Pixel x of line y in frame f: (250 + x + 4f + y) mod 256.
  EXPECT_EQ(memory[0][0], 250);
  EXPECT_EQ(memory[0][7], 1);
  EXPECT_EQ(memory[0][8 * 3 + 5], (250 + 5 + 3) % 256);
  EXPECT_EQ(memory[1][0], 254) << "the second frame goes on with line 4";

  colour = OpenCamera(1);
  colour->PixelFormat.SetValue("RGB8Packed");
  colour->Width.SetValue(2);
  colour->OffsetX.SetValue(300);
  colour->Height.SetValue(2);
  std::vector<std::vector<uint8_t>> colourMemory;
  Prepare(*colour, 1, colourMemory);
  colour->AcquisitionStart.Execute();
  ASSERT_EQ(Virtual::ProduceFrames(1, 1), 1);
  // Line 1, pixel 1 (column 301): R = 301 mod 256, G = 1, B = 302 mod 256.
  const uint8_t* pixel = colourMemory[0].data() + 2 * 3 + 3;
  EXPECT_EQ(pixel[0], 301 % 256);
  EXPECT_EQ(pixel[1], 1);
  EXPECT_EQ(pixel[2], 302 % 256);
  unsetenv("KORVEX_CAMERAS");
}

TEST(VirtualNetwork, AnUnreadableNetworkFileGivesAnEmptyNetwork) {
  setenv("KORVEX_CAMERAS", "/nonexistent/korvex-cameras.ini", 1);
  ::testing::internal::CaptureStderr();
  ITransportLayer* tl = CTlFactory::GetInstance().CreateTl("BaslerGigE");
  const std::string errors = ::testing::internal::GetCapturedStderr();
  DeviceInfoList_t devices;
  EXPECT_EQ(tl->EnumerateDevices(devices), 0);
  EXPECT_NE(errors.find("KORVEX_CAMERAS: cannot read a camera from '/nonexistent/korvex-cameras.ini'"),
            std::string::npos);
  CTlFactory::GetInstance().ReleaseTl(tl);
  EXPECT_EQ(CTlFactory::GetInstance().CreateTl("NoSuchClass"), nullptr);
  unsetenv("KORVEX_CAMERAS");
}

TEST_F(VirtualCamera, CancelReturnsEveryQueuedBufferAndFailuresCanBeInjected) {
  mono = OpenCamera(0);
  mono->Height.SetValue(2);
  std::vector<std::vector<uint8_t>> memory;
  Prepare(*mono, 3, memory);
  mono->AcquisitionMode.SetValue("SingleFrame");
  mono->AcquisitionStart.Execute();
  Virtual::InjectFailedResults(0, 1);
  EXPECT_EQ(Virtual::ProduceFrames(0, 5), 1) << "a single frame, then acquisition stops";
  EXPECT_FALSE(Virtual::IsAcquiring(0));
  IStreamGrabber* grabber = mono->GetStreamGrabber(0);
  grabber->CancelGrab();
  std::vector<EGrabStatus> statuses;
  GrabResult result;
  while (grabber->RetrieveResult(result)) statuses.push_back(result.Status());
  EXPECT_EQ(statuses, (std::vector<EGrabStatus>{Failed, Canceled, Canceled}));
  EXPECT_NO_THROW(grabber->FinishGrab()) << "nothing is queued any more";
}

TEST_F(VirtualCamera, WaitForAnyWakesOnTheGrabberThatGotAFrame) {
  mono = OpenCamera(0);
  colour = OpenCamera(1);
  std::vector<std::vector<uint8_t>> monoMemory, colourMemory;
  mono->Height.SetValue(1);
  colour->Height.SetValue(1);
  Prepare(*mono, 1, monoMemory);
  Prepare(*colour, 1, colourMemory);
  colour->AcquisitionStart.Execute();

  WaitObjects waits;
  AlertableWaitObject terminate;
  waits.Add(terminate);
  waits.Add(mono->GetStreamGrabber(0)->GetWaitObject());
  waits.Add(colour->GetStreamGrabber(0)->GetWaitObject());
  unsigned int index = 99;
  EXPECT_FALSE(waits.WaitForAny(10, &index));
  std::thread producer([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Virtual::ProduceFrames(1, 1);
  });
  EXPECT_TRUE(waits.WaitForAny(5000, &index));
  producer.join();
  EXPECT_EQ(index, 2u);
  terminate.Signal();
  EXPECT_TRUE(waits.WaitForAny(0, &index));
  EXPECT_EQ(index, 0u) << "the first signalled object";
}

TEST_F(VirtualCamera, FreeRunningFramesFollowTheLineRate) {
  mono = OpenCamera(0);
  mono->Height.SetValue(100);  // 100 lines at 10000 lines/s: a frame every 10 ms
  std::vector<std::vector<uint8_t>> memory;
  Prepare(*mono, 4, memory);
  Virtual::SetFreeRunning(0, true);
  mono->AcquisitionStart.Execute();
  EXPECT_TRUE(mono->GetStreamGrabber(0)->GetWaitObject().Wait(2000));
  mono->AcquisitionStop.Execute();
  EXPECT_GE(Virtual::LinesAcquired(0), 100);
}

TEST_F(VirtualCamera, AnUnpluggedCameraRaisesOnEveryCall) {
  mono = OpenCamera(0);
  Virtual::SetNodeFailure(0, "Gamma", "gamma unit broken");
  auto* gamma = dynamic_cast<GenApi::IFloat*>(mono->GetNodeMap()->GetNode("Gamma"));
  ASSERT_NE(gamma, nullptr);
  EXPECT_THROW(gamma->GetValue(), GenICam::RuntimeException);
  Virtual::SetNodeFailure(0, "Gamma", nullptr);
  EXPECT_EQ(gamma->GetValue(), 1.0);

  Virtual::Unplug(0);
  EXPECT_THROW(mono->Width.GetValue(), GenICam::RuntimeException);
  EXPECT_THROW(mono->GetStreamGrabber(0)->Open(), GenICam::RuntimeException);
  EXPECT_THROW(mono->Close(), GenICam::RuntimeException);
}

}  // namespace
