// The wxWidgets module under Xvfb, loaded as the driver loads it, from a program that is not a
// wxWidgets program: a run-time dialog driven by real pointer and key events through the X server.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "config_ui/CDynDialogEx.h"
#include "config_ui/CPropertyGrid.h"
#include "ui/Ui.h"
#include "ui/xtest/XInput.h"

namespace {

using ui::xtest::ScreenRect;
using ui::xtest::XInput;

// Notes where the window system put the controls, for the pointer to find them.
class ProbedDialog : public CDynDialogEx {
 public:
  intptr_t OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    const intptr_t result = CDynDialogEx::OnMessage(self, message, wParam, lParam);
    if (message == ui::msg::kInitDialog) {
      for (const auto& item : GetItems()) {
        const ui::Rect pixels = ui::GetToolkit()->MapDialogRect(self, item->GetRect());
        centres.push_back(ui::Point{(pixels.left + pixels.right) / 2, (pixels.top + pixels.bottom) / 2});
      }
      ready = true;
    }
    return result;
  }
  std::vector<ui::Point> centres;  // written before `ready`
  std::atomic<bool> ready{false};
};

TEST(WxModule, ARunTimeDialogTakesRealInputAndGivesTheBoundValuesBack) {
  std::string why;
  ui::UiModule* module = ui::LoadUiModule(&why);
  ASSERT_NE(module, nullptr) << why;
  for (int round = 0; round < 2; ++round) {  // the second after a shutdown: the thread starts again
    std::string text;
    int checked = 0;
    intptr_t result = 0;
    bool painted = false;
    ProbedDialog dialog;
    dialog.SetWindowTitle("Korvex test");
    dialog.AddControl(129, "", 0x50010080, 0x200, nullptr, &text);
    dialog.AddControl(128, "Check", 0x50010003, 0, nullptr, &checked);
    std::thread user([&] {
      XInput input;
      ScreenRect shown;
      if (!input.IsOpen() || !input.WaitForWindow("Korvex test", 10000, &shown)) return;
      while (!dialog.ready) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      std::this_thread::sleep_for(std::chrono::milliseconds(300));  // drawn
      painted = input.HasContent(shown);
      const auto at = [&](int item) { return ui::Point{shown.x + dialog.centres[item].x, shown.y + dialog.centres[item].y}; };
      input.Click(at(0).x, at(0).y);
      input.Type("hello");
      input.Click(at(1).x, at(1).y);
      input.Click(at(2).x, at(2).y);  // OK
    });
    ASSERT_TRUE(ui::CallUi(*module, [&] { result = dialog.DoModal(); })) << "no display";
    user.join();
    EXPECT_EQ(result, ui::kIdOk);
    EXPECT_EQ(text, "hello");
    EXPECT_EQ(checked, 1);
    EXPECT_TRUE(painted) << "the dialog on the screen is not blank";
    module->Shutdown();
  }
}

// A dialog holding a grid, made once the dialog's own controls are in.
class GridDialog : public CDynDialogEx {
 public:
  intptr_t OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    const intptr_t result = CDynDialogEx::OnMessage(self, message, wParam, lParam);
    if (message == ui::msg::kInitDialog && grid.Create(&self, ui::Rect{0, 0, 300, 200}, 1001)) {
      const int section = grid.AddSection("Section");
      on = grid.AddBoolItem(section, "On", true);
      mode = grid.AddComboItem(section, "Mode", {"A", "B", "C"}, 2);
      ready = true;
    }
    return result;
  }
  CPropertyGrid grid;
  int on = -1, mode = -1;
  std::atomic<bool> ready{false};
};

TEST(WxModule, TheGridTakesClicksAndDoubleClicksThroughTheXServer) {
  std::string why;
  ui::UiModule* module = ui::LoadUiModule(&why);
  ASSERT_NE(module, nullptr) << why;
  GridDialog dialog;
  dialog.SetWindowTitle("Grid test");
  dialog.AddControl(130, "", 0x50000000, 0, nullptr);  // room below the grid for the buttons
  for (int i = 0; i < 10; ++i) dialog.AddControl(130, "", 0x50000000, 0, nullptr);
  intptr_t result = 0;
  std::thread user([&] {
    XInput input;
    ScreenRect shown;
    if (!input.IsOpen() || !input.WaitForWindow("Grid test", 10000, &shown)) return;
    while (!dialog.ready) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // painted: the rows have their height
    // Rows: the title, "On", "Mode"; the grid is idle in the modal loop while these are read.
    const ui::Rect onCell = dialog.grid.ValueRect(1), modeCell = dialog.grid.ValueRect(2);
    const int row = onCell.Height();
    input.Click(shown.x + onCell.left + 20, shown.y + onCell.top + row / 2);  // the list drops down
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    input.Click(shown.x + onCell.left + 20, shown.y + onCell.bottom + row + row / 2);  // "False"
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // A double click on the name (a click in the value cell would drop the list down).
    input.Click(shown.x + modeCell.left - 40, shown.y + modeCell.top + row / 2);
    input.Click(shown.x + modeCell.left - 40, shown.y + modeCell.top + row / 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    input.Key("Escape");
  });
  ASSERT_TRUE(ui::CallUi(*module, [&] { result = dialog.DoModal(); })) << "no display";
  user.join();
  EXPECT_EQ(result, ui::kIdCancel);
  bool on = true;
  EXPECT_TRUE(dialog.grid.GetItemValue(dialog.on, on));
  EXPECT_FALSE(on) << "chosen in the drop-down list";
  int64_t mode = -1;
  EXPECT_TRUE(dialog.grid.GetItemValue(dialog.mode, mode));
  EXPECT_EQ(mode, 0) << "a double click wraps to the first entry";
  module->Shutdown();
}

}  // namespace
