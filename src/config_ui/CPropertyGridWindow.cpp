// The property grid as a window: its messages and its painting.

#include <algorithm>

#include "CPropertyGrid.h"

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
      if (mDraggingSplitter) self.CaptureMouse(true);
      break;
    case ui::msg::kLButtonUp:
      if (mDraggingSplitter) self.CaptureMouse(false);
      OnLButtonUp(ui::UnpackPoint(lParam));
      break;
    case ui::msg::kMouseMove: {
      const ui::Point point = ui::UnpackPoint(lParam);
      self.SetSizingCursor(mDraggingSplitter || SplitterCursor(point));
      if (!mDraggingSplitter) return 0;
      OnMouseMove(point);
      break;
    }
    case ui::msg::kLButtonDblClk: OnLButtonDblClk(ui::UnpackPoint(lParam)); break;
    case ui::msg::kMouseWheel: OnMouseWheel(static_cast<int>(static_cast<intptr_t>(wParam))); break;
    case ui::msg::kKeyDown: OnKeyDown(static_cast<int>(wParam)); break;
    case ui::msg::kChar: OnChar(static_cast<char>(wParam)); break;
    case ui::msg::kVScroll: SetScrollPos(static_cast<int>(wParam)); break;
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
    if (mWindow != nullptr) mWindow->SetVScroll(ScrollBarVisible(), ScrollRange(), ScrollPage(), mScrollPos);
  }
  std::unique_ptr<ui::Surface> buffer = target.CreateBuffer(mClientWidth, mClientHeight);
  ui::Surface& surface = *buffer;
  // 1.
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
    surface.DrawText(text, DisplayText(item), colour,
                     ui::text::kSingleLine | ui::text::kVCentre | ui::text::kEndEllipsis);
  }
  // 4.
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
