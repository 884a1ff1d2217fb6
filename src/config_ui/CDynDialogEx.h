#pragma once
// A dialog assembled at run time from a list of controls instead of a dialog resource: the caller
// sets caption and font, adds controls, and runs it. DoModal writes the platform's in-memory
// dialog template and hands it to the window system, which builds the dialog from those bytes.
//
// Threads: the user-interface thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config_ui/CDynDialogItemEx.h"
#include "ui/Ui.h"

// The template header: style, extended style, item count, and the dialog's extent in dialog units.
struct DynDialogHeader {
  uint32_t style = 0x10C80040;  // visible, caption, system menu, set-font
  uint32_t exStyle = 1;         // modal frame
  uint16_t count = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
};

class CDynDialogEx : public ui::MessageHandler {
 public:
  explicit CDynDialogEx(ui::Window* parent = nullptr);
  ~CDynDialogEx() override;
  CDynDialogEx(const CDynDialogEx&) = delete;
  CDynDialogEx& operator=(const CDynDialogEx&) = delete;

  void SetWindowTitle(const std::string& caption) { mCaption = caption; }
  void SetFont(const ui::Font* font) { mFont = font; }  // not owned
  void SetFontSize(uint16_t pointSize) { mPointSize = pointSize; }
  void AddStyles(uint32_t styles) { mHeader.style |= styles; }
  void RemoveStyles(uint32_t styles) { mHeader.style &= ~styles; }
  void SetUseSystemButtons(bool use) { mAddOkCancel = use; }
  void SetModeless(bool modeless) { mModeless = modeless; }
  void SetParentWindow(ui::Window* parent) { mParent = parent; }
  // The template's extent in dialog units, in place of what the controls reach.
  void SetExtent(int16_t cx, int16_t cy) {
    mHeader.cx = cx;
    mHeader.cy = cy;
  }
  void SetExStyle(uint32_t exStyle) { mHeader.exStyle = exStyle; }

  // A control created once the dialog window exists; `rect` null places it below the last one.
  // Answers its id (0 asks for the next automatic one).
  int AddControl(int classCode, const std::string& caption, uint32_t style, uint32_t exStyle,
                 const ui::Rect* rect = nullptr, BoundVariable bound = {}, int id = 0);
  int AddControlByName(const std::string& className, const std::string& caption, uint32_t style, uint32_t exStyle,
                       const ui::Rect* rect = nullptr, BoundVariable bound = {}, int id = 0);
  // A control written into the template, counted in its header.
  int AddTemplateControl(const std::string& className, const std::string& caption, uint32_t style,
                         uint32_t exStyle, const ui::Rect* rect = nullptr, int id = 0);

  // IDOK or IDCANCEL, or -1 when the template cannot be made.
  intptr_t DoModal();

  intptr_t OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) override;

  const DynDialogHeader& GetHeader() const { return mHeader; }
  const std::string& GetCaption() const { return mCaption; }
  // The dialog's window while it exists, else null.
  ui::Window* GetWindow() const { return mWindow; }
  ui::Window* GetParentWindow() const { return mParent; }
  // The window is gone with its parent's: the dialog and its items let go of it.
  void ForgetWindow();
  const std::vector<std::unique_ptr<CDynDialogItemEx>>& GetItems() const { return mItems; }

 private:
  int Add(const std::string& className, int classCode, const std::string& caption, uint32_t style, uint32_t exStyle,
          const ui::Rect* rect, BoundVariable bound, int id, bool byName, bool inTemplate);
  void OnCreate(ui::Window& self);
  void OnInitDialog(ui::Window& self);
  void OnCommand(ui::Window& self, uintptr_t wParam, intptr_t lParam);
  void DoDataExchange(bool save);
  // The bytes of the template for this face name; its size is that of the algorithm's step 3.
  std::vector<unsigned char> TemplateBytes(const std::string& face) const;

  ui::Window* mParent;
  std::string mCaption;
  std::vector<std::unique_ptr<CDynDialogItemEx>> mItems;
  DynDialogHeader mHeader;
  const ui::Font* mFont = nullptr;
  std::unique_ptr<ui::Font> mOwnedFont;  // made by the dialog when it had none
  uint16_t mPointSize = 0;
  int mNextY = 10;
  bool mAddOkCancel = true;
  bool mModeless = false;
  ui::Window* mWindow = nullptr;  // while the dialog window exists
};
