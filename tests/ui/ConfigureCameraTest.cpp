// The configuration dialog as a host gets it: configureCamera through the loaded driver, the real
// dialog on an X server, and a user's keys and clicks through it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

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
  // Settings stored in the camera's section, which it reads as it opens again.
  void Store(const std::string& settings) {
    std::ofstream(system + "/Korvex.ini") << "[" << kMono << "]\n" << settings;
    driver.closeCVLPort(0, 0);
    int size[2] = {0, 0};
    ASSERT_EQ(driver.openCVLPort(0, 0, kMono, size), 1);
  }

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

// Whether a row in the highlight colour (the focused item's name cell) is in the grid's area: a
// column of the names from below the tab's marker to the grid's bottom.
bool FocusedRowShown(XInput& input, const ScreenRect& shown) {
  std::vector<unsigned char> rgb;
  const ScreenRect nameColumn{shown.x + 60, shown.y + 55, 1, 370};
  if (!input.Capture(nameColumn, rgb)) return false;
  int coloured = 0;  // the name's letters cross the column, so the pixels are counted, not a run
  for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
    if (std::max({rgb[i], rgb[i + 1], rgb[i + 2]}) - std::min({rgb[i], rgb[i + 1], rgb[i + 2]}) > 60) ++coloured;
  }
  return coloured >= 8;
}

TEST_F(ConfigureCamera, TheItemFocusedLastIsInViewAgainEvenBelowTheFirstScreen) {
  EXPECT_EQ(Configure([](XInput& input, const ScreenRect&) {
              input.Key("Up");  // from nothing focused, round to the last item of all
              input.Key("Return");  // OK: the set remembers it
            }),
            0);
  bool inView = false;
  EXPECT_EQ(Configure([&](XInput& input, const ScreenRect& shown) {
              inView = FocusedRowShown(input, shown);
              input.Key("Escape");
            }),
            1);
  EXPECT_TRUE(inView) << "the remembered item's row is scrolled into the grid";
}

TEST_F(ConfigureCamera, AStoredSetThatIsInvalidOpensWithOkDisabledAndTheMessage) {
  Store("OverlappedLines=600\n");  // more than the image's 512 lines
  bool message = false;
  const int result = Configure([&](XInput& input, const ScreenRect& shown) {
    message = input.HasContent(ScreenRect{shown.x + 4, shown.y + shown.height - 16, shown.width / 2, 12});
    input.Key("Tab");  // with OK disabled, on to Cancel
    input.Key("space");
  });
  EXPECT_EQ(result, 1) << "OK could not be pressed";
  EXPECT_TRUE(message) << "the status bar says why from the start";
}

TEST_F(ConfigureCamera, ATypedNumberTheParameterCannotHoldIsRefusedNotCut) {
  Store("Width=1024\n");
  bool message = false;
  const int result = Configure([&](XInput& input, const ScreenRect& shown) {
    for (int i = 0; i < 2; ++i) input.Key("Down");  // the title, the width
    input.Key("F2");
    input.Type("4294967808");  // 2^32 + 512
    input.Key("Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    message = input.HasContent(ScreenRect{shown.x + 4, shown.y + shown.height - 16, shown.width / 2, 12});
    input.Key("Return");  // no editor open: OK
  });
  EXPECT_EQ(result, 0) << "confirmed with Enter";
  EXPECT_TRUE(message) << "the status bar says why the number went";
  EXPECT_THAT(Ini(), ::testing::HasSubstr("Width=1024\n"));
}

TEST_F(ConfigureCamera, ALookupTableWhoseNameIsNotAsciiIsChosenStoredAndOffersItsColumns) {
  // Alone in the folder the file dialog starts in (the current one), as the file system names it.
  const std::string folder = system + "/tables";
  const std::string table = folder + "/L\xC3\xA4ufer-gr\xC3\xBCn.csv";
  std::filesystem::create_directories(folder);
  std::ofstream(table) << "Index;Bright;Dark\n0;0;255\n255;255;0\n";
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  const int result = Configure([&](XInput& input, const ScreenRect&) {
    for (int i = 0; i < 9; ++i) input.Key("Down");  // down to "Enable LUT"
    input.Key("F2");
    input.Key("Up");  // "True"
    input.Key("Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the page opens the next rows
    input.Key("Down");  // "LUT file", now open to edit
    input.Key("F2");  // the file dialog, which lists its folder a moment after it shows
    ScreenRect chooser{};
    input.WaitForWindow("Select a file", 10000, &chooser);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    input.Key("Down");  // the one file
    input.Key("Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    input.Key("Down");  // "LUT row"
    input.Key("F2");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    input.Key("Home");  // the first column
    input.Key("Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    input.Key("Return");  // OK
  });
  std::filesystem::current_path(before);
  EXPECT_EQ(result, 0);
  EXPECT_THAT(Ini(), ::testing::HasSubstr("LUTtable=" + table + "\n")) << "the file system's bytes, unconverted";
  EXPECT_THAT(Ini(), ::testing::HasSubstr("LUTtableRow=Bright\n")) << "the table's columns were offered";
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
