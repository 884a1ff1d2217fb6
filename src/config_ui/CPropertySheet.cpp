#include "CPropertySheet.h"

#include <algorithm>

namespace {

constexpr uint32_t kDialogSetFont = 0x00000040;
constexpr uint32_t kChildControl = ui::style::kChild | ui::style::kVisible;
constexpr uint32_t kButton = kChildControl | ui::style::kTabStop;
// The sheet's margins and buttons, in dialog units.
constexpr int kMargin = 7;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kButtonGap = 6;
// The buttons from left to right.
constexpr int kButtonIds[] = {ui::kIdOk, ui::kIdCancel, CPropertySheet::kApplyId, CPropertySheet::kHelpId};
constexpr const char* kButtonCaptions[] = {"OK", "Cancel", "&Apply", "Help"};
constexpr int kButtons = 4;

}  // namespace

CPropertyPage::CPropertyPage(const std::string& caption, int16_t cx, int16_t cy) {
  SetWindowTitle(caption);
  RemoveStyles(0xFFFFFFFF);
  AddStyles(ui::style::kChild | ui::style::kVisible | kDialogSetFont);
  SetExStyle(0);
  SetUseSystemButtons(false);
  SetModeless(true);
  SetExtent(cx, cy);
}

bool CPropertyPage::Create(ui::Window& tabPage) {
  SetParentWindow(&tabPage);
  return DoModal() == 1 && GetWindow() != nullptr;
}

intptr_t CPropertyPage::OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  const intptr_t result = CDynDialogEx::OnMessage(self, message, wParam, lParam);
  if (message == ui::msg::kInitDialog) OnInitDialog(self);
  return result;
}

CPropertySheet::CPropertySheet(const std::string& title, ui::Window* parent) : CDynDialogEx(parent) {
  SetWindowTitle(title);
  SetUseSystemButtons(false);
}

intptr_t CPropertySheet::DoModal() {
  // The template holds the tab control and the buttons; the pages' size decides the first layout,
  // which the initialisation redoes in pixels once the tabs are in.
  int cx = 0;
  int cy = 0;
  for (const CPropertyPage* page : mPages) {
    cx = std::max<int>(cx, page->GetHeader().cx);
    cy = std::max<int>(cy, page->GetHeader().cy);
  }
  const ui::Rect tabs{kMargin, kMargin, kMargin + cx + 4, kMargin + cy + 16};
  if (GetHeader().count == 0) AddControls(tabs);
  const int top = tabs.bottom + kMargin;
  SetExtent(static_cast<int16_t>(tabs.right + kMargin), static_cast<int16_t>(top + kButtonHeight + kMargin));
  const intptr_t result = CDynDialogEx::DoModal();
  // The pages' windows went with the sheet's.
  for (CPropertyPage* page : mPages) page->ForgetWindow();
  mTabPages.clear();
  mActive = -1;
  return result;
}

void CPropertySheet::AddControls(const ui::Rect& tabs) {
  AddTemplateControl("SysTabControl32", "", kChildControl | ui::style::kTabStop, 0, &tabs, kTabControlId);
  const int top = tabs.bottom + kMargin;
  for (int i = 0; i < kButtons; ++i) {
    const int right = tabs.right - (kButtons - 1 - i) * (kButtonWidth + kButtonGap);
    const ui::Rect button{right - kButtonWidth, top, right, top + kButtonHeight};
    AddTemplateControl("BUTTON", kButtonCaptions[i], kButton, 0, &button, kButtonIds[i]);
  }
}

intptr_t CPropertySheet::OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  const intptr_t result = CDynDialogEx::OnMessage(self, message, wParam, lParam);
  if (message == ui::msg::kInitDialog) OnInitDialog(self);
  return result;
}

void CPropertySheet::OnInitDialog(ui::Window& self) {
  ui::Toolkit& toolkit = *ui::GetToolkit();
  ui::Window* tabs = self.GetDlgItem(kTabControlId);
  mTabPages.assign(mPages.size(), nullptr);
  for (std::size_t i = 0; i < mPages.size() && tabs != nullptr; ++i) {
    const DynDialogHeader& page = mPages[i]->GetHeader();
    const ui::Rect size = toolkit.MapDialogRect(self, ui::Rect{0, 0, page.cx, page.cy});
    mTabPages[i] = toolkit.AddTabPage(*tabs, mPages[i]->GetCaption(), ui::Point{size.right, size.bottom});
  }
  SetActivePage(0);
  Layout(self);
}

bool CPropertySheet::SetActivePage(int index) {
  if (index < 0 || index >= GetPageCount() || mTabPages.empty()) return false;
  ui::Window* tabPage = mTabPages[static_cast<std::size_t>(index)];
  CPropertyPage& page = GetPage(index);
  if (tabPage == nullptr || (!page.IsCreated() && !page.Create(*tabPage))) return false;
  mActive = index;
  return true;
}

void CPropertySheet::Layout(ui::Window& self) {
  ui::Toolkit& toolkit = *ui::GetToolkit();
  const ui::Rect margin = toolkit.MapDialogRect(self, ui::Rect{0, 0, kMargin, kMargin});
  const ui::Rect button = toolkit.MapDialogRect(self, ui::Rect{0, 0, kButtonWidth, kButtonHeight});
  const int gap = toolkit.MapDialogRect(self, ui::Rect{0, 0, kButtonGap, 0}).right;
  ui::Window* tabs = self.GetDlgItem(kTabControlId);
  const ui::Rect tabRect = tabs != nullptr ? tabs->GetWindowRect() : ui::Rect{margin.right, margin.bottom, 0, 0};
  // The buttons right-aligned under the tab control, the sheet around both.
  const int top = tabRect.bottom + margin.bottom;
  for (int i = 0; i < kButtons; ++i) {
    if (ui::Window* control = self.GetDlgItem(kButtonIds[i])) {
      const int right = tabRect.right - (kButtons - 1 - i) * (button.right + gap);
      control->SetWindowPos(ui::Rect{right - button.right, top, right, top + button.bottom});
    }
  }
  self.SetClientSize(tabRect.right + margin.right, top + button.bottom + margin.bottom);
  self.CenterWindow();
}
