// The property grid as a window: its messages and its painting.

#include <algorithm>

#include "CDynDialogEx.h"
#include "CPropertyGrid.h"
#include "CPropertyGridEditors.h"

namespace {

constexpr int kTextPadding = 3;  // between a cell's edge and its text
constexpr int kBoxSize = 9;

}  // namespace

bool CPropertyGrid::Create(ui::Window* parent, const ui::Rect& rect, int id) {
  ui::Toolkit* toolkit = ui::GetToolkit();
  if (toolkit == nullptr) return false;
  return toolkit->CreateCustomWindow(parent, rect, id, *this) != nullptr;
}

void CPropertyGrid::Refresh() {
  if (mWindow == nullptr) return;
  mWindow->SetVScroll(ScrollBarVisible(), ScrollRange(), ScrollPage(), mScrollPos);
  mWindow->Invalidate();
}

intptr_t CPropertyGrid::OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case ui::msg::kCreate: {
      mWindow = &self;
      if (ui::Toolkit* toolkit = ui::GetToolkit()) {
        const ui::SystemLook look = toolkit->GetSystemLook();
        mTextColour = mTitleColour = mEditableColour = look.windowText;
        mBackColour = look.window;
        mShadeColour = look.buttonFace;
        mFocusColour = look.highlight;
        mFocusTextColour = look.highlightText;
        mDisabledColour = look.grayText;
        mScrollBarWidth = look.scrollBarWidth;
      }
      ui::Window* parent = self.GetParent();
      if (parent != nullptr && parent->GetFont() != nullptr) mFont = *parent->GetFont();
      mBoldFont = mFont;
      mBoldFont.weight = 700;
      // The parent's buttons name OK and Cancel when it has them.
      ui::Window* ok = parent != nullptr ? parent->GetDlgItem(ui::kIdOk) : nullptr;
      ui::Window* cancel = parent != nullptr ? parent->GetDlgItem(ui::kIdCancel) : nullptr;
      mOkText = ok != nullptr ? ok->GetText() : "OK";
      mCancelText = cancel != nullptr ? cancel->GetText() : "Cancel";
      const ui::Rect client = self.GetClientRect();
      SetClientSize(client.Width(), client.Height());
      return 0;
    }
    case ui::msg::kDestroy:
      CloseEditor();
      mWindow = nullptr;
      return 0;
    case ui::msg::kSize: {
      const ui::Point size = ui::UnpackPoint(lParam);
      SetClientSize(size.x, size.y);
      break;
    }
    case ui::msg::kPaint:
      if (lParam != 0) Paint(*reinterpret_cast<ui::Surface*>(lParam));
      return 0;
    case ui::msg::kLButtonDown:
      self.SetFocus();
      OnLButtonDown(ui::UnpackPoint(lParam));
      if (mDraggingSplitter || mMouseItem >= 0) self.CaptureMouse(true);
      break;
    case ui::msg::kLButtonUp:
      if (mDraggingSplitter || mMouseItem >= 0) self.CaptureMouse(false);
      OnLButtonUp(ui::UnpackPoint(lParam));
      break;
    case ui::msg::kMouseMove: {
      const ui::Point point = ui::UnpackPoint(lParam);
      self.SetSizingCursor(mDraggingSplitter || SplitterCursor(point));
      if (!mDraggingSplitter && mMouseItem < 0) return 0;
      OnMouseMove(point);
      break;
    }
    case ui::msg::kLButtonDblClk: OnLButtonDblClk(ui::UnpackPoint(lParam)); break;
    case ui::msg::kMouseWheel: OnMouseWheel(static_cast<int>(static_cast<intptr_t>(wParam))); break;
    case ui::msg::kKeyDown: OnKeyDown(static_cast<int>(wParam)); break;
    case ui::msg::kChar: OnChar(static_cast<char>(wParam)); break;
    case ui::msg::kVScroll: ScrollBy(static_cast<int>(wParam) - mScrollPos); break;
    // From the editors.
    case WM_PG_ENDLABELEDIT:
      if (wParam != 0) OnEndLabelEdit(*reinterpret_cast<const std::string*>(wParam));
      else CloseEditor();
      self.SetFocus();
      break;
    case WM_PG_SELECTIONCHANGED:
      if (static_cast<intptr_t>(wParam) >= 0) OnListChoice(static_cast<int>(wParam));
      else CloseEditor();
      break;
    case WM_PG_DATESELCHANGED:
      if (wParam != 0) OnCalendarChoice(*reinterpret_cast<const ui::DateTime*>(wParam));
      else CloseEditor();
      break;
    default: return 0;
  }
  Refresh();
  return 0;
}

void CPropertyGrid::Paint(ui::Surface& target) {
  if (!mMeasured) {
    // The row height: the text height of "Gg" in the grid font, and 4.
    target.SetFont(mFont);
    mMeasured = true;
    SetRowHeight(target.TextExtent("Gg").y + 4);
    // An item focused before the rows had their height (the one remembered from the last dialog)
    // comes into view now.
    const int focused = FocusedRowIndex(Rows());
    if (focused >= 0) ScrollIntoView(focused);
    if (mWindow != nullptr) mWindow->SetVScroll(ScrollBarVisible(), ScrollRange(), ScrollPage(), mScrollPos);
  }
  std::unique_ptr<ui::Surface> buffer = target.CreateBuffer(mClientWidth, mClientHeight);
  ui::Surface& surface = *buffer;
  // The background first.
  surface.FillRect(ui::Rect{0, 0, mClientWidth, mClientHeight}, mBackColour);
  if (mSections.empty()) {
    surface.SetFont(mFont);
    const int widen = mClientWidth / 4;
    surface.DrawText(ui::Rect{-widen, 10, mClientWidth + widen, mClientHeight}, mEmptyMessage, mTextColour,
                     ui::text::kCentre | ui::text::kWordBreak);
  }
  // 2. and 3., the rows that show.
  const std::vector<Row> rows = Rows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const ui::Rect row = RowRect(static_cast<int>(i));
    if (row.bottom <= 0) continue;
    if (row.top >= mClientHeight) break;
    if (rows[i].item < 0) {
      PaintTitle(surface, *FindSection(rows[i].section), row);
    } else {
      PaintItem(surface, *GetItem(rows[i].item), row, static_cast<int>(i));
    }
  }
  target.Blit(surface, ui::Point{0, 0});
}

void CPropertyGrid::PaintTitle(ui::Surface& surface, const Section& section, const ui::Rect& row) {
  if (mShadeTitles) surface.FillRect(row, mShadeColour);
  if (mDrawLines) {
    surface.Line(ui::Point{row.left, row.top}, ui::Point{row.right, row.top}, mShadeColour);
    surface.Line(ui::Point{row.left, row.bottom - 1}, ui::Point{row.right, row.bottom - 1}, mShadeColour);
  }
  if (mDrawGutter) surface.Line(ui::Point{mSplitter, row.top}, ui::Point{mSplitter, row.bottom}, mShadeColour);
  // The box: a minus sign, and a plus sign while collapsed.
  const ui::Rect box{2, row.top + 4, 2 + kBoxSize, row.top + 4 + kBoxSize};
  surface.FillRect(box, mBackColour);
  surface.FrameRect(box, mTextColour);
  surface.Line(ui::Point{box.left + 2, box.top + kBoxSize / 2}, ui::Point{box.right - 2, box.top + kBoxSize / 2},
               mTextColour);
  if (section.collapsed) {
    surface.Line(ui::Point{box.left + kBoxSize / 2, box.top + 2}, ui::Point{box.left + kBoxSize / 2, box.bottom - 2},
                 mTextColour);
  }
  surface.SetFont(mBoldFont);
  const int left = IndentWidth();
  const ui::Point extent = surface.TextExtent(section.title);
  const ui::Rect text{left, row.top, std::min(row.right, left + extent.x + 2 * kTextPadding), row.bottom};
  surface.DrawText(ui::Rect{text.left + kTextPadding, text.top, text.right, text.bottom}, section.title, mTitleColour,
                   ui::text::kSingleLine | ui::text::kVCentre | ui::text::kEndEllipsis);
  if (mFocusedItem < 0 && mFocusedSection == section.id) surface.FocusRect(text);
}

void CPropertyGrid::PaintItem(ui::Surface& surface, const Item& item, const ui::Rect& row, int rowIndex) {
  const int indent = mDisplayMode == 1 ? 0 : IndentWidth();
  surface.FillRect(ui::Rect{row.left, row.top, indent, row.bottom}, mShadeColour);
  if (mDrawLines) surface.Line(ui::Point{indent, row.bottom - 1}, ui::Point{row.right, row.bottom - 1}, mShadeColour);
  if (mDrawGutter) surface.Line(ui::Point{mSplitter, row.top}, ui::Point{mSplitter, row.bottom}, mShadeColour);
  // The name cell.
  const bool focused = mFocusedItem == item.id;
  const ui::Rect name{indent, row.top, mSplitter, row.bottom - (mDrawLines ? 1 : 0)};
  if (focused) surface.FillRect(name, mFocusColour);
  surface.SetFont(mFont);
  surface.DrawText(ui::Rect{name.left + kTextPadding, name.top, name.right, name.bottom}, item.name,
                   focused ? mFocusTextColour : mTextColour,
                   ui::text::kSingleLine | ui::text::kVCentre | ui::text::kEndEllipsis);
  // The value cell.
  ui::Rect value{mSplitter + 1, row.top, row.right, row.bottom - (mDrawLines ? 1 : 0)};
  const EEditMode mode = GetEditMode(item);
  const bool button = focused && item.editable && (mode == EM_DROPDOWN || mode == EM_MODAL);
  if (button) value.right = ButtonRect(rowIndex).left;
  const bool bold = (item.Modified() && mBoldModified) || (item.editable && mBoldEditables);
  surface.SetFont(bold ? mBoldFont : mFont);
  const ui::Colour colour = item.editable ? mEditableColour : mDisabledColour;
  ui::Rect text{value.left + kTextPadding, value.top, value.right, value.bottom};
  if (item.type == IT_CUSTOM && !item.undefined) {
    if (ICustomItem* const* custom = std::get_if<ICustomItem*>(&item.value); custom != nullptr && *custom != nullptr) {
      (*custom)->DrawItem(surface, value, focused);
    }
  } else {
    if (item.type == IT_COLOR && !item.undefined) {
      const ui::Rect swatch{text.left, value.top + 2, text.left + 2 * (mRowHeight - 4), value.bottom - 2};
      surface.FillRect(swatch, std::get<ui::Colour>(item.value));
      surface.FrameRect(swatch, mTextColour);
      text.left = swatch.right + kTextPadding;
    }
    // A path keeps its file name in view.
    const bool path = item.type == IT_FILE || item.type == IT_FOLDER;
    surface.DrawText(text, DisplayText(item), colour,
                     ui::text::kSingleLine | ui::text::kVCentre | (path ? ui::text::kPathEllipsis : ui::text::kEndEllipsis));
  }
  // The expand button of a section header.
  if (button) {
    const ui::Rect at = ButtonRect(rowIndex);
    const bool pressed = mButtonDown && mArmedHit.row.item == item.id;
    if (mode == EM_DROPDOWN) {
      surface.DropArrow(at, pressed);
    } else {
      surface.PushButton(at, pressed);
      surface.SetFont(mFont);
      surface.DrawText(at, "...", mTextColour, ui::text::kSingleLine | ui::text::kVCentre | ui::text::kCentre);
    }
  }
}

void CPropertyGrid::OpenEditorWindow(Item& item, int rowIndex) {
  mRetiredEditor.reset();
  const ui::Rect cell = ValueRect(rowIndex);
  ICustomItem* custom = nullptr;
  if (ICustomItem* const* object = std::get_if<ICustomItem*>(&item.value)) custom = *object;
  if (mEditor == Editor::kInPlace) {
    const ui::Rect rect{cell.left + 1, cell.top + 2, cell.right, cell.bottom};
    auto edit = std::make_unique<CPropertyGridInPlaceEdit>(*mWindow, rect, mFont, InPlaceText(item));
    mEditorWindow = edit->GetWindow();
    mEditorObject = std::move(edit);
  } else if (item.type == IT_CUSTOM && custom != nullptr) {
    custom->ShowDropDown(cell);
    mEditor = Editor::kNone;
    mEditedItem = -1;
    return;
  } else if (mEditor == Editor::kList) {
    // Below the value cell, from the splitter to the right edge, a text row an entry and 2 pixels.
    const std::vector<std::string> entries = ListEntries(item);
    const ui::Point at = ui::GetToolkit()->ClientToScreen(*mWindow, ui::Point{mSplitter, cell.bottom});
    const ui::Rect screen{at.x, at.y, at.x + cell.right - mSplitter,
                          at.y + static_cast<int>(entries.size()) * mRowHeight + 2};
    int selected = -1;
    if (!item.undefined) {
      selected = item.type == IT_BOOLEAN ? (std::get<bool>(item.value) ? 0 : 1)
                                         : static_cast<int>(std::get<int64_t>(item.value));
    }
    auto list = std::make_unique<CPropertyGridCombo>(*mWindow, screen, entries, selected);
    mEditorWindow = list->GetWindow();
    mEditorObject = std::move(list);
  } else if (mEditor == Editor::kCalendar) {
    // Directly below the cell, its right edge on the cell's.
    const ui::Point bottomRight = ui::GetToolkit()->ClientToScreen(*mWindow, ui::Point{cell.right, cell.bottom});
    auto calendar = std::make_unique<CPropertyGridMonthCalCtrl>(*mWindow, ui::Rect{0, 0, bottomRight.x, bottomRight.y},
                                                                std::get<ui::DateTime>(item.value));
    mEditorWindow = calendar->GetWindow();
    mEditorObject = std::move(calendar);
  }
  if (mEditorWindow == nullptr) CloseEditor();
}

bool CPropertyGrid::RunDialog(Item& item) {
  ui::Toolkit& toolkit = *ui::GetToolkit();
  constexpr uint32_t kChildTab = 0x50010000;  // child, visible, tab stop
  switch (item.type) {
    case IT_TEXT: {
      std::string text = std::get<std::string>(item.value);
      CDynDialogEx dialog(mWindow);
      dialog.SetWindowTitle(item.name);
      dialog.SetFont(&mFont);
      dialog.SetUseSystemButtons(false);
      // Both scroll bars, Enter kept, a sunken edge.
      const ui::Rect edit{7, 7, 200, 100}, ok{56, 106, 106, 120}, cancel{110, 106, 160, 120};
      dialog.AddControl(129, "", kChildTab | 0x00300000 | 0x1000 | 0x0004 | 0x0040, 0x200, &edit, &text);
      dialog.AddControl(128, mOkText, kChildTab | 0x1, 0, &ok, {}, ui::kIdOk);
      dialog.AddControl(128, mCancelText, kChildTab, 0, &cancel, {}, ui::kIdCancel);
      if (dialog.DoModal() != ui::kIdOk) return false;
      item.value = text;
      return true;
    }
    case IT_DATETIME: {
      ui::DateTime date = std::get<ui::DateTime>(item.value), time = date;
      CDynDialogEx dialog(mWindow);
      dialog.SetWindowTitle(item.name);
      dialog.SetFont(&mFont);
      dialog.SetUseSystemButtons(false);
      const ui::Rect dateLabel{7, 3, 60, 12}, timeLabel{67, 3, 120, 12}, datePicker{7, 13, 60, 26},
          timePicker{67, 13, 120, 26}, ok{7, 37, 60, 51}, cancel{67, 37, 120, 51};
      dialog.AddControl(130, mDateLabel, 0x50000000, 0, &dateLabel);
      dialog.AddControl(130, mTimeLabel, 0x50000000, 0, &timeLabel);
      dialog.AddControl(143, "", kChildTab, 0, &datePicker, &date);
      dialog.AddControl(143, "", kChildTab | ui::style::kDateTimeTimeFormat, 0, &timePicker, &time);
      dialog.AddControl(128, mOkText, kChildTab | 0x1, 0, &ok, {}, ui::kIdOk);
      dialog.AddControl(128, mCancelText, kChildTab, 0, &cancel, {}, ui::kIdCancel);
      if (dialog.DoModal() != ui::kIdOk) return false;
      item.value = ui::DateTime{date.year, date.month, date.day, time.hour, time.minute, time.second};
      return true;
    }
    case IT_FILE: {
      std::string path = std::get<std::string>(item.value);
      if (!toolkit.FileOpenDialog(mWindow, item.options.empty() ? "" : item.options[0], path)) return false;
      item.value = path;
      return true;
    }
    case IT_FOLDER: {
      std::string path = std::get<std::string>(item.value);
      if (!CPropertyGridDirectoryPicker::PickDirectory(mWindow, item.options.empty() ? "" : item.options[0], path)) {
        return false;
      }
      item.value = path;
      return true;
    }
    case IT_COLOR: {
      ui::Colour colour = std::get<ui::Colour>(item.value);
      if (!toolkit.ColourDialog(mWindow, colour)) return false;
      item.value = colour;
      return true;
    }
    case IT_FONT: {
      ui::Font font = std::get<ui::Font>(item.value);
      if (!toolkit.FontDialog(mWindow, font)) return false;
      item.value = font;
      return true;
    }
    case IT_CUSTOM: {
      ICustomItem* const* custom = std::get_if<ICustomItem*>(&item.value);
      return custom != nullptr && *custom != nullptr && (*custom)->OnItemButtonClicked();
    }
    default: return false;
  }
}
