#include "CPropertyGrid.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "ui/AnsiText.h"

namespace {

constexpr int VK_RETURN = 0x0D, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_F2 = 0x71;
constexpr int kSplitterGrip = 2;  // pixels either side of the splitter that grab it
constexpr int kWheelNotch = 120;
constexpr int kRowsPerNotch = 3;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char text[256];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

// A caller's display format for one value, made safe: it must hold exactly one conversion of the
// value's kind (any length modifier is replaced by the one the value has), else the default is used.
std::string FormatWith(const std::string& format, int64_t value, bool integer, double real) {
  std::string checked;
  int conversions = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    checked += format[i];
    if (format[i] != '%') continue;
    if (i + 1 < format.size() && format[i + 1] == '%') {
      checked += format[++i];
      continue;
    }
    std::size_t j = i + 1;
    while (j < format.size() && std::string("-+ #0123456789.").find(format[j]) != std::string::npos) checked += format[j++];
    while (j < format.size() && std::string("hlLqjztI64").find(format[j]) != std::string::npos) ++j;  // length
    if (j >= format.size()) return std::string();
    const char conversion = format[j];
    const bool ok = integer ? std::string("diouxX").find(conversion) != std::string::npos
                            : std::string("fFeEgGaA").find(conversion) != std::string::npos;
    if (!ok) return std::string();
    if (integer) checked += "ll";
    checked += conversion;
    ++conversions;
    i = j;
  }
  if (conversions != 1) return std::string();
  char text[256];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  if (integer) std::snprintf(text, sizeof text, checked.c_str(), static_cast<long long>(value));
  else std::snprintf(text, sizeof text, checked.c_str(), real);
#pragma GCC diagnostic pop
  return text;
}

std::string FormatDate(const ui::DateTime& value, const std::string& format, const char* fallback) {
  std::tm tm{};
  tm.tm_year = value.year - 1900;
  tm.tm_mon = value.month - 1;
  tm.tm_mday = value.day;
  tm.tm_hour = value.hour;
  tm.tm_min = value.minute;
  tm.tm_sec = value.second;
  char text[128];
  const std::size_t length = std::strftime(text, sizeof text, format.empty() ? fallback : format.c_str(), &tm);
  return std::string(text, length);
}

}  // namespace

CPropertyGrid::CPropertyGrid() = default;

void CPropertyGrid::SetClientSize(int width, int height) {
  const bool first = mClientWidth == 0;
  mClientWidth = width;
  mClientHeight = height;
  if (first) mSplitter = width / 2;
  ClampScroll();
}

void CPropertyGrid::SetRowHeight(int height) {
  mRowHeight = height > 0 ? height : 1;
  ClampScroll();
}

// ---- contents -------------------------------------------------------------------------------

int CPropertyGrid::AddSection(const std::string& title, bool collapsed, int before) {
  Section section;
  section.id = mNextSectionId++;
  section.title = title;
  section.collapsed = collapsed;
  auto at = std::find_if(mSections.begin(), mSections.end(), [&](const Section& s) { return s.id == before; });
  mSections.insert(at, section);
  Refresh();
  return section.id;
}

int CPropertyGrid::AddItem(int sectionId, const std::string& name, EItemType type, Value value,
                           std::vector<std::string> options, bool editable, bool undefined) {
  Section* section = FindSection(sectionId);
  if (section == nullptr) return -1;
  for (const Item& item : section->items) {
    if (item.name == name) return -1;
  }
  Item item;
  item.id = mNextItemId++;
  item.editable = editable;
  item.undefined = undefined;
  item.type = type;
  item.name = name;
  item.options = std::move(options);
  item.value = value;
  item.savedValue = value;
  item.savedUndefined = undefined;
  section->items.push_back(item);
  if (type == IT_CUSTOM) {
    if (ICustomItem* const* custom = std::get_if<ICustomItem*>(&value); custom != nullptr && *custom != nullptr) {
      (*custom)->m_pGrid = this;
    }
  }
  Refresh();
  return item.id;
}

int CPropertyGrid::AddStringItem(int section, const std::string& name, const std::string& value, bool editable,
                                 bool undefined) {
  return AddItem(section, name, IT_STRING, value, {}, editable, undefined);
}
int CPropertyGrid::AddTextItem(int section, const std::string& name, const std::string& value, bool editable,
                               bool undefined) {
  return AddItem(section, name, IT_TEXT, value, {}, editable, undefined);
}
int CPropertyGrid::AddIntegerItem(int section, const std::string& name, int64_t value, const std::string& format,
                                  bool editable, bool undefined) {
  return AddItem(section, name, IT_INTEGER, value, {format}, editable, undefined);
}
int CPropertyGrid::AddIntegerItem(int section, const std::string& name, int32_t value, const std::string& format,
                                  bool editable, bool undefined) {
  return AddIntegerItem(section, name, static_cast<int64_t>(value), format, editable, undefined);
}
int CPropertyGrid::AddIntegerItem(int section, const std::string& name, uint32_t value, const std::string& format,
                                  bool editable, bool undefined) {
  return AddIntegerItem(section, name, static_cast<int64_t>(value), format, editable, undefined);
}
int CPropertyGrid::AddDoubleItem(int section, const std::string& name, double value, const std::string& format,
                                 bool editable, bool undefined) {
  return AddItem(section, name, IT_DOUBLE, value, {format}, editable, undefined);
}
int CPropertyGrid::AddComboItem(int section, const std::string& name, const std::vector<std::string>& entries,
                                int64_t index, bool editable, bool undefined) {
  return AddItem(section, name, IT_COMBO, index, entries, editable, undefined);
}
int CPropertyGrid::AddBoolItem(int section, const std::string& name, bool value, bool editable, bool undefined) {
  return AddItem(section, name, IT_BOOLEAN, value, {}, editable, undefined);
}
int CPropertyGrid::AddDateItem(int section, const std::string& name, const ui::DateTime& value,
                               const std::string& format, bool editable, bool undefined) {
  return AddItem(section, name, IT_DATE, value, {format}, editable, undefined);
}
int CPropertyGrid::AddDateTimeItem(int section, const std::string& name, const ui::DateTime& value,
                                   const std::string& format, bool editable, bool undefined) {
  return AddItem(section, name, IT_DATETIME, value, {format}, editable, undefined);
}
int CPropertyGrid::AddFileItem(int section, const std::string& name, const std::string& path,
                               const std::string& filter, bool editable, bool undefined) {
  return AddItem(section, name, IT_FILE, path, {filter}, editable, undefined);
}
int CPropertyGrid::AddFolderItem(int section, const std::string& name, const std::string& path,
                                 const std::string& title, bool editable, bool undefined) {
  return AddItem(section, name, IT_FOLDER, path, {title}, editable, undefined);
}
int CPropertyGrid::AddColorItem(int section, const std::string& name, ui::Colour colour, bool editable,
                                bool undefined) {
  return AddItem(section, name, IT_COLOR, colour, {}, editable, undefined);
}
int CPropertyGrid::AddFontItem(int section, const std::string& name, const ui::Font& font, bool editable,
                               bool undefined) {
  return AddItem(section, name, IT_FONT, font, {}, editable, undefined);
}
int CPropertyGrid::AddCustomItem(int section, const std::string& name, ICustomItem* custom, bool editable,
                                 bool undefined) {
  return AddItem(section, name, IT_CUSTOM, custom, {}, editable, undefined);
}

bool CPropertyGrid::RemoveItem(int id) {
  for (Section& section : mSections) {
    for (auto it = section.items.begin(); it != section.items.end(); ++it) {
      if (it->id != id) continue;
      if (mFocusedItem == id) mFocusedItem = -1;
      if (mEditedItem == id) CloseEditor();
      section.items.erase(it);
      ClampScroll();
      Refresh();
      return true;
    }
  }
  return false;
}

bool CPropertyGrid::MoveItemAfter(int id, int after) {
  for (Section& section : mSections) {
    auto& items = section.items;
    const auto moved = std::find_if(items.begin(), items.end(), [&](const Item& i) { return i.id == id; });
    const auto anchor = std::find_if(items.begin(), items.end(), [&](const Item& i) { return i.id == after; });
    if (moved == items.end() || anchor == items.end() || moved == anchor) continue;
    Item item = std::move(*moved);
    items.erase(moved);
    const auto at = std::find_if(items.begin(), items.end(), [&](const Item& i) { return i.id == after; });
    items.insert(at + 1, std::move(item));
    Refresh();
    return true;
  }
  return false;
}

bool CPropertyGrid::RemoveSection(int id) {
  auto it = std::find_if(mSections.begin(), mSections.end(), [&](const Section& s) { return s.id == id; });
  if (it == mSections.end()) return false;
  for (const Item& item : it->items) {
    if (mFocusedItem == item.id) mFocusedItem = -1;
    if (mEditedItem == item.id) CloseEditor();
  }
  if (mFocusedSection == id) mFocusedSection = -1;
  mSections.erase(it);
  ClampScroll();
  Refresh();
  return true;
}

void CPropertyGrid::ResetContents() {
  CloseEditor();
  mSections.clear();
  mNextSectionId = 0;
  mNextItemId = 0;
  mFocusedSection = -1;
  mFocusedItem = -1;
  mScrollPos = 0;
  Refresh();
}

CPropertyGrid::Section* CPropertyGrid::FindSection(int id) {
  for (Section& section : mSections) {
    if (section.id == id) return &section;
  }
  return nullptr;
}

const CPropertyGrid::Section* CPropertyGrid::FindSection(int id) const {
  return const_cast<CPropertyGrid*>(this)->FindSection(id);
}

CPropertyGrid::Item* CPropertyGrid::FindItem(int id) {
  for (Section& section : mSections) {
    for (Item& item : section.items) {
      if (item.id == id) return &item;
    }
  }
  return nullptr;
}

const CPropertyGrid::Item* CPropertyGrid::GetItem(int id) const { return const_cast<CPropertyGrid*>(this)->FindItem(id); }

// ---- typed values ---------------------------------------------------------------------------

bool CPropertyGrid::GetItemValue(int id, std::string& value) const {
  const Item* item = GetItem(id);
  if (item == nullptr || item->undefined) return false;
  switch (item->type) {
    case IT_STRING:
    case IT_TEXT:
    case IT_FILE:
    case IT_FOLDER:
      value = std::get<std::string>(item->value);
      return true;
    case IT_COMBO: {
      const int64_t index = std::get<int64_t>(item->value);
      if (index < 0 || index >= static_cast<int64_t>(item->options.size())) return false;
      value = item->options[static_cast<std::size_t>(index)];
      return true;
    }
    default:
      return false;
  }
}

bool CPropertyGrid::GetItemValue(int id, int64_t& value) const {
  const Item* item = GetItem(id);
  if (item == nullptr || item->undefined || (item->type != IT_INTEGER && item->type != IT_COMBO)) return false;
  value = std::get<int64_t>(item->value);
  return true;
}

bool CPropertyGrid::GetItemValue(int id, int32_t& value) const {
  int64_t wide = 0;
  if (!GetItemValue(id, wide)) return false;
  value = static_cast<int32_t>(wide);
  return true;
}

bool CPropertyGrid::GetItemValue(int id, uint32_t& value) const {
  int64_t wide = 0;
  if (!GetItemValue(id, wide)) return false;
  value = static_cast<uint32_t>(wide);
  return true;
}

namespace {

template <typename T>
bool Read(const CPropertyGrid::Item* item, EItemType type, EItemType other, T& value) {
  if (item == nullptr || item->undefined || (item->type != type && item->type != other)) return false;
  value = std::get<T>(item->value);
  return true;
}

}  // namespace

bool CPropertyGrid::GetItemValue(int id, double& value) const { return Read(GetItem(id), IT_DOUBLE, IT_DOUBLE, value); }
bool CPropertyGrid::GetItemValue(int id, bool& value) const { return Read(GetItem(id), IT_BOOLEAN, IT_BOOLEAN, value); }
bool CPropertyGrid::GetItemValue(int id, ui::DateTime& value) const {
  return Read(GetItem(id), IT_DATE, IT_DATETIME, value);
}
bool CPropertyGrid::GetItemValue(int id, ui::Colour& value) const { return Read(GetItem(id), IT_COLOR, IT_COLOR, value); }
bool CPropertyGrid::GetItemValue(int id, ui::Font& value) const { return Read(GetItem(id), IT_FONT, IT_FONT, value); }

bool CPropertyGrid::Written(bool stored) {
  if (stored) Refresh();
  return stored;
}

namespace {

bool Write(CPropertyGrid::Item* item, std::initializer_list<EItemType> types, CPropertyGrid::Value value) {
  if (item == nullptr || std::find(types.begin(), types.end(), item->type) == types.end()) return false;
  item->value = std::move(value);
  item->undefined = false;
  return true;
}

}  // namespace

bool CPropertyGrid::SetItemValue(int id, const std::string& value) {
  // A combo takes the text of one of its entries, as its text is read.
  Item* item = FindItem(id);
  if (item != nullptr && item->type == IT_COMBO) {
    const auto found = std::find(item->options.begin(), item->options.end(), value);
    if (found == item->options.end()) return false;
    return Written(Write(item, {IT_COMBO}, static_cast<int64_t>(found - item->options.begin())));
  }
  return Written(Write(item, {IT_STRING, IT_TEXT, IT_FILE, IT_FOLDER}, value));
}
bool CPropertyGrid::SetItemValue(int id, int64_t value) { return Written(Write(FindItem(id), {IT_INTEGER, IT_COMBO}, value)); }
bool CPropertyGrid::SetItemValue(int id, double value) { return Written(Write(FindItem(id), {IT_DOUBLE}, value)); }
bool CPropertyGrid::SetItemValue(int id, bool value) { return Written(Write(FindItem(id), {IT_BOOLEAN}, value)); }
bool CPropertyGrid::SetItemValue(int id, const ui::DateTime& value) {
  return Written(Write(FindItem(id), {IT_DATE, IT_DATETIME}, value));
}
bool CPropertyGrid::SetItemValue(int id, ui::Colour value) { return Written(Write(FindItem(id), {IT_COLOR}, value)); }
bool CPropertyGrid::SetItemValue(int id, const ui::Font& value) { return Written(Write(FindItem(id), {IT_FONT}, value)); }

bool CPropertyGrid::SetComboEntries(int id, const std::vector<std::string>& entries) {
  Item* item = FindItem(id);
  if (item == nullptr || item->type != IT_COMBO) return false;
  item->options = entries;
  Refresh();
  return true;
}

void CPropertyGrid::EnableItem(int id, bool editable) {
  if (Item* item = FindItem(id)) item->editable = editable;
  Refresh();
}

void CPropertyGrid::SelectItem(int id) {
  const Item* item = GetItem(id);
  if (item == nullptr) return;
  // A collapsed item is focused all the same; one that shows is scrolled into view.
  for (const Section& section : mSections) {
    for (const Item& candidate : section.items) {
      if (&candidate == item) FocusRow(Row{section.id, id});
    }
  }
  const int row = RowIndexOf(id);
  if (row >= 0) ScrollIntoView(row);
  Refresh();
}

void CPropertyGrid::SaveValues() {
  for (Section& section : mSections) {
    for (Item& item : section.items) {
      item.savedValue = item.value;
      item.savedUndefined = item.undefined;
      if (item.type == IT_CUSTOM) {
        if (ICustomItem* const* custom = std::get_if<ICustomItem*>(&item.value); custom != nullptr && *custom) {
          (*custom)->ValidateChanges();
        }
      }
    }
  }
}

void CPropertyGrid::ExpandSection(int id, bool expand) {
  if (Section* section = FindSection(id)) {
    section->collapsed = !expand;
    ClampScroll();
    Refresh();
  }
}

bool CPropertyGrid::IsSectionCollapsed(int id) const {
  const Section* section = FindSection(id);
  return section != nullptr && section->collapsed;
}

int CPropertyGrid::GetSectionSize(int id) const {
  const Section* section = FindSection(id);
  return section != nullptr ? static_cast<int>(section->items.size()) : 0;
}

void CPropertyGrid::SetDisplayMode(int mode) {
  mDisplayMode = mode == 1 ? 1 : 0;
  ClampScroll();
  Refresh();
}

void CPropertyGrid::SetTextColor(ui::Colour colour) {
  if (mEditableColour == mTextColour) mEditableColour = colour;
  mTextColour = colour;
  Refresh();
}

void CPropertyGrid::SetTrueFalseStrings(const std::string& trueText, const std::string& falseText) {
  mTrueText = trueText;
  mFalseText = falseText;
  Refresh();
}

void CPropertyGrid::SetOkCancelStrings(const std::string& ok, const std::string& cancel) {
  mOkText = ok;
  mCancelText = cancel;
  Refresh();
}

// ---- layout ---------------------------------------------------------------------------------

std::vector<CPropertyGrid::Row> CPropertyGrid::Rows() const {
  std::vector<Row> rows;
  if (mDisplayMode == 1) {
    std::vector<const Item*> items;
    for (const Section& section : mSections) {
      for (const Item& item : section.items) items.push_back(&item);
    }
    std::stable_sort(items.begin(), items.end(), [](const Item* a, const Item* b) { return a->name < b->name; });
    for (const Item* item : items) {
      for (const Section& section : mSections) {
        for (const Item& candidate : section.items) {
          if (&candidate == item) rows.push_back(Row{section.id, item->id});
        }
      }
    }
    return rows;
  }
  for (const Section& section : mSections) {
    rows.push_back(Row{section.id, -1});
    if (section.collapsed) continue;
    for (const Item& item : section.items) rows.push_back(Row{section.id, item.id});
  }
  return rows;
}

ui::Rect CPropertyGrid::RowRect(int rowIndex) const {
  const int top = rowIndex * mRowHeight - mScrollPos;
  const int right = mClientWidth - (ScrollBarVisible() ? mScrollBarWidth : 0);
  return ui::Rect{0, top, right, top + mRowHeight};
}

ui::Rect CPropertyGrid::ValueRect(int rowIndex) const {
  ui::Rect rect = RowRect(rowIndex);
  rect.left = mSplitter;
  return rect;
}

ui::Rect CPropertyGrid::ButtonRect(int rowIndex) const {
  ui::Rect rect = ValueRect(rowIndex);
  rect.left = std::max(rect.left, rect.right - mRowHeight);
  return rect;
}

CPropertyGrid::Hit CPropertyGrid::HitTest(ui::Point point) const {
  Hit hit;
  if (SplitterCursor(point)) {
    hit.area = Area::kSplitter;
    return hit;
  }
  const std::vector<Row> rows = Rows();
  const int index = (point.y + mScrollPos) / mRowHeight;
  if (point.y < 0 || index < 0 || index >= static_cast<int>(rows.size())) return hit;
  hit.row = rows[static_cast<std::size_t>(index)];
  if (hit.row.item < 0) {
    const ui::Rect row = RowRect(index);
    const ui::Rect box{2, row.top + 4, 2 + 9, row.top + 4 + 9};
    hit.area = box.Contains(point) ? Area::kBox : Area::kTitle;
    return hit;
  }
  const Item* item = GetItem(hit.row.item);
  const bool focused = mFocusedItem == hit.row.item;
  const EEditMode mode = GetEditMode(*item);
  if (focused && item->editable && (mode == EM_DROPDOWN || mode == EM_MODAL) && ButtonRect(index).Contains(point)) {
    hit.area = Area::kButton;
  } else {
    hit.area = point.x >= mSplitter ? Area::kValue : Area::kName;
  }
  return hit;
}

bool CPropertyGrid::SplitterCursor(ui::Point point) const {
  return point.x >= mSplitter - kSplitterGrip && point.x <= mSplitter + kSplitterGrip && point.y >= 0 &&
         point.y < std::min(ContentHeight() - mScrollPos, mClientHeight);
}

void CPropertyGrid::SetScrollPos(int position) {
  const int most = ScrollBarVisible() ? ContentHeight() - mClientHeight : 0;
  mScrollPos = std::max(0, std::min(position, most));
}

void CPropertyGrid::ScrollIntoView(int rowIndex) {
  const int top = rowIndex * mRowHeight;
  if (top < mScrollPos) SetScrollPos(top);
  else if (top + mRowHeight > mScrollPos + mClientHeight) SetScrollPos(top + mRowHeight - mClientHeight);
}

// ---- focus and messages ---------------------------------------------------------------------

void CPropertyGrid::Notify(uint32_t message, intptr_t id) {
  if (mOwner != nullptr) mOwner->SendMessage(message, static_cast<uintptr_t>(id), 0);
}

void CPropertyGrid::Changed(const Item& item) { Notify(WM_PG_ITEMCHANGED, item.id); }

void CPropertyGrid::FocusRow(const Row& row) {
  mFocusedSection = row.item < 0 ? row.section : -1;
  mFocusedItem = row.item;
  Notify(WM_PG_SELECTIONCHANGED, row.item);
}

int CPropertyGrid::FocusedRowIndex(const std::vector<Row>& rows) const {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (mFocusedItem >= 0 ? rows[i].item == mFocusedItem : (rows[i].item < 0 && rows[i].section == mFocusedSection)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void CPropertyGrid::MoveFocus(int direction) {
  const std::vector<Row> rows = Rows();
  const int count = static_cast<int>(rows.size());
  if (count == 0) return;
  int index = FocusedRowIndex(rows);
  for (int step = 0; step < count; ++step) {
    index = index < 0 ? (direction > 0 ? 0 : count - 1) : (index + direction + count) % count;
    const Row& row = rows[static_cast<std::size_t>(index)];
    if (row.item < 0 || Focusable(*GetItem(row.item))) {
      FocusRow(row);
      ScrollIntoView(index);
      return;
    }
  }
}

// ---- keyboard -------------------------------------------------------------------------------

void CPropertyGrid::OnKeyDown(int key) {
  Section* focused = mFocusedItem < 0 ? FindSection(mFocusedSection) : nullptr;
  switch (key) {
    case VK_DOWN: MoveFocus(1); break;
    case VK_UP: MoveFocus(-1); break;
    case VK_F2:  // the focused item's editor, for those who work without a mouse
      if (Item* item = FindItem(mFocusedItem)) StartEditing(*item);
      break;
    case VK_RETURN:  // confirms the dialog, as Enter does in any dialog, when no editor is open
      if (mEditor == Editor::kNone && mWindow != nullptr) {
        ui::Window* dialog = mWindow;
        while (dialog->GetParent() != nullptr) dialog = dialog->GetParent();
        if (dialog != mWindow) dialog->SendMessage(ui::msg::kCommand, ui::kIdOk, 0);
      }
      break;
    case VK_LEFT:
      if (focused != nullptr && !focused->collapsed) Toggle(*focused);
      else MoveFocus(-1);
      break;
    case VK_RIGHT:
      if (focused != nullptr && focused->collapsed) Toggle(*focused);
      else MoveFocus(1);
      break;
    default: break;
  }
}

void CPropertyGrid::OnChar(char c) {
  Section* focused = mFocusedItem < 0 ? FindSection(mFocusedSection) : nullptr;
  if (c == '+' && focused != nullptr) focused->collapsed = false;
  if (c == '-' && focused != nullptr) focused->collapsed = true;
  if (c == '*' || c == '/') {
    for (Section& section : mSections) section.collapsed = c == '/';
  }
  ClampScroll();
}

// ---- mouse ----------------------------------------------------------------------------------

void CPropertyGrid::OnLButtonDown(ui::Point point) {
  CloseEditor();
  const Hit hit = HitTest(point);
  switch (hit.area) {
    case Area::kSplitter: mDraggingSplitter = true; return;
    case Area::kBox: {
      Section* section = FindSection(hit.row.section);
      Toggle(*section);
      FocusRow(hit.row);
      return;
    }
    case Area::kTitle: FocusRow(hit.row); return;
    case Area::kName:
    case Area::kValue:
    case Area::kButton: {
      Item* item = FindItem(hit.row.item);
      if (!Focusable(*item)) return;
      if (mFocusedItem != item->id) FocusRow(hit.row);
      const EEditMode mode = GetEditMode(*item);
      // A custom item may take the mouse in its cell; it then gets the moves and the release.
      if (hit.area == Area::kValue && item->type == IT_CUSTOM && item->editable) {
        ICustomItem* const* custom = std::get_if<ICustomItem*>(&item->value);
        const ui::Rect cell = ValueRect(RowIndexOf(item->id));
        if (custom != nullptr && *custom != nullptr && (*custom)->OnLButtonDown(cell, point)) {
          mMouseItem = item->id;
          return;
        }
      }
      // Editing starts when the button is released over the same place.
      if (item->editable && ((hit.area == Area::kValue && (mode == EM_INPLACE || mode == EM_DROPDOWN)) ||
                             hit.area == Area::kButton)) {
        mArmed = true;
        mArmedHit = hit;
        mButtonDown = hit.area == Area::kButton;
      }
      return;
    }
    case Area::kNone: return;
  }
}

ICustomItem* CPropertyGrid::MouseItem(ui::Rect& cell) {
  Item* item = FindItem(mMouseItem);
  ICustomItem* const* custom = item != nullptr ? std::get_if<ICustomItem*>(&item->value) : nullptr;
  if (custom == nullptr || *custom == nullptr) return nullptr;
  cell = ValueRect(RowIndexOf(mMouseItem));
  return *custom;
}

int CPropertyGrid::RowIndexOf(int item) const {
  const std::vector<Row> rows = Rows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].item == item) return static_cast<int>(i);
  }
  return -1;
}

void CPropertyGrid::OnMouseMove(ui::Point point) {
  ui::Rect cell;
  if (ICustomItem* custom = mMouseItem >= 0 ? MouseItem(cell) : nullptr) {
    custom->OnMouseMove(cell, point);
    return;
  }
  if (!mDraggingSplitter) return;
  mSplitter = std::max(mClientWidth / 5, std::min(point.x, mClientWidth * 4 / 5));
}

void CPropertyGrid::OnLButtonUp(ui::Point point) {
  ui::Rect cell;
  if (ICustomItem* custom = mMouseItem >= 0 ? MouseItem(cell) : nullptr) custom->OnLButtonUp(cell, point);
  mMouseItem = -1;
  mDraggingSplitter = false;
  mButtonDown = false;
  if (!mArmed) return;
  mArmed = false;
  const Hit hit = HitTest(point);
  if (hit.area != mArmedHit.area || hit.row.item != mArmedHit.row.item) return;
  if (Item* item = FindItem(hit.row.item)) StartEditing(*item);
}

void CPropertyGrid::OnLButtonDblClk(ui::Point point) {
  const Hit hit = HitTest(point);
  if (hit.area == Area::kBox || hit.area == Area::kTitle) {
    if (Section* section = FindSection(hit.row.section)) Toggle(*section);
    return;
  }
  if (hit.area != Area::kName && hit.area != Area::kValue && hit.area != Area::kButton) return;
  Item* item = FindItem(hit.row.item);
  if (item == nullptr || !item->editable) return;
  if (item->type == IT_BOOLEAN && !item->undefined) {
    item->value = !std::get<bool>(item->value);
    Changed(*item);
  } else if (item->type == IT_COMBO && !item->undefined && !item->options.empty()) {
    const int64_t next = std::get<int64_t>(item->value) + 1;
    item->value = next >= static_cast<int64_t>(item->options.size()) ? int64_t{0} : next;
    Changed(*item);
  } else if (GetEditMode(*item) == EM_MODAL) {
    StartEditing(*item);
  }
}

void CPropertyGrid::OnMouseWheel(int delta) {
  ScrollBy(-delta * kRowsPerNotch * mRowHeight / kWheelNotch);
}

void CPropertyGrid::ScrollBy(int pixels) {
  // An editor does not float over another row: the in-place edit commits what it holds, a list or
  // calendar closes.
  if (pixels != 0 && mEditor != Editor::kNone) CommitEditor();
  SetScrollPos(mScrollPos + pixels);
}

void CPropertyGrid::CommitEditor() {
  if (mEditor == Editor::kInPlace && mEditorWindow != nullptr) {
    OnEndLabelEdit(mEditorWindow->GetText());
    if (mWindow != nullptr) mWindow->SetFocus();
  } else {
    CloseEditor();
  }
}

// ---- editing --------------------------------------------------------------------------------

EEditMode CPropertyGrid::GetEditMode(const Item& item) const {
  switch (item.type) {
    case IT_STRING:
    case IT_INTEGER:
    case IT_DOUBLE: return EM_INPLACE;
    case IT_COMBO:
    case IT_BOOLEAN:
    case IT_DATE: return EM_DROPDOWN;
    case IT_CUSTOM: {
      ICustomItem* const* custom = std::get_if<ICustomItem*>(&item.value);
      return custom != nullptr && *custom != nullptr ? (*custom)->GetEditMode() : EM_NONE;
    }
    default: return EM_MODAL;
  }
}

std::string CPropertyGrid::InPlaceText(const Item& item) const {
  switch (item.type) {
    case IT_INTEGER: return Format("%" PRId64, std::get<int64_t>(item.value));
    case IT_DOUBLE: return Format("%.7g", std::get<double>(item.value));
    case IT_CUSTOM: {
      ICustomItem* const* custom = std::get_if<ICustomItem*>(&item.value);
      return custom != nullptr && *custom != nullptr ? (*custom)->GetStringForInPlaceEdit() : std::string();
    }
    default: {
      const std::string* text = std::get_if<std::string>(&item.value);
      return text != nullptr ? *text : std::string();
    }
  }
}

std::vector<std::string> CPropertyGrid::ListEntries(const Item& item) const {
  if (item.type == IT_BOOLEAN) return {mTrueText, mFalseText};
  return item.options;
}

void CPropertyGrid::StartEditing(Item& item) {
  if (!item.editable) return;
  CloseEditor();
  switch (GetEditMode(item)) {
    case EM_INPLACE: mEditor = Editor::kInPlace; break;
    case EM_DROPDOWN: mEditor = item.type == IT_DATE ? Editor::kCalendar : Editor::kList; break;
    case EM_MODAL:
      if (mWindow != nullptr && RunDialog(item)) {
        item.undefined = false;
        Changed(item);
        Refresh();
      }
      return;
    default: return;
  }
  mEditedItem = item.id;
  const int row = RowIndexOf(item.id);
  if (mWindow != nullptr && row >= 0) OpenEditorWindow(item, row);
}

void CPropertyGrid::CloseEditor() {
  mEditor = Editor::kNone;
  mEditedItem = -1;
  // Forgotten first: destroying the window tells the editor, which may tell the grid again.
  ui::Window* window = mEditorWindow;
  mEditorWindow = nullptr;
  if (mEditorObject != nullptr) mRetiredEditor = std::move(mEditorObject);
  if (window != nullptr) window->DestroyWindow();
}

void CPropertyGrid::OnEndLabelEdit(const std::string& text) {
  Item* item = mEditor == Editor::kInPlace ? FindItem(mEditedItem) : nullptr;
  CloseEditor();
  if (item == nullptr) return;
  switch (item->type) {
    case IT_STRING: item->value = text; break;
    case IT_INTEGER: {
      // A number beyond 64 bits is refused, not cut to the largest one.
      if (text.empty()) return;
      errno = 0;
      const long long value = std::strtoll(text.c_str(), nullptr, 10);
      if (errno == ERANGE) return;
      item->value = static_cast<int64_t>(value);
      break;
    }
    case IT_DOUBLE: {
      if (text.empty()) return;
      errno = 0;
      const double value = std::strtod(text.c_str(), nullptr);
      if (errno == ERANGE && std::isinf(value)) return;
      item->value = value;
      break;
    }
    case IT_CUSTOM: {
      ICustomItem* const* custom = std::get_if<ICustomItem*>(&item->value);
      if (custom == nullptr || *custom == nullptr || !(*custom)->OnItemEdited(text)) return;
      break;
    }
    default: return;
  }
  item->undefined = false;
  Changed(*item);
}

void CPropertyGrid::OnListChoice(int index) {
  Item* item = mEditor == Editor::kList ? FindItem(mEditedItem) : nullptr;
  CloseEditor();
  if (item == nullptr || index < 0) return;
  if (item->type == IT_BOOLEAN) item->value = index == 0;
  else item->value = static_cast<int64_t>(index);
  item->undefined = false;
  Changed(*item);
}

void CPropertyGrid::OnCalendarChoice(const ui::DateTime& date) {
  Item* item = mEditor == Editor::kCalendar ? FindItem(mEditedItem) : nullptr;
  CloseEditor();
  if (item == nullptr) return;
  item->value = date;
  item->undefined = false;
  Changed(*item);
}

std::string CPropertyGrid::DisplayText(const Item& item) const {
  if (item.undefined) return mUndefinedText;
  const std::string& option = item.options.empty() ? std::string() : item.options[0];
  switch (item.type) {
    case IT_STRING: return std::get<std::string>(item.value);
    case IT_FILE:
    case IT_FOLDER: return ui::FileNameToAnsi(std::get<std::string>(item.value));
    case IT_TEXT: {
      // Every line break (also a lone CR or LF) as a pilcrow: the text stays on its one line.
      std::string shown;
      const std::string& text = std::get<std::string>(item.value);
      for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
          shown += '\xB6';
          if (text.compare(i, 2, "\r\n") == 0) ++i;
        } else {
          shown += text[i];
        }
      }
      return shown;
    }
    case IT_INTEGER: {
      const int64_t value = std::get<int64_t>(item.value);
      const std::string shown = option.empty() ? std::string() : FormatWith(option, value, true, 0);
      return shown.empty() ? Format("%" PRId64, value) : shown;
    }
    case IT_DOUBLE: {
      const double value = std::get<double>(item.value);
      const std::string shown = option.empty() ? std::string() : FormatWith(option, 0, false, value);
      return shown.empty() ? Format("%g", value) : shown;
    }
    case IT_COMBO: {
      const int64_t index = std::get<int64_t>(item.value);
      return index >= 0 && index < static_cast<int64_t>(item.options.size())
                 ? item.options[static_cast<std::size_t>(index)]
                 : std::string();
    }
    case IT_BOOLEAN: return std::get<bool>(item.value) ? mTrueText : mFalseText;
    case IT_DATE: return FormatDate(std::get<ui::DateTime>(item.value), option, "%x");
    case IT_DATETIME: return FormatDate(std::get<ui::DateTime>(item.value), option, "%x %X");
    case IT_COLOR: {
      const ui::Colour colour = std::get<ui::Colour>(item.value);
      return Format("%d; %d; %d", colour.Red(), colour.Green(), colour.Blue());
    }
    case IT_FONT: {
      const ui::Font& font = std::get<ui::Font>(item.value);
      return Format("%s; %dpt", font.face.c_str(), font.height);
    }
    case IT_CUSTOM: return std::string();
  }
  return std::string();
}
