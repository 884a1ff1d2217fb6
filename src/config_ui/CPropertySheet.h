#pragma once
// A property sheet and its pages: a modal dialog with a tab control (one tab a page) and OK,
// Cancel, Apply and Help below it. Each page is a child dialog made from its own template on its
// tab's window when it is first activated. Both are dynamic dialogs: their templates are written
// at run time and handed to the window system.
//
// Threads: the user-interface thread only.

#include <string>
#include <vector>

#include "config_ui/CDynDialogEx.h"

class CPropertySheet;

class CPropertyPage : public CDynDialogEx {
 public:
  // A page of `cx` x `cy` dialog units; the caption is its tab's label.
  CPropertyPage(const std::string& caption, int16_t cx, int16_t cy);

  // Makes the page's window on its tab's window; false when the window system refuses it.
  bool Create(ui::Window& tabPage);
  bool IsCreated() const { return GetWindow() != nullptr; }

  intptr_t OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 protected:
  // After the base initialisation (the template's controls are attached).
  virtual void OnInitDialog(ui::Window& self) { (void)self; }
};

class CPropertySheet : public CDynDialogEx {
 public:
  // The ids of the sheet's own controls.
  static constexpr int kTabControlId = 0x3020;
  static constexpr int kApplyId = 0x3021;
  static constexpr int kHelpId = 9;

  CPropertySheet(const std::string& title, ui::Window* parent);

  void AddPage(CPropertyPage& page) { mPages.push_back(&page); }
  int GetPageCount() const { return static_cast<int>(mPages.size()); }
  CPropertyPage& GetPage(int index) const { return *mPages[static_cast<std::size_t>(index)]; }
  // Creates the page if it is not yet; false for an index out of range or a page not made.
  bool SetActivePage(int index);
  int GetActiveIndex() const { return mActive; }

  // IDOK or IDCANCEL, or -1 when the sheet cannot be made.
  intptr_t DoModal();

  intptr_t OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 protected:
  // After the base initialisation: the tabs are in, the first page is made and everything laid out.
  virtual void OnInitDialog(ui::Window& self);
  // Sized around the tab control and the buttons, and centred again.
  void Layout(ui::Window& self);

 private:
  void AddControls(const ui::Rect& tabs);

  std::vector<CPropertyPage*> mPages;  // not owned
  std::vector<ui::Window*> mTabPages;  // each page's tab window, while the sheet exists
  int mActive = -1;
};
