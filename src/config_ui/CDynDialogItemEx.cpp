#include "CDynDialogItemEx.h"

#include <cstring>

#include "ui/ControlClasses.h"

namespace {

int gNextId = 1024;  // process-wide, the user-interface thread's

// The class codes the exchange tells apart.
constexpr int kButton = 128, kEdit = 129, kStatic = 130, kScrollBar = 132, kTrackbar = 136, kDateTimePick = 143,
              kMonthCal = 144;

// The index of the checked button in the radio group that starts at `first` (the group ends
// before the next control with the group style), or -1.
int CheckedRadio(ui::Window* first) {
  int index = 0;
  for (ui::Window* button = first; button != nullptr; button = button->GetNextSibling(), ++index) {
    if (button != first && (button->GetStyle() & ui::style::kGroup) != 0) break;
    if (button->GetCheck() != 0) return index;
  }
  return -1;
}

void CheckRadio(ui::Window* first, int checked) {
  int index = 0;
  for (ui::Window* button = first; button != nullptr; button = button->GetNextSibling(), ++index) {
    if (button != first && (button->GetStyle() & ui::style::kGroup) != 0) break;
    button->SetCheck(index == checked ? 1 : 0);
  }
}

}  // namespace

int CDynDialogItemEx::ClassCodeOf(const std::string& className) {
  for (const ui::ControlClass& entry : ui::kControlClasses) {
    const std::size_t length = std::strlen(entry.name);
    if (className.compare(0, length, entry.name) == 0 && className.size() >= length) return entry.code;
  }
  return 0;
}

int CDynDialogItemEx::NextAutomaticId() { return gNextId++; }

CDynDialogItemEx::CDynDialogItemEx(const std::string& className, int classCode, const std::string& caption,
                                   uint32_t style, uint32_t exStyle, const ui::Rect& rect, BoundVariable bound,
                                   int id, bool inTemplate)
    : mClassName(className),
      mType(classCode),
      mControlId(id != 0 ? id : NextAutomaticId()),
      mStyle(style),
      mExStyle(exStyle),
      mRect(rect),
      mCaption(caption),
      mBound(bound),
      mInTemplate(inTemplate) {}

bool CDynDialogItemEx::CreateEx(ui::Toolkit& toolkit, ui::Window& dialog) {
  mWindow = toolkit.CreateControl(mClassName, mCaption, mStyle, mExStyle, mRect, &dialog, mControlId);
  if (mWindow == nullptr) return false;
  if (BoundWindow* const* bound = std::get_if<BoundWindow*>(&mBound); bound != nullptr && *bound != nullptr) {
    (*bound)->window = mWindow;
  }
  return true;
}

void CDynDialogItemEx::DoDataExchange(bool save) {
  if (mWindow == nullptr || std::holds_alternative<std::monostate>(mBound)) return;
  std::string* const* text = std::get_if<std::string*>(&mBound);
  int* const* number = std::get_if<int*>(&mBound);
  ui::DateTime* const* date = std::get_if<ui::DateTime*>(&mBound);
  BoundWindow* const* window = std::get_if<BoundWindow*>(&mBound);
  // A variable of another kind than the class exchanges is left alone.
  if (mType == kButton && (mStyle & ui::style::kAutoRadioButton) == ui::style::kAutoRadioButton) {
    if (number == nullptr) return;
    if (save) **number = CheckedRadio(mWindow);
    else CheckRadio(mWindow, **number);
  } else if (mType == kButton && (mStyle & ui::style::kAutoCheckBox) == ui::style::kAutoCheckBox) {
    if (number == nullptr) return;
    if (save) **number = mWindow->GetCheck();
    else mWindow->SetCheck(**number);
  } else if (mType == kEdit || mType == kStatic) {
    if (text == nullptr) return;
    if (save) **text = mWindow->GetText();
    else mWindow->SetText(**text);
  } else if (mType == kScrollBar) {
    if (number == nullptr) return;
    if (save) **number = mWindow->GetScrollPos();
    else mWindow->SetScrollPos(**number);
  } else if (mType == kTrackbar) {
    if (number == nullptr) return;
    if (save) **number = mWindow->GetSliderPos();
    else mWindow->SetSliderPos(**number);
  } else if (mType == kDateTimePick || mType == kMonthCal) {
    // Time format or not, the whole value travels; the picker shows the part it is made for.
    if (date == nullptr) return;
    if (save) **date = mWindow->GetDateTime();
    else mWindow->SetDateTime(**date);
  } else if (window != nullptr && *window != nullptr) {
    (*window)->window = mWindow;
  }
}
