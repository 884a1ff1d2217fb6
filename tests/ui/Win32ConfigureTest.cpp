// The configuration dialog as a Windows host gets it: configureCamera through the loaded DLL, the
// Win32 dialog on the desktop, and a user's keys through the system's input queue.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "api/DriverLibrary.h"
#include "ui/win32/ScreenPicture.h"

namespace {

constexpr const char* kMono = "Basler raL2048-48gm (21000001)";
constexpr const char* kTitle = "Configure camera on port #1: Basler raL2048-48gm (21000001)";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Whether this process can show windows: under Wine, only with an X display behind the desktop.
bool DesktopShowsWindows() {
  HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (probe == nullptr) return false;
  DestroyWindow(probe);
  return true;
}

// One key pressed and let go, as the keyboard sends it.
void Key(WORD key) {
  INPUT strokes[2] = {};
  strokes[0].type = strokes[1].type = INPUT_KEYBOARD;
  strokes[0].ki.wVk = strokes[1].ki.wVk = key;
  strokes[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, strokes, sizeof(INPUT));
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

HWND WaitForWindow(const char* title, int milliseconds) {
  for (int waited = 0; waited < milliseconds; waited += 50) {
    HWND found = FindWindowA(nullptr, title);
    if (found != nullptr && IsWindowVisible(found)) return found;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return nullptr;
}

class Win32ConfigureCamera : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!DesktopShowsWindows()) GTEST_SKIP() << "this desktop shows no windows (Wine without an X display)";
    system = ::testing::TempDir() + "korvex-configure-win32-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(system);
    std::filesystem::create_directories(system);
    ASSERT_EQ(driver.initialize(system.c_str(), &HostLog::Proc), 1);
    ASSERT_EQ(driver.openCVLPort(0, 0, kMono, size), 1);
  }
  void TearDown() override {
    if (driver.finalize == nullptr || system.empty()) return;
    driver.closeCVLPort(0, 0);
    driver.finalize();
  }
  std::string Ini() const { return ReadFile(system + "\\Korvex.ini"); }

  // What the user does once the dialog is on the screen and active, on a thread of its own.
  template <typename F>
  int Configure(F user) {
    std::thread hands([&] {
      HWND dialog = WaitForWindow(kTitle, 20000);
      if (dialog == nullptr) {
        ADD_FAILURE() << "the dialog never showed";
        return;
      }
      SetForegroundWindow(dialog);
      std::this_thread::sleep_for(std::chrono::milliseconds(700));  // painted
      user(dialog);
    });
    const int result = driver.configureCamera(0, kMono);
    hands.join();
    return result;
  }

  DriverLibrary driver;
  std::string system;
  int size[2] = {0, 0};
};

TEST_F(Win32ConfigureCamera, AValueTypedAndConfirmedWithOkIsStoredInTheFile) {
  const char* picture = std::getenv("KORVEX_DIALOG_PICTURE");
  bool pictured = false;
  const int result = Configure([&](HWND dialog) {
    // Down to the image height (the first section's title, its width, its height), its editor,
    // the new value, Enter; then Tab on to OK and the space bar.
    for (int i = 0; i < 3; ++i) Key(VK_DOWN);
    Key(VK_F2);
    for (char digit : std::string("1000")) Key(static_cast<WORD>(digit));
    Key(VK_RETURN);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    if (picture != nullptr && *picture != '\0') {
      RECT shown{};
      GetWindowRect(dialog, &shown);
      pictured = ui::win32::SaveScreenPicture(shown.left, shown.top, shown.right - shown.left,
                                              shown.bottom - shown.top, picture);
    }
    Key(VK_TAB);
    Key(VK_SPACE);
  });
  EXPECT_EQ(result, 0) << "confirmed";
  EXPECT_THAT(Ini(), ::testing::HasSubstr("Height=1000"));
  if (picture != nullptr && *picture != '\0') {
    EXPECT_TRUE(pictured) << "no picture written to " << picture;
  }
  driver.closeCVLPort(0, 0);
  ASSERT_EQ(driver.openCVLPort(0, 0, kMono, size), 1);
  EXPECT_EQ(size[1], 1000) << "the next open takes the stored height";
}

TEST_F(Win32ConfigureCamera, AChoiceFromTheDropDownListIsStoredAndEscapeCancels) {
  // Down to "Enable Decimation", its list, "True", Enter chooses; Enter again is the dialog's OK.
  EXPECT_EQ(Configure([](HWND) {
              for (int i = 0; i < 6; ++i) Key(VK_DOWN);
              Key(VK_F2);
              std::this_thread::sleep_for(std::chrono::milliseconds(300));
              Key(VK_UP);
              Key(VK_RETURN);
              std::this_thread::sleep_for(std::chrono::milliseconds(300));
              Key(VK_RETURN);
            }),
            0);
  EXPECT_THAT(Ini(), ::testing::HasSubstr("UseDecimation=1"));
  // A list closed with Escape changes nothing, and the next Escape closes the dialog unconfirmed.
  const std::string before = Ini();
  EXPECT_EQ(Configure([](HWND) {
              Key(VK_F2);  // the remembered item's list
              std::this_thread::sleep_for(std::chrono::milliseconds(300));
              Key(VK_DOWN);
              Key(VK_ESCAPE);
              std::this_thread::sleep_for(std::chrono::milliseconds(300));
              Key(VK_ESCAPE);
            }),
            1);
  EXPECT_EQ(Ini(), before);
}

}  // namespace
