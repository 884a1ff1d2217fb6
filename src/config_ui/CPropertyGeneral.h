#pragma once
// The configuration sheet's one page: every visible parameter of the edited set as a grid item in
// the section of its group, the focused parameter's name, range and description below the grid,
// and the whole set validated after every change.
//
// Threads: the user-interface thread only. The page edits a copy of the camera's set, which no
// other thread sees.

#include <map>
#include <string>

#include "config_ui/CPropertyGrid.h"
#include "config_ui/CPropertySheet.h"
#include "parameters/CameraParameters.h"

class CSheet1;

class CPropertyGeneral : public CPropertyPage {
 public:
  // The controls of its template.
  static constexpr int kGridId = 1074;
  static constexpr int kTextFrameId = 1075;
  static constexpr int kDescriptionId = 1076;
  static constexpr int kNameId = 1077;
  // Sent to the page: OK is allowed again and the status text cleared.
  static constexpr uint32_t kEnableOkMessage = 1132;

  CPropertyGeneral(CameraParameters& parameters, CSheet1& sheet);

  intptr_t OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) override;

  CPropertyGrid& GetGrid() { return mGrid; }
  // The parameter an item shows, or null.
  Param_* ParameterOf(int item) const;
  int ItemOf(const std::string& name) const;
  int GetLutTableRowItem() const { return mLutRowItem; }
  // The grid section of a group, or -1.
  int GetSection(const std::string& group) const {
    const auto found = mSections.find(group);
    return found != mSections.end() ? found->second : -1;
  }

 protected:
  void OnInitDialog(ui::Window& self) override;

 private:
  void AddTemplateControls();
  void BuildLookupTableColumnList();
  void OnSelectionChanged(int item);
  void OnItemChanged(int item);
  void ShowValidation();  // OK and the status bar after the whole set is validated
  int SectionOf(const std::string& group);

  CameraParameters& mParameters;
  CSheet1& mSheet;
  CPropertyGrid mGrid;
  ui::Font mFont{"MS Shell Dlg", 8};
  ui::Window* mNameLabel = nullptr;         // while the page exists
  ui::Window* mDescriptionLabel = nullptr;  // while the page exists
  std::map<int, Param_*> mItemParameters;
  std::map<std::string, int> mSections;
  int mLutItem = -1;
  int mLutRowItem = -1;
  std::string mLastFocusedName;
};
