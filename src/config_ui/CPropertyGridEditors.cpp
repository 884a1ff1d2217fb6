#include "CPropertyGridEditors.h"

#include "CPropertyGrid.h"

namespace {

constexpr int kEditId = 1000;
constexpr uint32_t kEditStyle = 0x50000080;  // child, visible, automatic horizontal scroll
constexpr int VK_TAB = 0x09, VK_RETURN = 0x0D, VK_ESCAPE = 0x1B, VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_LEFT = 0x25,
              VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28;

}  // namespace

CPropertyGridInPlaceEdit::CPropertyGridInPlaceEdit(ui::Window& grid, const ui::Rect& rect, const ui::Font& font,
                                                   const std::string& text)
    : mGrid(grid), mInitialText(text) {
  ui::Toolkit* toolkit = ui::GetToolkit();
  mEdit = toolkit->CreateControl("EDIT", text, kEditStyle, 0, rect, &grid, kEditId);
  if (mEdit == nullptr) return;
  mEdit->SetFont(font);
  toolkit->HookControl(*mEdit, *this);
  mEdit->SetFocus();
}

intptr_t CPropertyGridInPlaceEdit::OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == ui::msg::kKeyDown) {
    const int key = static_cast<int>(wParam);
    const bool ctrl = lParam != 0;
    if (key == VK_ESCAPE) {
      // The text it started with goes back, and nothing is committed.
      self.SetText(mInitialText);
      mSent = true;
      mGrid.SendMessage(WM_PG_ENDLABELEDIT, 0, 0);
      return 1;
    }
    if (key == VK_RETURN || key == VK_TAB ||
        (ctrl && (key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT || key == VK_PRIOR || key == VK_NEXT))) {
      mGrid.SetFocus();
      return 1;
    }
    return 0;
  }
  if (message == ui::msg::kKillFocus && !mSent) {
    mSent = true;
    const std::string text = self.GetText();
    // The grid closes this editor; nothing of it is used after.
    mGrid.SendMessage(WM_PG_ENDLABELEDIT, reinterpret_cast<uintptr_t>(&text), 0);
  }
  return 0;
}

CPropertyGridCombo::CPropertyGridCombo(ui::Window& grid, const ui::Rect& screen, const std::vector<std::string>& entries,
                                       int selected)
    : mGrid(grid) {
  mList = ui::GetToolkit()->CreatePopupList(grid, screen, entries, selected, *this);
}

intptr_t CPropertyGridCombo::OnMessage(ui::Window&, uint32_t message, uintptr_t wParam, intptr_t) {
  if (message == ui::msg::kCommand) mGrid.SendMessage(WM_PG_SELECTIONCHANGED, wParam, 1);
  else if (message == ui::msg::kDestroy) mGrid.SendMessage(WM_PG_SELECTIONCHANGED, static_cast<uintptr_t>(-1), 1);
  return 0;
}

CPropertyGridMonthCalCtrl::CPropertyGridMonthCalCtrl(ui::Window& grid, const ui::Rect& screen, const ui::DateTime& date)
    : mGrid(grid) {
  mCalendar = ui::GetToolkit()->CreatePopupCalendar(grid, screen, date, *this);
}

intptr_t CPropertyGridMonthCalCtrl::OnMessage(ui::Window& self, uint32_t message, uintptr_t, intptr_t) {
  if (message == ui::msg::kCommand) {
    const ui::DateTime date = self.GetDateTime();
    mGrid.SendMessage(WM_PG_DATESELCHANGED, reinterpret_cast<uintptr_t>(&date), 0);
  } else if (message == ui::msg::kDestroy) {
    mGrid.SendMessage(WM_PG_DATESELCHANGED, 0, 0);
  }
  return 0;
}

bool CPropertyGridDirectoryPicker::PickDirectory(ui::Window* owner, const std::string& title, std::string& path) {
  std::string chosen = path;
  if (!ui::GetToolkit()->FolderDialog(owner, title, chosen) || chosen.empty()) return false;
  path = chosen;
  return true;
}
