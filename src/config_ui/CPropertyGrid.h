#pragma once
// The property grid: named values in two columns (name and value), grouped in collapsible
// sections, each value edited by an editor that suits its type; changes are told to the owner
// window by messages 1510 (value changed) and 1511 (focus moved).
//
// This part is the grid's state, layout, hit testing, keyboard and mouse rules and value rules,
// kept apart from its painting so that it runs without a display.
//
// Threads: the dialog's user-interface thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "ui/Ui.h"

class CPropertyGrid;

enum EItemType {
  IT_CUSTOM = 0,
  IT_STRING = 1,
  IT_TEXT = 2,
  IT_INTEGER = 3,
  IT_DOUBLE = 4,
  IT_COMBO = 5,
  IT_BOOLEAN = 6,
  IT_DATE = 7,
  IT_DATETIME = 8,
  IT_FILE = 9,
  IT_FOLDER = 10,
  IT_COLOR = 11,
  IT_FONT = 12,
};

enum EEditMode { EM_NONE = 0, EM_INPLACE = 1, EM_DROPDOWN = 2, EM_MODAL = 3 };

// Messages to the owner (wParam: the item id) and between the grid and its editors.
constexpr uint32_t WM_PG_ITEMCHANGED = 1510;
constexpr uint32_t WM_PG_SELECTIONCHANGED = 1511;
constexpr uint32_t WM_PG_ENDLABELEDIT = 1512;
constexpr uint32_t WM_PG_DATESELCHANGED = 1513;

// An item whose value, drawing and editing belong to the caller.
class ICustomItem {
 public:
  virtual ~ICustomItem() = default;
  virtual EEditMode GetEditMode() = 0;
  virtual void DrawItem(ui::Surface& surface, const ui::Rect& cell, bool focused) = 0;
  virtual bool OnLButtonDown(const ui::Rect& cell, ui::Point point) = 0;  // whether it takes the mouse
  virtual void OnMouseMove(const ui::Rect& cell, ui::Point point) = 0;
  virtual void OnLButtonUp(const ui::Rect& cell, ui::Point point) = 0;
  virtual std::string GetStringForInPlaceEdit() = 0;
  virtual bool OnItemEdited(const std::string& text) = 0;  // whether the value changed
  virtual void ShowDropDown(const ui::Rect& cell) = 0;
  virtual bool OnItemButtonClicked() = 0;  // whether the value changed
  virtual void ValidateChanges() = 0;      // the values were saved
  CPropertyGrid* m_pGrid = nullptr;
};

class CPropertyGrid : public ui::MessageHandler {
 public:
  using Value = std::variant<std::monostate, std::string, int64_t, double, bool, ui::DateTime, ui::Colour, ui::Font,
                             ICustomItem*>;

  struct Item {
    int id = -1;
    bool editable = true;
    bool undefined = false;
    EItemType type = IT_STRING;
    std::string name;
    std::vector<std::string> options;
    Value value;
    Value savedValue;
    bool savedUndefined = false;
    bool Modified() const { return !(value == savedValue) || undefined != savedUndefined; }
  };

  struct Section {
    int id = -1;
    std::string title;
    bool collapsed = false;
    std::vector<Item> items;
  };

  // One row of the layout: a section title (item -1) or an item.
  struct Row {
    int section = -1;
    int item = -1;
  };

  // What a point hits.
  enum class Area { kNone, kSplitter, kBox, kTitle, kName, kValue, kButton };
  struct Hit {
    Area area = Area::kNone;
    Row row;
  };

  CPropertyGrid();

  // The grid's window, a child of `parent` (through the toolkit installed on this thread).
  bool Create(ui::Window* parent, const ui::Rect& rect, int id);
  ui::Window* GetWindow() const { return mWindow; }
  intptr_t OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  // The four painting steps, through an off-screen buffer of the surface.
  void Paint(ui::Surface& surface);

  // The owner receives 1510 and 1511; the client size is the window's.
  void SetOwner(ui::Window* owner) { mOwner = owner; }
  void SetClientSize(int width, int height);
  void SetRowHeight(int height);
  void SetScrollBarWidth(int width) { mScrollBarWidth = width; }

  // ---- contents ----
  int AddSection(const std::string& title, bool collapsed = false, int before = -1);
  int AddStringItem(int section, const std::string& name, const std::string& value, bool editable = true,
                    bool undefined = false);
  int AddTextItem(int section, const std::string& name, const std::string& value, bool editable = true,
                  bool undefined = false);
  int AddIntegerItem(int section, const std::string& name, int64_t value, const std::string& format = "",
                     bool editable = true, bool undefined = false);
  int AddIntegerItem(int section, const std::string& name, int32_t value, const std::string& format = "",
                     bool editable = true, bool undefined = false);
  int AddIntegerItem(int section, const std::string& name, uint32_t value, const std::string& format = "",
                     bool editable = true, bool undefined = false);
  int AddDoubleItem(int section, const std::string& name, double value, const std::string& format = "",
                    bool editable = true, bool undefined = false);
  int AddComboItem(int section, const std::string& name, const std::vector<std::string>& entries, int64_t index,
                   bool editable = true, bool undefined = false);
  int AddBoolItem(int section, const std::string& name, bool value, bool editable = true, bool undefined = false);
  int AddDateItem(int section, const std::string& name, const ui::DateTime& value, const std::string& format = "",
                  bool editable = true, bool undefined = false);
  int AddDateTimeItem(int section, const std::string& name, const ui::DateTime& value,
                      const std::string& format = "", bool editable = true, bool undefined = false);
  int AddFileItem(int section, const std::string& name, const std::string& path, const std::string& filter = "",
                  bool editable = true, bool undefined = false);
  int AddFolderItem(int section, const std::string& name, const std::string& path, const std::string& title = "",
                    bool editable = true, bool undefined = false);
  int AddColorItem(int section, const std::string& name, ui::Colour colour, bool editable = true,
                   bool undefined = false);
  int AddFontItem(int section, const std::string& name, const ui::Font& font, bool editable = true,
                  bool undefined = false);
  int AddCustomItem(int section, const std::string& name, ICustomItem* custom, bool editable = true,
                    bool undefined = false);

  bool RemoveItem(int id);
  // Moves an item to just after another of the same section; false when they share none.
  bool MoveItemAfter(int id, int after);
  bool RemoveSection(int id);
  void ResetContents();

  // Typed reads: false for a missing, undefined or other item (see the string and integer rules).
  bool GetItemValue(int id, std::string& value) const;
  bool GetItemValue(int id, int64_t& value) const;
  bool GetItemValue(int id, int32_t& value) const;
  bool GetItemValue(int id, uint32_t& value) const;
  bool GetItemValue(int id, double& value) const;
  bool GetItemValue(int id, bool& value) const;
  bool GetItemValue(int id, ui::DateTime& value) const;
  bool GetItemValue(int id, ui::Colour& value) const;
  bool GetItemValue(int id, ui::Font& value) const;
  // Typed writes: the value stored, undefined cleared, repainted; no message.
  bool SetItemValue(int id, const std::string& value);
  bool SetItemValue(int id, int64_t value);
  bool SetItemValue(int id, int32_t value) { return SetItemValue(id, static_cast<int64_t>(value)); }
  bool SetItemValue(int id, uint32_t value) { return SetItemValue(id, static_cast<int64_t>(value)); }
  bool SetItemValue(int id, double value);
  bool SetItemValue(int id, bool value);
  bool SetItemValue(int id, const ui::DateTime& value);
  bool SetItemValue(int id, ui::Colour value);
  bool SetItemValue(int id, const ui::Font& value);
  bool SetComboEntries(int id, const std::vector<std::string>& entries);
  void EnableItem(int id, bool editable);
  void SelectItem(int id);
  void SaveValues();

  void ExpandSection(int id, bool expand = true);
  void CollapseSection(int id) { ExpandSection(id, false); }
  bool IsSectionCollapsed(int id) const;
  int GetNumSections() const { return static_cast<int>(mSections.size()); }
  int GetSectionSize(int id) const;
  void SetDisplayMode(int mode);
  int GetDisplayMode() const { return mDisplayMode; }

  // ---- appearance ----
  void SetShadeTitles(bool on) {
    mShadeTitles = on;
    Refresh();
  }
  void SetDrawLines(bool on) {
    mDrawLines = on;
    Refresh();
  }
  void SetDrawGutter(bool on) {
    mDrawGutter = on;
    Refresh();
  }
  void SetFocusDisabled(bool on) {
    mFocusDisabled = on;
    Refresh();
  }
  void SetBoldModified(bool on) {
    mBoldModified = on;
    Refresh();
  }
  void SetBoldEditables(bool on) {
    mBoldEditables = on;
    Refresh();
  }
  void SetTextColor(ui::Colour colour);
  void SetTitleColor(ui::Colour colour) { SetColour(mTitleColour, colour); }
  void SetBackColor(ui::Colour colour) { SetColour(mBackColour, colour); }
  void SetShadeColor(ui::Colour colour) { SetColour(mShadeColour, colour); }
  void SetFocusColor(ui::Colour colour) { SetColour(mFocusColour, colour); }
  void SetFocusTextColor(ui::Colour colour) { SetColour(mFocusTextColour, colour); }
  void SetEditableColor(ui::Colour colour) { SetColour(mEditableColour, colour); }
  void SetDisabledColor(ui::Colour colour) { SetColour(mDisabledColour, colour); }
  void SetTrueFalseStrings(const std::string& trueText, const std::string& falseText);
  void SetOkCancelStrings(const std::string& ok, const std::string& cancel);
  void SetUndefinedString(const std::string& text) {
    mUndefinedText = text;
    Refresh();
  }
  void SetEmptyMessage(const std::string& text) {
    mEmptyMessage = text;
    Refresh();
  }

  // ---- layout and hit testing ----
  std::vector<Row> Rows() const;
  int ContentHeight() const { return static_cast<int>(Rows().size()) * mRowHeight; }
  bool ScrollBarVisible() const { return mClientHeight > 0 && ContentHeight() >= mClientHeight; }
  int ScrollRange() const { return ScrollBarVisible() ? ContentHeight() : 0; }
  int ScrollPage() const { return mClientHeight; }
  int ScrollPos() const { return mScrollPos; }
  int Splitter() const { return mSplitter; }
  int IndentWidth() const { return mRowHeight; }
  // The row's rectangle in client coordinates (scroll applied); the value cell of an item row.
  ui::Rect RowRect(int rowIndex) const;
  ui::Rect ValueRect(int rowIndex) const;
  ui::Rect ButtonRect(int rowIndex) const;
  Hit HitTest(ui::Point point) const;

  // ---- input ----
  void OnLButtonDown(ui::Point point);
  void OnMouseMove(ui::Point point);
  void OnLButtonUp(ui::Point point);
  void OnLButtonDblClk(ui::Point point);
  void OnMouseWheel(int delta);
  void ScrollBy(int pixels);  // from the wheel and the scroll bar
  // Virtual key codes of the arrow keys, and characters '+', '-', '*', '/'.
  void OnKeyDown(int key);
  void OnChar(char c);
  bool SplitterCursor(ui::Point point) const;

  // ---- editing ----
  EEditMode GetEditMode(const Item& item) const;
  // The editor the grid has open (none, in-place, drop-down list, calendar).
  enum class Editor { kNone, kInPlace, kList, kCalendar };
  Editor OpenEditor() const { return mEditor; }
  int EditedItem() const { return mEditedItem; }
  // The text an in-place editor starts with, and the entries of a drop-down list.
  std::string InPlaceText(const Item& item) const;
  std::vector<std::string> ListEntries(const Item& item) const;
  // What the editors send: the edited text (1512), the chosen index (1511), the calendar's date
  // (1513); an editor that closes without a value sends its message without one.
  void OnEndLabelEdit(const std::string& text);
  void OnListChoice(int index);
  void OnCalendarChoice(const ui::DateTime& date);
  void CloseEditor();
  void CommitEditor();  // the in-place edit's text taken as if it lost the focus; other editors close

  // The value as shown in its cell.
  std::string DisplayText(const Item& item) const;
  const Item* GetItem(int id) const;
  int GetFocusedItem() const { return mFocusedItem; }
  int GetFocusedSection() const { return mFocusedSection; }

 private:
  Item* FindItem(int id);
  Section* FindSection(int id);
  const Section* FindSection(int id) const;
  int AddItem(int section, const std::string& name, EItemType type, Value value, std::vector<std::string> options,
              bool editable, bool undefined);
  bool Focusable(const Item& item) const { return item.editable || mFocusDisabled; }
  void FocusRow(const Row& row);
  void MoveFocus(int direction);
  int FocusedRowIndex(const std::vector<Row>& rows) const;
  void ScrollIntoView(int rowIndex);
  void SetScrollPos(int position);
  void Changed(const Item& item);
  void Notify(uint32_t message, intptr_t id);
  void StartEditing(Item& item);
  int RowIndexOf(int item) const;
  ICustomItem* MouseItem(ui::Rect& cell);
  // The editor windows, when the grid has a window: in-place, drop-down, and the dialogs.
  void OpenEditorWindow(Item& item, int rowIndex);
  bool RunDialog(Item& item);
  void Toggle(Section& section) { section.collapsed = !section.collapsed; ClampScroll(); }
  // The scroll bar and a repaint, after anything that may change what is shown.
  void Refresh();
  bool Written(bool stored);
  void SetColour(ui::Colour& member, ui::Colour colour) {
    member = colour;
    Refresh();
  }
  void PaintTitle(ui::Surface& surface, const Section& section, const ui::Rect& row);
  void PaintItem(ui::Surface& surface, const Item& item, const ui::Rect& row, int rowIndex);
  void ClampScroll() { SetScrollPos(mScrollPos); }

  std::vector<Section> mSections;
  int mNextSectionId = 0;
  int mNextItemId = 0;
  int mFocusedSection = -1;
  int mFocusedItem = -1;
  int mDisplayMode = 0;
  int mSplitter = 0;
  int mRowHeight = 16;
  int mClientWidth = 0;
  int mClientHeight = 0;
  int mScrollBarWidth = 16;
  int mScrollPos = 0;
  bool mShadeTitles = true;
  bool mDrawLines = true;
  bool mDrawGutter = true;
  bool mFocusDisabled = true;
  bool mBoldModified = false;
  bool mBoldEditables = false;
  ui::Colour mTextColour;
  ui::Colour mTitleColour;
  ui::Colour mBackColour = ui::Rgb(255, 255, 255);
  ui::Colour mShadeColour = ui::Rgb(240, 240, 240);
  ui::Colour mFocusColour = ui::Rgb(0, 120, 215);
  ui::Colour mFocusTextColour = ui::Rgb(255, 255, 255);
  ui::Colour mEditableColour;
  ui::Colour mDisabledColour = ui::Rgb(109, 109, 109);
  ui::Font mFont{"Tahoma", 9, 85};
  ui::Font mBoldFont{"Tahoma", 9, 85, 700};
  bool mMeasured = false;  // the row height taken from the font at the first paint
  ui::Window* mWindow = nullptr;
  std::string mTrueText = "True";
  std::string mFalseText = "False";
  std::string mOkText;
  std::string mCancelText;
  std::string mDateLabel = "Date";
  std::string mTimeLabel = "Time";
 public:
  void SetDateTimeStrings(const std::string& date, const std::string& time) {
    mDateLabel = date;
    mTimeLabel = time;
    Refresh();
  }

 private:
  std::string mUndefinedText;
  std::string mEmptyMessage;
  ui::Window* mOwner = nullptr;
  // The mouse: the splitter being dragged, editing armed over a place, the editor open.
  bool mDraggingSplitter = false;
  bool mArmed = false;
  Hit mArmedHit;
  bool mButtonDown = false;
  int mMouseItem = -1;  // the custom item that took the mouse
  Editor mEditor = Editor::kNone;
  int mEditedItem = -1;
  // The open editor's object and window; a closed editor's object is kept until the next one
  // opens, since it may be what is closing it.
  std::unique_ptr<ui::MessageHandler> mEditorObject;
  std::unique_ptr<ui::MessageHandler> mRetiredEditor;
  ui::Window* mEditorWindow = nullptr;
};
