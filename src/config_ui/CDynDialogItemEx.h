#pragma once
// One control of a dialog assembled at run time: its class, caption, style, rectangle in dialog
// units, id, and the variable its value is exchanged with. Either written into the dialog's
// template or created once the dialog window exists.
//
// Threads: the user-interface thread only; the automatic id counter is process-wide.

#include <cstdint>
#include <string>
#include <variant>

#include "ui/Ui.h"

// A window object bound to a control: it receives the control's window.
struct BoundWindow {
  ui::Window* window = nullptr;
};

// What a control's value is exchanged with; which kind a class uses is the exchange table's.
using BoundVariable = std::variant<std::monostate, std::string*, int*, ui::DateTime*, BoundWindow*>;

class CDynDialogItemEx {
 public:
  // The class code of a name: the first table entry whose name the given one starts with
  // (byte for byte, case-sensitive), or 0.
  static int ClassCodeOf(const std::string& className);
  // The next automatic id: 1024 for the first in the process, then one more each time.
  static int NextAutomaticId();

  CDynDialogItemEx(const std::string& className, int classCode, const std::string& caption, uint32_t style,
                   uint32_t exStyle, const ui::Rect& rect, BoundVariable bound, int id, bool inTemplate);

  const std::string& GetClassName() const { return mClassName; }
  int GetType() const { return mType; }
  int GetControlId() const { return mControlId; }
  uint32_t GetStyle() const { return mStyle; }
  uint32_t GetExStyle() const { return mExStyle; }
  const ui::Rect& GetRect() const { return mRect; }
  const std::string& GetCaption() const { return mCaption; }
  bool IsInTemplate() const { return mInTemplate; }
  ui::Window* GetWindow() const { return mWindow; }

  // Creates the control in the dialog window; false when the window system refuses.
  bool CreateEx(ui::Toolkit& toolkit, ui::Window& dialog);
  // The control's window, for a template control once the dialog made it.
  void Attach(ui::Window* window) { mWindow = window; }
  // Value to the control (save false) or back to the variable (save true), by the exchange table.
  void DoDataExchange(bool save);

 private:
  std::string mClassName;
  int mType;
  int mControlId;
  uint32_t mStyle;
  uint32_t mExStyle;
  ui::Rect mRect;
  std::string mCaption;
  BoundVariable mBound;
  bool mInTemplate;
  ui::Window* mWindow = nullptr;  // while the dialog runs
};
