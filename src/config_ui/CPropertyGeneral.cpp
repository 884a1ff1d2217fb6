#include "CPropertyGeneral.h"

#include <algorithm>
#include <exception>
#include <sstream>
#include <vector>

#include "config_ui/CSheet1.h"
#include "config_ui/PropertyControlAdapter.h"
#include "driver/Log.h"
#include "parameters/LookupTableFile.h"

namespace {

constexpr uint32_t kControl = ui::style::kChild | ui::style::kVisible;
constexpr uint32_t kGroupBox = 0x00000007;
constexpr int kTemplateWidth = 439;
constexpr int kTemplateHeight = 282;
constexpr const char* kLastFocused = "LastFocusedItemName";

// The parameter of that name in the set, or null.
Param_* Find(CameraParameters& parameters, const char* name) {
  return parameters.Has(name) ? &parameters.Get(name) : nullptr;
}

bool IsRangedNumber(const Param_& parameter) {
  const Param_::Kind kind = parameter.kind();
  return kind == Param_::Kind::Int || kind == Param_::Kind::Int64 || kind == Param_::Kind::Double;
}

}  // namespace

CPropertyGeneral::CPropertyGeneral(CameraParameters& parameters, CSheet1& sheet)
    : CPropertyPage("General", kTemplateWidth, kTemplateHeight), mParameters(parameters), mSheet(sheet) {
  SetFont(&mFont);
  SetFontSize(8);
  AddTemplateControls();
}

void CPropertyGeneral::AddTemplateControls() {
  const ui::Rect grid{3, 3, 3 + 431, 3 + 223};
  const ui::Rect frame{3, 227, 3 + 431, 227 + 51};
  const ui::Rect name{10, 232, 10 + 424, 232 + 9};
  const ui::Rect description{10, 242, 10 + 424, 242 + 33};
  AddTemplateControl("STATIC", "", kControl, 0, &grid, kGridId);
  AddTemplateControl("BUTTON", "", kControl | kGroupBox, 0, &frame, kTextFrameId);
  AddTemplateControl("STATIC", "(Name)", kControl, 0, &name, kNameId);
  AddTemplateControl("STATIC", "(Description)", kControl, 0, &description, kDescriptionId);
  SetExtent(kTemplateWidth, kTemplateHeight);
}

Param_* CPropertyGeneral::ParameterOf(int item) const {
  const auto found = mItemParameters.find(item);
  return found != mItemParameters.end() ? found->second : nullptr;
}

int CPropertyGeneral::ItemOf(const std::string& name) const {
  for (const auto& [item, parameter] : mItemParameters) {
    if (parameter->name == name) return item;
  }
  return -1;
}

int CPropertyGeneral::SectionOf(const std::string& group) {
  const auto found = mSections.find(group);
  if (found != mSections.end()) return found->second;
  const int section = mGrid.AddSection(group);
  mSections[group] = section;
  return section;
}

void CPropertyGeneral::OnInitDialog(ui::Window& self) {
  // The grid takes the place of its frame.
  if (ui::Window* frame = self.GetDlgItem(kGridId)) {
    const ui::Rect area = frame->GetWindowRect();
    frame->DestroyWindow();
    mGrid.Create(&self, area, kGridId);
    mGrid.SetOwner(&self);
    mGrid.SetClientSize(area.Width(), area.Height());
  }
  mNameLabel = self.GetDlgItem(kNameId);
  mDescriptionLabel = self.GetDlgItem(kDescriptionId);

  // The lookup-table rows follow the switch and the file.
  const bool useLut = mParameters.Get("Use LUTtable").val<bool>();
  mParameters.Get("LUTtable").enabled = useLut;
  mParameters.Get("LUTtableRow").enabled = useLut;
  // The item focused when the page was last closed, focused again.
  if (Param_* last = Find(mParameters, kLastFocused); last != nullptr && last->kind() == Param_::Kind::String) {
    mLastFocusedName = last->get_string();
  }
  // 3. Taken aside first: focusing an item may add the last-focused parameter to the set.
  std::vector<Param_*> shown;
  for (Param_& parameter : mParameters) {
    if (parameter.visible) shown.push_back(&parameter);
  }
  for (Param_* parameter : shown) {
    const int section = SectionOf(parameter->group);
    if (parameter->name == "LUTtableRow") continue;
    int item = -1;
    try {
      item = PropertyControlAdapter::For(*parameter)->CreateItem(*parameter, mGrid, section);
    } catch (const std::exception& e) {
      Log(1, "CPropertyGeneral: ERROR: parameter %s is not shown: %s\n", parameter->name.c_str(), e.what());
      continue;
    }
    if (item < 0) continue;
    mItemParameters[item] = parameter;
    if (parameter->name == "LUTtable") mLutItem = item;
    if (parameter->name == mLastFocusedName) mGrid.SelectItem(item);
  }
  BuildLookupTableColumnList();
  if (mLastFocusedName == "LUTtableRow" && mLutRowItem >= 0) mGrid.SelectItem(mLutRowItem);
  // A stored set that is already invalid cannot be confirmed unchanged: OK starts disabled with
  // the message, as after a change.
  ShowValidation();
  // The keys reach the grid from the start.
  if (mGrid.GetWindow() != nullptr) mGrid.GetWindow()->SetFocus();
}

void CPropertyGeneral::BuildLookupTableColumnList() {
  Param_* row = Find(mParameters, "LUTtableRow");
  if (row == nullptr || !row->visible) return;
  if (mLutRowItem >= 0) {
    mGrid.RemoveItem(mLutRowItem);
    mItemParameters.erase(mLutRowItem);
    mLutRowItem = -1;
  }
  // An unreadable file leaves the list empty.
  std::vector<std::string> columns;
  if (Param_* table = Find(mParameters, "LUTtable")) ReadLookupTableColumns(table->get_string(), columns);
  const std::string current = row->get_string();
  const auto selected = std::find(columns.begin(), columns.end(), current);
  const int64_t index = selected != columns.end() ? selected - columns.begin() : -1;
  const int item = mGrid.AddComboItem(SectionOf(row->group), PropertyControlAdapter::Label(*row), columns, index,
                                      row->enabled);
  if (item < 0) return;
  if (mLutItem >= 0) mGrid.MoveItemAfter(item, mLutItem);
  mLutRowItem = item;
  mItemParameters[item] = row;  // its changes are read back as any text parameter's
}

void CPropertyGeneral::OnSelectionChanged(int item) {
  Param_* parameter = ParameterOf(item);
  if (parameter == nullptr) return;
  std::string name = parameter->name;
  if (parameter->enabled && IsRangedNumber(*parameter)) {
    std::ostringstream range;
    range.precision(9);
    parameter->print_range(range);
    name += " " + range.str();
  }
  if (mNameLabel != nullptr) mNameLabel->SetText(name);
  if (mDescriptionLabel != nullptr) mDescriptionLabel->SetText(parameter->description);
  // Remembered for the next dialog; the bookkeeping is neither shown nor written to the file.
  if (Param_* last = Find(mParameters, kLastFocused)) {
    last->val(parameter->name.c_str());
    return;
  }
  auto created = std::make_unique<Param<std::string>>("Internal", kLastFocused, parameter->name);
  created->visible = false;
  created->persistent = false;
  mParameters.Add(std::move(created));
}

void CPropertyGeneral::ShowValidation() {
  std::string message;
  if (mParameters.Validate(message)) {
    mSheet.EnableOk(true);  // and the status text cleared
  } else {
    mSheet.EnableOk(false);
    mSheet.SetStatusText(message);
  }
}

void CPropertyGeneral::OnItemChanged(int item) {
  Param_* parameter = ParameterOf(item);
  if (parameter == nullptr) return;
  try {
    PropertyControlAdapter::For(*parameter)->ReadValueFromItem(*parameter, mGrid, item);
  } catch (const RefusedInput& refused) {
    // Nothing changed; the operator learns why the typed value went.
    mSheet.SetStatusText(refused.what());
    return;
  }
  ShowValidation();
  if (parameter->name == "LUTtable") {
    mParameters.Get("LUTtableRow").val("");
    BuildLookupTableColumnList();
  }
  for (const auto& [id, shown] : mItemParameters) mGrid.EnableItem(id, shown->enabled);
}

intptr_t CPropertyGeneral::OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  // Nothing may leave a message handler: the window system's loop is below it.
  try {
    switch (message) {
      case WM_PG_ITEMCHANGED:
        OnItemChanged(static_cast<int>(static_cast<intptr_t>(wParam)));
        return 0;
      case WM_PG_SELECTIONCHANGED:
        OnSelectionChanged(static_cast<int>(static_cast<intptr_t>(wParam)));
        return 0;
      case kEnableOkMessage:
        mSheet.EnableOk(true);
        return 0;
      case ui::msg::kDestroy:
        mNameLabel = nullptr;
        mDescriptionLabel = nullptr;
        break;
      default:
        break;
    }
    return CPropertyPage::OnMessage(self, message, wParam, lParam);
  } catch (const std::exception& e) {
    Log(1, "CPropertyGeneral: ERROR: %s\n", e.what());
  } catch (...) {
    Log(1, "CPropertyGeneral: ERROR: unknown exception\n");
  }
  return 0;
}
