#pragma once
// The property grid's editors: the in-place edit, the drop-down list and the month calendar. Each
// is a window of the toolkit whose events come to the editor object, which tells the grid through
// its window: 1512 with the edited text, 1511 with the chosen index, 1513 for the calendar's date.
//
// Threads: the dialog's user-interface thread only.

#include <string>
#include <vector>

#include "ui/Ui.h"

class CPropertyGrid;

class CPropertyGridInPlaceEdit : public ui::MessageHandler {
 public:
  // An edit control (id 1000) over `rect` of the grid's window, holding `text`, with the focus.
  CPropertyGridInPlaceEdit(ui::Window& grid, const ui::Rect& rect, const ui::Font& font, const std::string& text);
  ui::Window* GetWindow() const { return mEdit; }
  intptr_t OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  ui::Window& mGrid;
  ui::Window* mEdit = nullptr;
  std::string mInitialText;
  bool mSent = false;  // the text went to the grid once; the focus loss that follows sends nothing
};

class CPropertyGridCombo : public ui::MessageHandler {
 public:
  // A popup list whose top-left is `screen`'s, with `selected` chosen (-1: none).
  CPropertyGridCombo(ui::Window& grid, const ui::Rect& screen, const std::vector<std::string>& entries, int selected);
  ui::Window* GetWindow() const { return mList; }
  intptr_t OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  ui::Window& mGrid;
  ui::Window* mList = nullptr;
};

class CPropertyGridMonthCalCtrl : public ui::MessageHandler {
 public:
  CPropertyGridMonthCalCtrl(ui::Window& grid, const ui::Rect& screen, const ui::DateTime& date);
  ui::Window* GetWindow() const { return mCalendar; }
  intptr_t OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  ui::Window& mGrid;
  ui::Window* mCalendar = nullptr;
};

// The folder browser: file-system folders only, titled, starting at the current path; true with
// the chosen folder, false when cancelled or nothing was chosen.
class CPropertyGridDirectoryPicker {
 public:
  static bool PickDirectory(ui::Window* owner, const std::string& title, std::string& path);
};
