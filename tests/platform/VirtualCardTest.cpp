// The virtual I/O cards: their description file, the trace of output writes and the faults.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "adsapi/Adsapi.h"
#include "card/VirtualCard.h"

namespace {

class VirtualCards : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = std::filesystem::temp_directory_path() /
                (std::string("korvex-cards-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
  }
  void TearDown() override {
    unsetenv("KORVEX_DAQ");
    daq::ResetCards();
    std::filesystem::remove_all(directory);
  }
  void Describe(const std::string& text) {
    std::ofstream(directory / "cards.ini") << text;
    setenv("KORVEX_DAQ", (directory / "cards.ini").string().c_str(), 1);
    daq::ResetCards();
  }
  std::filesystem::path directory;
};

TEST_F(VirtualCards, WithoutADescriptionThereIsCardZeroWithFourPortsEachWay) {
  unsetenv("KORVEX_DAQ");
  daq::ResetCards();
  daq::VirtualCard* card = daq::FindCard(0);
  ASSERT_NE(card, nullptr);
  EXPECT_EQ(card->OutputPorts(), 4);
  EXPECT_EQ(card->InputPorts(), 4);
  uint8_t value = 9;
  EXPECT_EQ(card->ReadInput(3, &value), daq::CardStatus::kOk);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(daq::FindCard(1), nullptr);
}

TEST_F(VirtualCards, TheDescriptionSetsCardsInputsAndFaultsAndSkipsBadSections) {
  Describe("[Device2]\nOutputChannels=16\nInputChannels=8\nInput0=0x81\nWriteStatus=0x30\n"
           "[Device7]\nOutputChannels=999\n"
           "[Device2]\nOutputChannels=8\n"
           "[Printer]\nOutputChannels=8\n");
  daq::VirtualCard* card = daq::FindCard(2);
  ASSERT_NE(card, nullptr);
  EXPECT_EQ(card->OutputPorts(), 2);
  uint8_t value = 0;
  card->ReadInput(0, &value);
  EXPECT_EQ(value, 0x81);
  EXPECT_EQ(card->Write(0, 1), daq::CardStatus::kRefused);
  EXPECT_EQ(daq::FindCard(7), nullptr) << "999 channels is no card";
  EXPECT_EQ(card->Write(5, 1), daq::CardStatus::kBadPort);
}

TEST_F(VirtualCards, EveryOutputWriteIsTracedAsMicrosecondsDevicePortAndDecimalValue) {
  const std::string trace = (directory / "trace.csv").string();
  Describe("[Device1]\nOutputChannels=32\nTrace=" + trace + "\n");
  daq::VirtualCard* card = daq::FindCard(1);
  ASSERT_NE(card, nullptr);
  ASSERT_EQ(card->Write(3, 200), daq::CardStatus::kOk);
  ASSERT_EQ(card->Write(0, 7), daq::CardStatus::kOk);
  // Buffered until a handle of the card is closed.
  AdsHandle handle = 0;
  ASSERT_EQ(DRV_DeviceOpen(1, &handle), kAdsSuccess);
  ASSERT_EQ(DRV_DeviceClose(&handle), kAdsSuccess);
  std::ifstream in(trace);
  std::string header, first, second;
  std::getline(in, header);
  std::getline(in, first);
  std::getline(in, second);
  EXPECT_EQ(header, "time_us,device,port,value");
  long long t1 = 0, t2 = 0;
  int device = 0, port = 0, value = 0;
  ASSERT_EQ(std::sscanf(first.c_str(), "%lld,%d,%d,%d", &t1, &device, &port, &value), 4) << first;
  EXPECT_EQ(device, 1);
  EXPECT_EQ(port, 3);
  EXPECT_EQ(value, 200);
  ASSERT_EQ(std::sscanf(second.c_str(), "%lld,%d,%d,%d", &t2, &device, &port, &value), 4) << second;
  EXPECT_LE(t1, t2);
  EXPECT_EQ(card->History().size(), 2u);
}

TEST_F(VirtualCards, EveryStatusHasATerminatedTextWithinEightyBytes) {
  for (AdsStatus status : {kAdsSuccess, kAdsDeviceNotFound, kAdsInvalidPort, 0xFFFFFFFFu, 0x12345u}) {
    char text[kAdsErrorTextSize];
    std::memset(text, 'x', sizeof text);
    ASSERT_EQ(DRV_GetErrorMessage(status, text), kAdsSuccess);
    EXPECT_NE(std::memchr(text, '\0', sizeof text), nullptr) << status;
    EXPECT_GT(std::strlen(text), 0u);
  }
}

}  // namespace
