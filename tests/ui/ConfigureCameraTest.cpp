// The configuration dialog as a host gets it: configureCamera through the loaded driver, the real
// dialog on an X server, and a user's keys and clicks through it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "api/DriverLibrary.h"
#include "ui/xtest/XInput.h"

namespace {

using ui::xtest::ScreenRect;
using ui::xtest::XInput;

constexpr const char* kMono = "Basler raL2048-48gm (21000001)";
constexpr const char* kTitle = "Configure camera on port #1: Basler raL2048-48gm (21000001)";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ConfigureCamera : public ::testing::Test {
 protected:
  void SetUp() override {
    system = ::testing::TempDir() + "korvex-configure-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(system);
    std::filesystem::create_directories(system);
    ASSERT_EQ(driver.initialize(system.c_str(), &HostLog::Proc), 1);
    int size[2] = {0, 0};
    ASSERT_EQ(driver.openCVLPort(0, 0, kMono, size), 1);
  }
  void TearDown() override {
    driver.closeCVLPort(0, 0);
    driver.finalize();
  }
  std::string Ini() const { return ReadFile(system + "/Korvex.ini"); }

  // What the user does once the dialog is on the screen, on a thread of its own; the dialog's
  // place is passed on.
  template <typename F>
  int Configure(F user, unsigned parent = 0) {
    std::thread hands([&] {
      XInput input;
      ScreenRect shown;
      if (!input.IsOpen() || !input.WaitForWindow(kTitle, 20000, &shown)) {
        ADD_FAILURE() << "the dialog never showed";
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(500));  // painted
      user(input, shown);
    });
    const int result = driver.configureCamera(parent, kMono);
    hands.join();
    return result;
  }

  // Down to the image height (the first section's title, its width, its height) and its editor.
  static void EditHeight(XInput& input, const std::string& value) {
    for (int i = 0; i < 3; ++i) input.Key("Down");
    input.Key("F2");
    input.Type(value);
    input.Key("Return");
  }

  DriverLibrary driver;
  std::string system;
};

TEST_F(ConfigureCamera, AChangedValueConfirmedWithOkIsStoredInTheFile) {
  const int result = Configure([](XInput& input, const ScreenRect&) {
    EditHeight(input, "1000");
    input.Key("Tab");  // on to OK
    input.Key("space");
  });
  EXPECT_EQ(result, 0) << "confirmed";
  EXPECT_THAT(Ini(), ::testing::HasSubstr("Height=1000"));
  driver.closeCVLPort(0, 0);
  int size[2] = {0, 0};
  ASSERT_EQ(driver.openCVLPort(0, 0, kMono, size), 1);
  EXPECT_EQ(size[1], 1000) << "the next open takes the stored height";
}

TEST_F(ConfigureCamera, CancelLeavesTheFileAsItWas) {
  std::ofstream(system + "/Korvex.ini") << "[General]\nLogLevel=1\n";
  const std::string before = Ini();
  const int result = Configure([](XInput& input, const ScreenRect&) {
    EditHeight(input, "1000");
    input.Key("Escape");
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Ini(), before);
}

TEST_F(ConfigureCamera, AnInvalidHeightDisablesOkAndTheStatusBarSaysWhy) {
  bool blankBefore = false, writtenAfter = false;
  const int result = Configure([&](XInput& input, const ScreenRect& shown) {
    const ScreenRect bar{shown.x + 4, shown.y + shown.height - 16, shown.width / 2, 12};
    blankBefore = !input.HasContent(bar);
    EditHeight(input, "99999");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    writtenAfter = input.HasContent(bar);
    // With OK disabled the next control is Cancel: had OK been enabled, this would confirm.
    input.Key("Tab");
    input.Key("space");
  });
  EXPECT_EQ(result, 1) << "OK could not be pressed";
  EXPECT_TRUE(blankBefore) << "the status bar starts empty";
  EXPECT_TRUE(writtenAfter) << "the validation message is in the status bar";
  EXPECT_TRUE(!std::filesystem::exists(system + "/Korvex.ini") ||
              Ini().find("Height=99999") == std::string::npos);
}

TEST_F(ConfigureCamera, TheDialogStaysAboveTheHostsWindowAndAWindowThatIsGoneIsNoParent) {
  XInput host;
  ASSERT_TRUE(host.IsOpen());
  const unsigned long window = host.CreateWindow("Korvex host");
  unsigned long owner = 0;
  EXPECT_EQ(Configure([&](XInput& input, const ScreenRect&) {
              owner = input.TransientFor(kTitle);
              input.Key("Escape");
            }, static_cast<unsigned>(window)), 1);
  EXPECT_EQ(owner, window);
  EXPECT_EQ(Configure([&](XInput& input, const ScreenRect&) {
              owner = input.TransientFor(kTitle);
              input.Key("Escape");
            }, 0x3FFFFFF), 1);
  EXPECT_EQ(owner, 0u);
}

TEST_F(ConfigureCamera, WithoutADisplayItReturnsOneWithALogLine) {
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display != nullptr ? display : "";
  unsetenv("DISPLAY");
  EXPECT_EQ(driver.configureCamera(0, kMono), 1);
  if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
  EXPECT_TRUE(HostLog::Contains("Camera::Configure: ERROR: cannot show the dialog, there is no display\n"));
}

}  // namespace
