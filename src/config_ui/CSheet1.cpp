#include "CSheet1.h"

namespace {

constexpr int kStatusBarHeight = 12;  // dialog units

}  // namespace

CSheet1::CSheet1(const std::string& title, ui::Window* parent) : CPropertySheet(title, parent) {
  SetFont(&mFont);
  SetFontSize(8);
}

void CSheet1::OnInitDialog(ui::Window& self) {
  CPropertySheet::OnInitDialog(self);
  ui::Toolkit& toolkit = *ui::GetToolkit();
  // Apply and Help go; OK and Cancel take their places.
  ui::Window* ok = self.GetDlgItem(ui::kIdOk);
  ui::Window* cancel = self.GetDlgItem(ui::kIdCancel);
  ui::Window* apply = self.GetDlgItem(kApplyId);
  ui::Window* help = self.GetDlgItem(kHelpId);
  if (ok != nullptr && cancel != nullptr && apply != nullptr && help != nullptr) {
    apply->ShowWindow(false);
    help->ShowWindow(false);
    ok->SetWindowPos(apply->GetWindowRect());
    cancel->SetWindowPos(help->GetWindowRect());
  }
  // The status bar along the bottom, the sheet grown by its height.
  const ui::Rect client = self.GetClientRect();
  const int height = toolkit.MapDialogRect(self, ui::Rect{0, 0, 0, kStatusBarHeight}).bottom;
  mStatusBar = toolkit.CreateControl("msctls_statusbar32", "", ui::style::kChild | ui::style::kVisible, 0,
                                     ui::Rect{0, client.bottom, client.right, client.bottom + height}, &self,
                                     kStatusBarId);
  if (mStatusBar != nullptr) {
    mStatusBar->SetFont(mFont);
    mStatusBar->SetText(mStatusText);
    self.SetClientSize(client.right, client.bottom + height);
  }
  // Every page made once, last to first.
  for (int i = GetPageCount() - 1; i >= 0; --i) SetActivePage(i);
  if (ok != nullptr) ok->EnableWindow(mOkAllowed);
}

void CSheet1::EnableOk(bool enable) {
  mOkAllowed = enable;
  if (GetWindow() != nullptr) {
    if (ui::Window* ok = GetWindow()->GetDlgItem(ui::kIdOk)) ok->EnableWindow(enable);
  }
  if (enable) SetStatusText("");
}

void CSheet1::SetStatusText(const std::string& text) {
  mStatusText = text;
  if (mStatusBar != nullptr && GetWindow() != nullptr) mStatusBar->SetText(text);
}

intptr_t CSheet1::OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  // Enter or a click that reaches a disabled OK confirms nothing.
  if (message == ui::msg::kCommand && static_cast<int>(wParam & 0xFFFF) == ui::kIdOk && !mOkAllowed) return 0;
  const intptr_t result = CPropertySheet::OnMessage(self, message, wParam, lParam);
  if (message == ui::msg::kDestroy) mStatusBar = nullptr;
  return result;
}
