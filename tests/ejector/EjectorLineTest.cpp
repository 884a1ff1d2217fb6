// The ejector's line processing on an opened camera: the test moves the camera's line counter by
// hand (the camera does not grab) and wakes the ejector the way the wait thread does.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "KorvexEjector.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "card/VirtualCard.h"
#include "ejector/Ejector.h"
#include "support/LogCapture.h"

namespace {

std::mutex gEventLock;
std::vector<std::string> gEvents;  // "name value" of every command callback; guarded by gEventLock
void OnCommand(int, int, const char* name, const char* value) {
  std::lock_guard<std::mutex> guard(gEventLock);
  gEvents.push_back(std::string(name) + " " + value);
}

class EjectorLines : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          (std::string("korvex-lines-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "network.ini") << "[mono]\nFullName=Basler raL2048-48gm#1\nFriendlyName=Mono\n";
    std::ofstream(dir / "cards.ini") << "[Device0]\n[Device1]\nOutputChannels=16\n[Device2]\nOutputChannels=64\n";
    std::ofstream(dir / "Korvex.ini") << "[Mono]\nWidth=16\nHeight=2\nLineGrabbingMode=1\nEjectorControl=1\n";
    setenv("KORVEX_CAMERAS", (dir / "network.ini").string().c_str(), 1);
    setenv("KORVEX_DAQ", (dir / "cards.ini").string().c_str(), 1);
    daq::ResetCards();
    std::lock_guard<std::mutex> guard(gEventLock);
    gEvents.clear();
  }
  void TearDown() override {
    finalize();
    unsetenv("KORVEX_CAMERAS");
    unsetenv("KORVEX_DAQ");
    std::filesystem::remove_all(dir);
  }
  // Opens "Mono" on port 0 with the ejector on card `device`.
  void Open(int device = 0) {
    ASSERT_EQ(initialize(dir.string().c_str(), nullptr), 1);
    camera = CameraList::GetInstance()->GetByName("Mono");
    camera->GetParameters().SetParameter<int>("EjectorDeviceNumber", device);
    int size[2] = {0, 0};
    ASSERT_EQ(openCVLPort(0, 0, "Mono", size), 1);
    ejector = camera->GetEjector();
    ASSERT_NE(ejector, nullptr);
    card = daq::FindCard(device);
    setCmdCallback(0, 0, &OnCommand);
  }
  void Set(const char* key, bool on) { camera->GetParameters().SetParameter<bool>(key, on); }
  // Moves the counter `steps` steps on and waits until the ejector has processed up to it.
  void Step(int64_t steps) {
    LineCounterState& counter = camera->GetLineCounter();
    const int line = static_cast<int>((counter.counter + steps) % Ejector::kLines);
    counter.steps += steps;
    counter.counter = line;
    ejector->Signal();
    for (int i = 0; i < 2000 && ejector->GetCurrentLine() != line; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(ejector->GetCurrentLine(), line);
  }
  void StepTo(int line) {
    Step((line - camera->GetLineCounter().counter + Ejector::kLines) % Ejector::kLines);
  }
  // The values written since the last call, as "port=value" in hex.
  std::string Writes() {
    std::string text;
    char item[16];
    for (const daq::PortWrite& write : card->History()) {
      std::snprintf(item, sizeof item, "%s%d=%02X", text.empty() ? "" : " ", write.port, write.value);
      text += item;
    }
    card->ClearHistory();
    return text;
  }

  std::filesystem::path dir;
  Camera* camera = nullptr;
  Ejector* ejector = nullptr;
  daq::VirtualCard* card = nullptr;
};

TEST_F(EjectorLines, EachPassCatchesUpLineByLineInOrderAcrossTheWrap) {
  Open();
  LogCapture log(2);
  Set("EjectorSetAll", false);
  setProperty(0, 0, "EjectorLine 1 00000001", 0);
  Step(1);
  EXPECT_TRUE(log.Contains("Ejector::ProcessLine: First command found -- switching now to the Active state\n"));
  EXPECT_EQ(ejector->GetState(), eActive);
  EXPECT_EQ(Writes(), "0=01 1=00 2=00 3=00");

  StepTo(100);
  Writes();
  for (int line : {101, 102, 103, 104}) {
    setProperty(0, 0, ("EjectorLine " + std::to_string(line) + " 000000" + std::to_string(line - 90)).c_str(), 0);
  }
  log.Clear();
  StepTo(104);
  EXPECT_EQ(log.Text(), "Ejector::ProcessLine: WARNING: postprocessing (3) lines from 101 to 103\n")
      << "one summary a pass; its lines only at the tracing level";
  EXPECT_EQ(Writes(), "0=11 1=00 2=00 3=00 0=12 1=00 2=00 3=00 0=13 1=00 2=00 3=00 0=14 1=00 2=00 3=00");

  // A wake with the counter where it was does nothing.
  log.Clear();
  ejector->Signal();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(log.Text(), "");

  StepTo(9998);
  for (int line : {9999, 0, 1}) setProperty(0, 0, ("EjectorLine " + std::to_string(line) + " 000000AA").c_str(), 0);
  Writes();
  log.Clear();
  StepTo(1);
  EXPECT_TRUE(log.Contains("Ejector::ProcessLine: WARNING: postprocessing (2) lines from 9999 to 0\n")) << log.Text();
  EXPECT_EQ(Writes(), "0=AA 1=00 2=00 3=00 0=AA 1=00 2=00 3=00 0=AA 1=00 2=00 3=00");

  // A pass that ends on line 0 names its last line as the counter shows it; each line at level 4.
  StepTo(9997);
  log.Clear();
  DriverState::Get().logLevel = 4;
  StepTo(0);
  DriverState::Get().logLevel = 2;
  EXPECT_TRUE(log.Contains("Ejector::ProcessLine: WARNING: postprocessing (2) lines from 9998 to 9999\n"
                           "Ejector::ProcessLine: postprocessing line 9998\n"
                           "Ejector::ProcessLine: postprocessing line 9999\n"))
      << log.Text();
  StepTo(1);

  // Three steps on the counter's face, a lap and three in truth: the loss is told, not hidden.
  log.Clear();
  Step(Ejector::kLines + 3);
  EXPECT_TRUE(log.Contains(
      "Ejector::ProcessLine: ERROR: 10000 lines lost, the counter ran 10003 steps ahead of the ejector\n"))
      << log.Text();
}

TEST_F(EjectorLines, SetAllInversionStaticModeAndMasksDecideWhatIsWritten) {
  Open();
  Set("EjectorSetAll", false);
  Step(1);
  EXPECT_EQ(Writes(), "") << "no command, set-all off: the outputs stay";
  Set("EjectorSetAll", true);
  Step(1);
  EXPECT_EQ(Writes(), "0=00 1=00 2=00 3=00");
  Set("EjectorInverted", true);
  Step(1);
  EXPECT_EQ(Writes(), "0=FF 1=FF 2=FF 3=FF");
  Set("EjectorStaticMode", true);
  Step(1);
  EXPECT_EQ(Writes(), "0=00 1=00 2=00 3=00") << "static bytes start all on, inverted here";
  Set("EjectorInverted", false);
  Step(1);
  EXPECT_EQ(Writes(), "0=FF 1=FF 2=FF 3=FF");
  Set("EjectorStaticMode", false);

  // Only the masked bits of the command change the port; the rest is read back.
  card->Write(0, 0xF0);
  Writes();
  setProperty(0, 0, "EjectorLine 6 0000000F 0 00000003", 0);
  Step(1);
  EXPECT_EQ(Writes(), "0=F3 1=00 2=00 3=00");
}

TEST_F(EjectorLines, AtMostFourPortsAreWrittenWhateverTheCardReports) {
  Open(1);
  Step(1);
  EXPECT_EQ(Writes(), "0=00 1=00") << "a card of two ports";
  closeCVLPort(0, 0);
  camera->GetParameters().SetParameter<int>("EjectorDeviceNumber", 2);
  int size[2] = {0, 0};
  ASSERT_EQ(openCVLPort(0, 0, "Mono", size), 1);
  ejector = camera->GetEjector();
  card = daq::FindCard(2);
  Step(1);
  EXPECT_EQ(Writes(), "0=00 1=00 2=00 3=00") << "a card of eight ports";
}

TEST_F(EjectorLines, CallbacksReachTheHostWithOrWithoutACardAndFailingWritesStopNothing) {
  Open();
  setProperty(0, 0, "EjectorLine 4711 00000001 1", 0);
  StepTo(4711);
  card->SetWriteStatus(0x1);
  setProperty(0, 0, "EjectorLine 4712 00000001 1", 0);
  Step(1);
  card->SetWriteStatus(0);
  Writes();
  Step(1);
  EXPECT_EQ(Writes(), "0=00 1=00 2=00 3=00") << "writes go on after the card failed";
  ejector->Device().Close();
  setProperty(0, 0, "EjectorLine 4714 00000001 1", 0);
  Step(1);
  std::lock_guard<std::mutex> guard(gEventLock);
  EXPECT_EQ(gEvents, (std::vector<std::string>{"EjectorLine 4711", "EjectorLine 4712", "EjectorLine 4714"}));
}

TEST_F(EjectorLines, AtLevelTwoEvery500thLineSaysWhetherCommandsWereSeen) {
  Open();
  LogCapture log(2);
  const std::string seen = "Ejector::ProcessLine: Some commands found during the last 500 lines !";
  StepTo(500);  // the byte of commands seen is the process's: start a period afresh
  log.Clear();
  StepTo(1000);
  EXPECT_FALSE(log.Contains(seen));
  EXPECT_TRUE(log.Contains("Ejector::ProcessLine: running, counterVal=1000"));
  setProperty(0, 0, "EjectorLine 1277 00000100", 0);
  StepTo(1499);
  EXPECT_FALSE(log.Contains(seen)) << "said only at the 500th line";
  Step(1);
  EXPECT_TRUE(log.Contains(seen));
  EXPECT_EQ(log.Text().find(seen), log.Text().rfind(seen));
  Set("EjectorStaticMode", true);
  setProperty(0, 0, "EjectorStaticCommand 0102A0FF", 0);
  StepTo(2000);
  EXPECT_TRUE(log.Contains("Ejector::ProcessLine: static(ff a0 2 1)")) << log.Text().substr(0, 300);
}

}  // namespace
