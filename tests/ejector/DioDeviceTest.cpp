// The I/O card through DioDevice and both backends, on the virtual cards.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "card/VirtualCard.h"
#include "ejector/BDaqAccess.h"
#include "ejector/DioDevice.h"
#include "support/LogCapture.h"

namespace {

enum class Backend { kAdsapi, kBioDaq };

class DioDeviceTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    setenv("KORVEX_BIODAQ", KORVEX_BIODAQ_PATH, 1);
    std::string name = std::string("korvex-daq-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) {
      if (c == '/') c = '-';
    }
    cards = std::filesystem::temp_directory_path() / (name + ".ini");
    std::ofstream(cards) << "[Device0]\nOutputChannels=32\nInputChannels=32\nInput2=51\n"
                         << "[Device3]\nOutputChannels=12\nInputChannels=8\n"
                         << "[Device4]\nOpenStatus=0xE0000005\n"
                         << "[Device5]\nOpenStatus=5\n";
    setenv("KORVEX_DAQ", cards.string().c_str(), 1);
    daq::ResetCards();
  }
  void TearDown() override {
    unsetenv("KORVEX_DAQ");
    unsetenv("KORVEX_BIODAQ");
    std::filesystem::remove(cards);
  }
  bool Open(DioDevice& device, int number, bool emulation = false) {
    return GetParam() == Backend::kAdsapi ? device.OpenAdsapi(number, emulation) : device.OpenBioDaq(number, emulation);
  }

  LogCapture log;
  std::filesystem::path cards;
};

TEST_P(DioDeviceTest, WritesReadsBackAndReadsInputsOnTheCard) {
  DioDevice device;
  ASSERT_TRUE(Open(device, 0)) << log.Text();
  EXPECT_TRUE(device.IsOpen());
  EXPECT_EQ(device.GetPortCount(), 4);
  ASSERT_TRUE(device.WriteDio(1, 0x5A));
  uint8_t value = 0;
  ASSERT_EQ(daq::FindCard(0)->ReadOutput(1, &value), daq::CardStatus::kOk);
  EXPECT_EQ(value, 0x5A);
  value = 0;
  ASSERT_TRUE(device.ReadDio(1, value));
  EXPECT_EQ(value, 0x5A);
  value = 0;
  ASSERT_TRUE(device.Read(2, value));
  EXPECT_EQ(value, 51);
  // Ports from outside the card are refused by the library, never written.
  EXPECT_FALSE(device.WriteDio(4, 1));
  EXPECT_FALSE(device.WriteDio(-1, 1));
  EXPECT_FALSE(device.ReadDio(70000, value));
  EXPECT_EQ(daq::FindCard(0)->History().size(), 1u);
  EXPECT_FALSE(Open(device, 3)) << "a second open keeps the backend it has";
  EXPECT_EQ(device.GetPortCount(), 4);
  device.Close();
  EXPECT_FALSE(device.IsOpen());
  EXPECT_FALSE(device.WriteDio(1, 1));
}

TEST_P(DioDeviceTest, TwelveChannelsMakeOnePortAndARefusedOpenLeavesNoBackend) {
  DioDevice twelve;
  ASSERT_TRUE(Open(twelve, 3));
  EXPECT_EQ(twelve.GetPortCount(), 1);
  DioDevice refused;
  EXPECT_FALSE(Open(refused, GetParam() == Backend::kAdsapi ? 5 : 4));
  EXPECT_FALSE(refused.IsOpen());
  if (GetParam() == Backend::kAdsapi) {
    EXPECT_TRUE(log.Contains("AdvantechDevice::Open: ERROR: The device handle is not valid.\n")) << log.Text();
  } else {
    EXPECT_TRUE(log.Contains("AdvantechDevice_bdaq::Open device: ERROR: -536870907\n")) << log.Text();
  }
  DioDevice missing;
  EXPECT_FALSE(Open(missing, 9)) << "no such card";
}

INSTANTIATE_TEST_SUITE_P(Backends, DioDeviceTest, ::testing::Values(Backend::kAdsapi, Backend::kBioDaq),
                         [](const ::testing::TestParamInfo<Backend>& info) {
                           return info.param == Backend::kAdsapi ? std::string("Adsapi") : std::string("BioDaq");
                         });

using DioDeviceAdsapi = DioDeviceTest;

TEST_F(DioDeviceAdsapi, EmulationLogsOpenErrorsAsIgnoredAndSkipsWrites) {
  DioDevice device;
  ASSERT_TRUE(device.OpenAdsapi(5, true));
  EXPECT_TRUE(log.Contains("WARNING: Device 5 is opened in emulation mode\n"));
  EXPECT_TRUE(log.Contains("AdvantechDevice::Open:(IGNORING)  ERROR: The device handle is not valid.\n"))
      << log.Text();
  EXPECT_TRUE(device.WriteDio(0, 0xFF));
  EXPECT_TRUE(daq::FindCard(5)->History().empty());
}

TEST_F(DioDeviceAdsapi, WritesAreTracedAtLevelFourWithTheValueInHex) {
  DioDevice device;
  ASSERT_TRUE(device.OpenAdsapi(0));
  device.WriteDio(2, 15);
  EXPECT_TRUE(log.Contains("(AdvantechDevice::WriteDio) Port: 2; Value: 0F\n"));
}

using DioDeviceBioDaq = DioDeviceTest;

TEST_F(DioDeviceBioDaq, AMissingLibraryFailsTheOpenWithItsStatus) {
  setenv("KORVEX_BIODAQ", "/nonexistent/libBioDaq.so", 1);
  DioDevice device;
  EXPECT_FALSE(device.OpenBioDaq(0));
  EXPECT_TRUE(log.Contains("AdvantechDevice_bdaq::Open device: ERROR: -536870895\n")) << log.Text();
#if defined(_WIN32)
  const char* why = "Module not found";
#else
  const char* why = "/nonexistent/libBioDaq.so: cannot open shared object file";
#endif
  EXPECT_TRUE(log.Contains(std::string("BDaqDevice::Open: ERROR: the BioDAQ library /nonexistent/libBioDaq.so cannot be "
                                       "loaded: ") + why))
      << "which file, and why not";
}

TEST_F(DioDeviceBioDaq, OpensOfOneDeviceShareItAndTheLastReleaseClosesIt) {
  BDaq::BDaqDevice* first = nullptr;
  BDaq::BDaqDevice* second = nullptr;
  ASSERT_EQ(BDaq::BDaqDevice::Open(0, 1, &first), 0u);
  ASSERT_EQ(BDaq::BDaqDevice::Open(0, 2, &second), 0u) << "mode 2 counts as 1";
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->ReferenceCount(), 2);
  BDaq::BDaqDio* dio = nullptr;
  BDaq::BDaqDio* again = nullptr;
  ASSERT_EQ(first->GetModule(5, 0, &dio), 0u);
  ASSERT_EQ(first->GetModule(5, 0, &again), 0u);
  EXPECT_EQ(dio, again) << "one module per device, type and index";
  EXPECT_EQ(first->GetModule(3, 0, &again), 0xE0000004u);
  first->Release();
  second->Release();
  BDaq::BDaqDevice* fresh = nullptr;
  ASSERT_EQ(BDaq::BDaqDevice::Open(0, 1, &fresh), 0u);
  EXPECT_EQ(fresh->ReferenceCount(), 1);
  fresh->Release();
}

// The ejector thread and a host thread on one device at once.
TEST_P(DioDeviceTest, WritesAndReadsFromTwoThreadsAtOnce) {
  DioDevice device;
  ASSERT_TRUE(Open(device, 0));
  std::thread writer([&] {
    for (int i = 0; i < 2000; ++i) device.WriteDio(0, static_cast<uint8_t>(i));
  });
  int good = 0;
  for (int i = 0; i < 2000; ++i) {
    uint8_t value = 0;
    good += device.ReadDio(0, value) && device.Read(1, value) ? 1 : 0;
  }
  writer.join();
  EXPECT_EQ(good, 2000);
  uint8_t last = 0;
  ASSERT_TRUE(device.ReadDio(0, last));
  EXPECT_EQ(last, static_cast<uint8_t>(1999));
}

}  // namespace
