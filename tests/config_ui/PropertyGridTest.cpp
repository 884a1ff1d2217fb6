// The property grid's state, layout, hit testing and input rules, without a display.

#include "config_ui/CPropertyGrid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "ui/headless/HeadlessToolkit.h"

namespace {

using ui::headless::HeadlessWindow;

// The owner window: every message the grid sends it.
struct Owner : ui::MessageHandler {
  intptr_t OnMessage(ui::Window&, uint32_t message, uintptr_t wParam, intptr_t) override {
    messages.emplace_back(message, static_cast<int>(wParam));
    return 0;
  }
  std::vector<std::pair<uint32_t, int>> messages;
};

class PropertyGrid : public ::testing::Test {
 protected:
  void SetUp() override {
    grid.SetOwner(&window);
    grid.SetRowHeight(16);
    grid.SetClientSize(300, 400);
  }
  // The centre of a row's value cell, and of its name cell.
  ui::Point Value(int row) const { return ui::Point{250, row * 16 + 8 - grid.ScrollPos()}; }
  ui::Point Name(int row) const { return ui::Point{60, row * 16 + 8 - grid.ScrollPos()}; }
  int RowOf(int item) const {
    const auto rows = grid.Rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].item == item) return static_cast<int>(i);
    }
    return -1;
  }
  void Click(ui::Point p) {
    grid.OnLButtonDown(p);
    grid.OnLButtonUp(p);
  }

  Owner owner;
  HeadlessWindow window{"#32770", nullptr, 0, 0, &owner};
  CPropertyGrid grid;
};

TEST_F(PropertyGrid, CollapsingASectionMovesTheNextTitleUpByItsItems) {
  const int first = grid.AddSection("First");
  const int second = grid.AddSection("Second");
  grid.AddStringItem(first, "a", "1");
  grid.AddStringItem(first, "b", "2");
  grid.AddStringItem(second, "c", "3");
  EXPECT_EQ(grid.Rows().size(), 5u);
  EXPECT_EQ(grid.Rows()[3].section, second);
  grid.CollapseSection(first);
  ASSERT_EQ(grid.Rows().size(), 3u);
  EXPECT_EQ(grid.Rows()[1].section, second);
  EXPECT_EQ(grid.Rows()[1].item, -1) << "the second title, two rows up";
  // Flat mode: every item, sorted by name, no titles.
  grid.SetDisplayMode(1);
  EXPECT_EQ(grid.Rows().size(), 3u);
  EXPECT_EQ(grid.Rows()[0].item, 0);
  const int inserted = grid.AddSection("Zeroth", false, first);
  grid.SetDisplayMode(0);
  EXPECT_EQ(grid.Rows()[0].section, inserted) << "inserted before the first";
}

TEST_F(PropertyGrid, NamesAreUniquePerSectionAndIdsStartAgainAfterReset) {
  const int first = grid.AddSection("First");
  const int second = grid.AddSection("Second");
  EXPECT_EQ(grid.AddIntegerItem(first, "Gain", int64_t{1}), 0);
  EXPECT_EQ(grid.AddIntegerItem(first, "Gain", int64_t{2}), -1);
  EXPECT_EQ(grid.AddIntegerItem(second, "Gain", int64_t{3}), 1);
  EXPECT_EQ(grid.AddStringItem(99, "x", ""), -1) << "no such section";
  EXPECT_FALSE(grid.RemoveItem(42));
  grid.ResetContents();
  EXPECT_EQ(grid.AddSection("Again"), 0);
  EXPECT_EQ(grid.AddBoolItem(0, "On", true), 0);
}

TEST_F(PropertyGrid, TypedReadsAndWritesFollowTheItemType) {
  const int s = grid.AddSection("S");
  const int combo = grid.AddComboItem(s, "Mode", {"A", "B", "C"}, 1);
  const int number = grid.AddIntegerItem(s, "Count", int64_t{5000000000});
  const int colour = grid.AddColorItem(s, "Colour", ui::Rgb(255, 128, 0));
  const int text = grid.AddTextItem(s, "Notes", "one\r\ntwo");
  std::string entry;
  EXPECT_TRUE(grid.GetItemValue(combo, entry));
  EXPECT_EQ(entry, "B");
  int32_t narrow = 0;
  EXPECT_TRUE(grid.GetItemValue(number, narrow));
  EXPECT_EQ(narrow, static_cast<int32_t>(int64_t{5000000000}));
  double real = 0;
  EXPECT_FALSE(grid.GetItemValue(number, real)) << "another type";
  EXPECT_EQ(grid.DisplayText(*grid.GetItem(colour)), "255; 128; 0");
  // Display formats from the camera's nodes; one that does not fit the value falls back.
  const int hex = grid.AddIntegerItem(s, "Hex", int64_t{0x1234ABCD5}, "%X");
  const int unit = grid.AddDoubleItem(s, "Rate", 1.5, "%.4f Hz");
  const int wrong = grid.AddIntegerItem(s, "Wrong", int64_t{7}, "%s items");
  EXPECT_EQ(grid.DisplayText(*grid.GetItem(hex)), "1234ABCD5");
  EXPECT_EQ(grid.DisplayText(*grid.GetItem(unit)), "1.5000 Hz");
  EXPECT_EQ(grid.DisplayText(*grid.GetItem(wrong)), "7");
  EXPECT_EQ(grid.DisplayText(*grid.GetItem(text)), "one\xB6two");
  EXPECT_TRUE(grid.SetItemValue(combo, int64_t{7}));
  EXPECT_FALSE(grid.GetItemValue(combo, entry)) << "an index outside the entries";
  EXPECT_EQ(grid.DisplayText(*grid.GetItem(combo)), "");
  EXPECT_FALSE(grid.SetItemValue(text, true));
  EXPECT_TRUE(owner.messages.empty()) << "writes send nothing";
}

TEST_F(PropertyGrid, UndefinedCombosShowTheUndefinedTextAndIgnoreDoubleClicks) {
  grid.SetUndefinedString("<none>");
  const int s = grid.AddSection("S");
  const int undefinedCombo = grid.AddComboItem(s, "U", {"A", "B", "C"}, 0, true, true);
  const int combo = grid.AddComboItem(s, "W", {"A", "B", "C"}, 2);
  EXPECT_EQ(grid.DisplayText(*grid.GetItem(undefinedCombo)), "<none>");
  int64_t index = 0;
  EXPECT_FALSE(grid.GetItemValue(undefinedCombo, index));
  grid.OnLButtonDblClk(Value(RowOf(undefinedCombo)));
  EXPECT_TRUE(grid.GetItem(undefinedCombo)->undefined);
  owner.messages.clear();
  grid.OnLButtonDblClk(Value(RowOf(combo)));
  EXPECT_TRUE(grid.GetItemValue(combo, index));
  EXPECT_EQ(index, 0) << "wraps to the first entry";
  EXPECT_EQ(owner.messages, (std::vector<std::pair<uint32_t, int>>{{WM_PG_ITEMCHANGED, combo}}));
}

TEST_F(PropertyGrid, InPlaceEditsCommitNumbersAsFarAsTheyReadAndEmptyTextChangesNothing) {
  const int s = grid.AddSection("S");
  const int number = grid.AddIntegerItem(s, "Count", int64_t{5});
  const int real = grid.AddDoubleItem(s, "Ratio", 0.5);
  Click(Value(RowOf(number)));
  ASSERT_EQ(grid.OpenEditor(), CPropertyGrid::Editor::kInPlace);
  EXPECT_EQ(grid.InPlaceText(*grid.GetItem(number)), "5");
  owner.messages.clear();
  grid.OnEndLabelEdit("12abc");
  int64_t value = 0;
  EXPECT_TRUE(grid.GetItemValue(number, value));
  EXPECT_EQ(value, 12);
  EXPECT_EQ(owner.messages, (std::vector<std::pair<uint32_t, int>>{{WM_PG_ITEMCHANGED, number}}));
  owner.messages.clear();
  Click(Value(RowOf(number)));
  grid.OnEndLabelEdit("");
  EXPECT_TRUE(grid.GetItemValue(number, value));
  EXPECT_EQ(value, 12);
  EXPECT_TRUE(owner.messages.empty());
  Click(Value(RowOf(number)));
  grid.OnEndLabelEdit("99999999999999999999");  // beyond 64 bits: refused, not cut to the largest
  EXPECT_TRUE(grid.GetItemValue(number, value));
  EXPECT_EQ(value, 12);
  EXPECT_TRUE(owner.messages.empty());
  Click(Value(RowOf(real)));
  EXPECT_EQ(grid.InPlaceText(*grid.GetItem(real)), "0.5");
  grid.OnEndLabelEdit("2.25x");
  double ratio = 0;
  EXPECT_TRUE(grid.GetItemValue(real, ratio));
  EXPECT_EQ(ratio, 2.25);
  // A click on a name cell focuses without editing; a press released elsewhere edits nothing.
  grid.OnLButtonDown(Name(RowOf(number)));
  grid.OnLButtonUp(Name(RowOf(number)));
  EXPECT_EQ(grid.OpenEditor(), CPropertyGrid::Editor::kNone);
  grid.OnLButtonDown(Value(RowOf(number)));
  grid.OnLButtonUp(Value(RowOf(real)));
  EXPECT_EQ(grid.OpenEditor(), CPropertyGrid::Editor::kNone);
}

TEST_F(PropertyGrid, TheSplitterStaysWithinTheMiddleThreeFifths) {
  const int s = grid.AddSection("S");
  grid.AddStringItem(s, "a", "1");
  EXPECT_EQ(grid.Splitter(), 150);
  EXPECT_TRUE(grid.SplitterCursor(ui::Point{152, 20}));
  EXPECT_FALSE(grid.SplitterCursor(ui::Point{153, 20}));
  grid.OnLButtonDown(ui::Point{150, 20});
  grid.OnMouseMove(ui::Point{10, 20});
  EXPECT_EQ(grid.Splitter(), 60);
  grid.OnMouseMove(ui::Point{290, 20});
  EXPECT_EQ(grid.Splitter(), 240);
  grid.OnLButtonUp(ui::Point{290, 20});
  grid.OnMouseMove(ui::Point{100, 20});
  EXPECT_EQ(grid.Splitter(), 240) << "the drag ended";
}

TEST_F(PropertyGrid, FortyRowsScrollByTheirHeightAndAWheelNotchIsThreeRows) {
  const int s = grid.AddSection("S");
  for (int i = 0; i < 39; ++i) grid.AddIntegerItem(s, "n" + std::to_string(i), int64_t{i});
  EXPECT_TRUE(grid.ScrollBarVisible());
  EXPECT_EQ(grid.ScrollRange(), 640);
  EXPECT_EQ(grid.ScrollPage(), 400);
  grid.OnMouseWheel(-120);
  EXPECT_EQ(grid.ScrollPos(), 48);
  grid.OnMouseWheel(-120 * 10);
  EXPECT_EQ(grid.ScrollPos(), 240) << "no further than the last page";
  grid.OnMouseWheel(120 * 10);
  EXPECT_EQ(grid.ScrollPos(), 0);
  grid.CollapseSection(s);
  EXPECT_FALSE(grid.ScrollBarVisible());
}

TEST_F(PropertyGrid, TheKeyboardWalksRowsAcrossSectionsAndFoldsThem) {
  const int first = grid.AddSection("First");
  const int a = grid.AddStringItem(first, "a", "");
  const int second = grid.AddSection("Second");
  const int b = grid.AddStringItem(second, "b", "");
  constexpr int kDown = 0x28, kUp = 0x26, kLeft = 0x25, kRight = 0x27;
  grid.OnKeyDown(kDown);
  EXPECT_EQ(grid.GetFocusedSection(), first);
  grid.OnKeyDown(kDown);
  EXPECT_EQ(grid.GetFocusedItem(), a);
  grid.OnKeyDown(kDown);
  EXPECT_EQ(grid.GetFocusedSection(), second);
  grid.OnKeyDown(kLeft);
  EXPECT_TRUE(grid.IsSectionCollapsed(second)) << "left folds the focused section";
  grid.OnKeyDown(kDown);
  EXPECT_EQ(grid.GetFocusedSection(), first) << "wraps past the end";
  grid.OnKeyDown(kUp);
  EXPECT_EQ(grid.GetFocusedSection(), second);
  grid.OnKeyDown(kRight);
  EXPECT_FALSE(grid.IsSectionCollapsed(second));
  grid.OnKeyDown(kRight);
  EXPECT_EQ(grid.GetFocusedItem(), b);
  grid.OnChar('/');
  EXPECT_TRUE(grid.IsSectionCollapsed(first) && grid.IsSectionCollapsed(second));
  grid.OnChar('*');
  EXPECT_FALSE(grid.IsSectionCollapsed(first) || grid.IsSectionCollapsed(second));
  EXPECT_EQ(owner.messages.back(), (std::pair<uint32_t, int>{WM_PG_SELECTIONCHANGED, b}));
  // Items that are not editable are skipped once focus disabled is off.
  grid.SetFocusDisabled(false);
  grid.EnableItem(a, false);
  grid.SelectItem(b);
  grid.OnKeyDown(kUp);
  EXPECT_EQ(grid.GetFocusedSection(), second);
  grid.OnKeyDown(kUp);
  EXPECT_EQ(grid.GetFocusedSection(), first);
}

TEST_F(PropertyGrid, DropDownsStoreTheChoiceAndBoolsToggleOnDoubleClick) {
  const int s = grid.AddSection("S");
  const int on = grid.AddBoolItem(s, "On", false);
  Click(Value(RowOf(on)));
  ASSERT_EQ(grid.OpenEditor(), CPropertyGrid::Editor::kList);
  EXPECT_EQ(grid.ListEntries(*grid.GetItem(on)), (std::vector<std::string>{"True", "False"}));
  grid.OnListChoice(0);
  bool value = false;
  EXPECT_TRUE(grid.GetItemValue(on, value));
  EXPECT_TRUE(value);
  grid.OnLButtonDblClk(Value(RowOf(on)));
  EXPECT_TRUE(grid.GetItemValue(on, value));
  EXPECT_FALSE(value);
  EXPECT_EQ(grid.DisplayText(*grid.GetItem(on)), "False");
  EXPECT_FALSE(grid.GetItem(on)->Modified()) << "back to the value it was added with";
}

// Painting, through the headless window system: what the four steps draw.
TEST(PropertyGridPainting, FocusButtonsUndefinedValuesAndTheEmptyMessage) {
  ui::headless::HeadlessToolkit toolkit;
  ui::SetToolkit(&toolkit);
  HeadlessWindow parent("#32770", nullptr, 0, 0, nullptr);
  parent.Place(ui::Rect{0, 0, 400, 300});
  CPropertyGrid grid;
  ASSERT_TRUE(grid.Create(&parent, ui::Rect{0, 0, 300, 200}, 1001));
  grid.SetEmptyMessage("Nothing to show");
  ui::headless::RecordingSurface screen;
  grid.Paint(screen);
  EXPECT_EQ(screen.Operations()[1], "buffer 300x200") << "after the font is measured";
  EXPECT_EQ(screen.Operations().back(), "blit 0,0");
  EXPECT_EQ(screen.Find("[Nothing to show]"),
            std::vector<std::string>{"text -75,10,375,200 #0.0.0 17 [Nothing to show]"})
      << "centred, word-wrapped, 10 below the top, a quarter wider each side";
  EXPECT_EQ(grid.Rows().size(), 0u);

  grid.SetUndefinedString("?");
  const int s = grid.AddSection("Camera");
  const int on = grid.AddBoolItem(s, "On", true);
  const int notes = grid.AddTextItem(s, "Notes", "", true, true);
  grid.SelectItem(on);
  screen.Clear();
  grid.Paint(screen);
  // "Gg" is 13 high on this surface: rows of 17.
  EXPECT_EQ(grid.RowRect(1), (ui::Rect{0, 17, 300, 34}));
  const std::string focus = "#0.120.215";
  EXPECT_EQ(screen.Find("fill 17,17,150,33 " + focus).size(), 1u) << "the focused name cell";
  EXPECT_EQ(screen.Find("#255.255.255 32804 [On]").size(), 1u) << "its name in the focus-text colour";
  EXPECT_EQ(screen.Find("arrow 283,17,300,34").size(), 1u) << "a drop-down arrow at the cell's end";
  EXPECT_EQ(screen.Find("[?]").size(), 1u) << "the undefined text item";
  EXPECT_EQ(screen.Find("font Tahoma bold").size(), 1u) << "only the title is bold";
  grid.SelectItem(notes);
  screen.Clear();
  grid.Paint(screen);
  EXPECT_EQ(screen.Find("button 283,34,300,51").size(), 1u) << "a dialog item's push button";
  EXPECT_EQ(screen.Find("[...]").size(), 1u);
  EXPECT_TRUE(screen.Find("arrow").empty());
  ui::SetToolkit(nullptr);
}

// The editors as windows of the headless window system.
class PropertyGridEditors : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetToolkit(&toolkit);
    parent.Place(ui::Rect{0, 0, 400, 300});
    ASSERT_TRUE(grid.Create(&parent, ui::Rect{0, 0, 300, 200}, 1001));
    grid.SetOwner(&owner);
    section = grid.AddSection("S");
  }
  void TearDown() override { ui::SetToolkit(nullptr); }
  HeadlessWindow* Window() { return static_cast<HeadlessWindow*>(grid.GetWindow()); }
  ui::Point ValueOf(int item) {
    const auto rows = grid.Rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].item == item) return ui::Point{250, static_cast<int>(i) * 16 + 8};
    }
    return ui::Point{};
  }
  void Click(int item) {
    Window()->SendMessage(ui::msg::kLButtonDown, 0, ui::PackPoint(ValueOf(item)));
    Window()->SendMessage(ui::msg::kLButtonUp, 0, ui::PackPoint(ValueOf(item)));
  }
  int Changes() const {
    return static_cast<int>(std::count_if(recorder.messages.begin(), recorder.messages.end(),
                                          [](const auto& m) { return m.first == WM_PG_ITEMCHANGED; }));
  }

  ui::headless::HeadlessToolkit toolkit;
  HeadlessWindow parent{"#32770", nullptr, 0, 0, nullptr};
  Owner recorder;
  HeadlessWindow owner{"#32770", nullptr, 0, 0, &recorder};
  CPropertyGrid grid;
  int section = -1;
};

TEST_F(PropertyGridEditors, TheInPlaceEditCommitsOnceWhenItLosesTheFocusAndEscapeRestores) {
  const int name = grid.AddStringItem(section, "Name", "old");
  Click(name);
  HeadlessWindow* edit = Window()->Child(1000);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->ClassName(), "EDIT");
  EXPECT_EQ(edit->GetText(), "old");
  EXPECT_EQ(edit->WindowRect(), (ui::Rect{151, 18, 300, 32})) << "1 in from the left, 2 from the top";
  edit->SetText("new");
  edit->LoseFocus();
  edit->LoseFocus();
  std::string value;
  EXPECT_TRUE(grid.GetItemValue(name, value));
  EXPECT_EQ(value, "new");
  EXPECT_EQ(Changes(), 1);
  EXPECT_TRUE(edit->Destroyed());

  Click(name);
  edit = static_cast<HeadlessWindow*>(Window()->Children().back().get());
  edit->SetText("typed");
  EXPECT_EQ(edit->PressKey(0x1B), 1) << "Escape";
  EXPECT_EQ(edit->GetText(), "new");
  EXPECT_TRUE(grid.GetItemValue(name, value));
  EXPECT_EQ(value, "new");
  EXPECT_EQ(Changes(), 1);
  EXPECT_EQ(grid.OpenEditor(), CPropertyGrid::Editor::kNone);

  Click(name);
  edit = static_cast<HeadlessWindow*>(Window()->Children().back().get());
  EXPECT_EQ(edit->PressKey(0x41), 0) << "an ordinary key stays the edit's";
  EXPECT_EQ(edit->PressKey(0x26, true), 1) << "Ctrl+Up hands the focus back";
  edit->SetText("last");
  edit->LoseFocus();
  EXPECT_TRUE(grid.GetItemValue(name, value));
  EXPECT_EQ(value, "last");
}

TEST_F(PropertyGridEditors, TheListAndTheCalendarPopUpBelowTheCellAndStoreTheChoice) {
  const int on = grid.AddBoolItem(section, "On", true);
  const int day = grid.AddDateItem(section, "Day", ui::DateTime{2026, 1, 2});
  Click(on);
  ASSERT_FALSE(toolkit.popups.empty());
  HeadlessWindow* list = toolkit.popups.back();
  EXPECT_EQ(list->entries, (std::vector<std::string>{"True", "False"}));
  EXPECT_EQ(list->selected, 0);
  EXPECT_EQ(list->WindowRect(), (ui::Rect{150, 32, 300, 66})) << "below the cell, a row an entry and 2";
  list->Choose(1);
  bool value = true;
  EXPECT_TRUE(grid.GetItemValue(on, value));
  EXPECT_FALSE(value);
  EXPECT_EQ(Changes(), 1);
  Click(day);
  HeadlessWindow* calendar = toolkit.popups.back();
  EXPECT_EQ(calendar->ClassName(), "popup-calendar");
  EXPECT_EQ(calendar->GetDateTime(), (ui::DateTime{2026, 1, 2}));
  calendar->ChooseDate(ui::DateTime{2026, 12, 24});
  ui::DateTime date;
  EXPECT_TRUE(grid.GetItemValue(day, date));
  EXPECT_EQ(date, (ui::DateTime{2026, 12, 24}));
  Click(on);
  toolkit.popups.back()->Dismiss();
  EXPECT_EQ(grid.OpenEditor(), CPropertyGrid::Editor::kNone);
  EXPECT_EQ(Changes(), 2);
}

TEST_F(PropertyGridEditors, DialogItemsOpenTheirDialogsAndOnlyAnAcceptedOneChangesTheValue) {
  const int notes = grid.AddTextItem(section, "Notes", "one");
  const int file = grid.AddFileItem(section, "Table", "a.lut", "Tables (*.lut)|*.lut||");
  const int folder = grid.AddFolderItem(section, "Pictures", "/old", "Where");
  toolkit.onModal = [](HeadlessWindow& dialog) {
    EXPECT_EQ(dialog.GetText(), "Notes");
    for (const auto& child : dialog.Children()) {
      if (child->ClassName() == "EDIT") child->SetText("two\r\nlines");
    }
    dialog.Click(ui::kIdOk);
  };
  grid.OnLButtonDblClk(ValueOf(notes));
  std::string value;
  EXPECT_TRUE(grid.GetItemValue(notes, value));
  EXPECT_EQ(value, "two\r\nlines");
  toolkit.onModal = [](HeadlessWindow& dialog) { dialog.Click(ui::kIdCancel); };
  grid.OnLButtonDblClk(ValueOf(notes));
  EXPECT_TRUE(grid.GetItemValue(notes, value));
  EXPECT_EQ(value, "two\r\nlines");
  EXPECT_EQ(Changes(), 1);

  toolkit.accept = true;
  toolkit.filePath = "/tables/b.lut";
  toolkit.folderPath = "";
  grid.OnLButtonDblClk(ValueOf(file));
  grid.OnLButtonDblClk(ValueOf(folder));
  EXPECT_TRUE(grid.GetItemValue(file, value));
  EXPECT_EQ(value, "/tables/b.lut");
  EXPECT_TRUE(grid.GetItemValue(folder, value));
  EXPECT_EQ(value, "/old") << "an empty folder leaves the path";
  EXPECT_EQ(toolkit.dialogsShown, (std::vector<std::string>{"file Tables (*.lut)|*.lut||", "folder Where"}));
  EXPECT_EQ(Changes(), 2);
}

}  // namespace
