#pragma once
// The camera configuration sheet: the property sheet without Apply and Help, with a status bar
// along the bottom that says why the edited settings cannot be confirmed, and OK enabled only
// while they can.
//
// Threads: the user-interface thread only.

#include <string>

#include "config_ui/CPropertySheet.h"

class CSheet1 : public CPropertySheet {
 public:
  static constexpr int kStatusBarId = 105;

  CSheet1(const std::string& title, ui::Window* parent);

  // Stores whether OK is allowed and enables or disables it; enabling also clears the status text.
  void EnableOk(bool enable);
  bool IsOkAllowed() const { return mOkAllowed; }
  void SetStatusText(const std::string& text);
  std::string GetStatusText() const { return mStatusText; }
  ui::Window* GetStatusBar() const { return mStatusBar; }

  intptr_t OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 protected:
  void OnInitDialog(ui::Window& self) override;

 private:
  ui::Font mFont{"MS Shell Dlg", 8};
  ui::Window* mStatusBar = nullptr;  // while the sheet exists
  std::string mStatusText;
  bool mOkAllowed = true;
};
