// The wxWidgets module under Xvfb, loaded as the driver loads it, from a program that is not a
// wxWidgets program: a run-time dialog driven by real pointer and key events through the X server.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

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

// A dialog holding a grid, made once the dialog's own controls are in: a true/false item, a
// three-entry list, and numbers enough to scroll.
class GridDialog : public CDynDialogEx {
 public:
  intptr_t OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    const intptr_t result = CDynDialogEx::OnMessage(self, message, wParam, lParam);
    if (message == ui::msg::kInitDialog && grid.Create(&self, ui::Rect{0, 0, 300, 200}, 1001)) {
      const int section = grid.AddSection("Section");
      on = grid.AddBoolItem(section, "On", true);
      mode = grid.AddComboItem(section, "Mode", {"A", "B", "C"}, 0);
      for (int i = 0; i < 30; ++i) numbers.push_back(grid.AddIntegerItem(section, "N" + std::to_string(i), int64_t{0}));
      ready = true;
    }
    return result;
  }
  CPropertyGrid grid;
  int on = -1, mode = -1;
  std::vector<int> numbers;
  std::atomic<bool> ready{false};
};

// The grid's dialog on the screen, and a user at it. Values are read while the dialog idles in its
// modal loop between two steps.
class GridAtHand : public ::testing::Test {
 protected:
  template <typename F>
  intptr_t Run(F user) {
    std::string why;
    ui::UiModule* module = ui::LoadUiModule(&why);
    EXPECT_NE(module, nullptr) << why;
    if (module == nullptr) return -1;
    dialog.SetWindowTitle("Grid test");
    for (int i = 0; i < 11; ++i) dialog.AddControl(130, "", 0x50000000, 0, nullptr);  // room below the grid
    intptr_t result = -1;
    std::thread hands([&] {
      XInput input;
      if (!input.IsOpen() || !input.WaitForWindow("Grid test", 10000, &shown)) return;
      while (!dialog.ready) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      std::this_thread::sleep_for(std::chrono::milliseconds(300));  // painted: the rows have their height
      user(input);
    });
    EXPECT_TRUE(ui::CallUi(*module, [&] { result = dialog.DoModal(); })) << "no display";
    hands.join();
    module->Shutdown();
    return result;
  }
  // The middle of a row's value cell on the screen (rows: the title, "On", "Mode", the numbers).
  ui::Point Cell(int row) const {
    const ui::Rect cell = dialog.grid.ValueRect(row);
    return ui::Point{shown.x + cell.left + 20, shown.y + (cell.top + cell.bottom) / 2};
  }
  // The dropped-down list's rows as the toolkit draws them: the selected one stands out in the
  // highlight colour; its top and height along a column just inside the list's left edge.
  static bool SelectedBand(XInput& input, ui::Point below, int& top, int& height) {
    std::vector<unsigned char> rgb;
    if (!input.Capture(ScreenRect{below.x, below.y, 1, 200}, rgb)) return false;
    top = height = 0;
    for (int y = 0; y < 200; ++y) {
      const unsigned char* p = &rgb[static_cast<std::size_t>(y) * 3];
      const bool coloured = std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) > 60;
      if (coloured && height == 0) top = y;
      if (coloured) ++height;
      if (!coloured && height > 0) break;
    }
    top += below.y;
    return height > 0;
  }
  bool On() { bool value = false; dialog.grid.GetItemValue(dialog.on, value); return value; }
  int64_t Mode() { int64_t value = -1; dialog.grid.GetItemValue(dialog.mode, value); return value; }

  GridDialog dialog;
  ScreenRect shown;
};

void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(250)); }

TEST_F(GridAtHand, AListChoosesOnlyByClickOrEnterShowsEveryEntryAndEscapeChangesNothing) {
  bool afterArrow = false, afterEscape = false, afterEnter = true;
  int rowHeight = 0;
  int64_t clicked = -1;
  const intptr_t result = Run([&](XInput& input) {
    const ui::Point on = Cell(1);
    input.Click(on.x, on.y);  // the list drops down, "True" selected
    Settle();
    input.Key("Down");  // moves to "False", chooses nothing
    Settle();
    afterArrow = On();
    input.Key("Escape");
    Settle();
    afterEscape = On();
    input.Click(on.x, on.y);
    Settle();
    input.Key("Down");
    input.Key("Return");
    Settle();
    afterEnter = On();
    // The three-entry list: its third row is there to be clicked.
    const ui::Point mode = Cell(2);
    input.Click(mode.x, mode.y);
    Settle();
    const ui::Rect cell = dialog.grid.ValueRect(2);
    int top = 0;
    if (SelectedBand(input, ui::Point{shown.x + cell.left + 4, shown.y + cell.bottom}, top, rowHeight)) {
      input.Click(mode.x, top + 2 * rowHeight + rowHeight / 2);
      Settle();
    }
    clicked = Mode();
    input.Key("Escape");
  });
  EXPECT_EQ(result, ui::kIdCancel);
  EXPECT_TRUE(afterArrow) << "an arrow key only moves the selection";
  EXPECT_TRUE(afterEscape) << "Escape closes the list without a change";
  EXPECT_FALSE(afterEnter) << "Enter chooses the selected entry";
  EXPECT_GT(rowHeight, 0) << "the list dropped down with its entry selected";
  EXPECT_EQ(clicked, 2) << "the third entry is shown and a click chooses it";
}

TEST_F(GridAtHand, TheInPlaceEditCommitsWhenTheWheelScrollsAndEnterThenConfirmsTheDialog) {
  int64_t afterWheel = -1;
  const intptr_t result = Run([&](XInput& input) {
    const ui::Point first = Cell(3);
    input.Click(first.x, first.y);  // the edit opens over "N0"
    Settle();
    input.Type("77");
    input.Wheel(first.x, first.y, 2);
    Settle();
    dialog.grid.GetItemValue(dialog.numbers[0], afterWheel);
    input.Key("Return");  // no editor open any more: the dialog's OK
  });
  EXPECT_EQ(afterWheel, 77) << "the edit committed before its row moved away";
  EXPECT_EQ(result, ui::kIdOk) << "Enter on the grid confirms the dialog";
}

}  // namespace
