// The camera configuration dialog on the headless window system: the sheet, its page of every
// visible parameter, validation after each change, and what OK and Cancel leave behind.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "KorvexEjector.h"

#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "config_ui/CPropertyGeneral.h"
#include "config_ui/CSheet1.h"
#include "config_ui/PropertyControlAdapter.h"
#include "driver/DriverState.h"
#include "ui/headless/HeadlessToolkit.h"

namespace {

using ui::headless::HeadlessUiModule;
using ui::headless::HeadlessWindow;

constexpr const char* kMono = "Basler raL2048-48gm (21000001)";
constexpr const char* kColour = "Basler ruL2098-10gc (21000002)";

std::vector<std::string> gLog;
void Record(const char* text) { gLog.emplace_back(text); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The dialog shows the driver's log settings in place of the stored ones.
bool IsLogSetting(const std::string& name) {
  return name == "LogLevel" || name == "DebugViewOutput" || name == "LogIntoFile";
}

// The pieces of a sheet on the screen.
struct Shown {
  HeadlessWindow* sheet = nullptr;
  HeadlessWindow* page = nullptr;
  CPropertyGeneral* general = nullptr;
  CSheet1* sheet1 = nullptr;
  CPropertyGrid* grid = nullptr;

  explicit Shown(HeadlessWindow& dialog) : sheet(&dialog) {
    sheet1 = dynamic_cast<CSheet1*>(dialog.Handler());
    HeadlessWindow* tabs = dialog.Child(CPropertySheet::kTabControlId);
    if (tabs == nullptr || tabs->Children().empty() || tabs->Children()[0]->Children().empty()) return;
    page = tabs->Children()[0]->Children()[0].get();
    general = dynamic_cast<CPropertyGeneral*>(page->Handler());
    if (general != nullptr) grid = &general->GetGrid();
  }
  HeadlessWindow* Control(int id) const { return page != nullptr ? page->Child(id) : nullptr; }
  int Item(const std::string& name) const { return general->ItemOf(name); }
  // What the grid tells the page once the user has changed an item's value.
  void Changed(int item) const { page->SendMessage(WM_PG_ITEMCHANGED, static_cast<uintptr_t>(item), 0); }
  void Focus(int item) const { grid->SelectItem(item); }
};

class ConfigurationDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    system = ::testing::TempDir() + "korvex-dialog-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(system);
    std::filesystem::create_directories(system);
    DriverState::Get().SetSystemPath(system.c_str());
    DriverState::Get().SetDebugMessageProc(&Record);
    ui::InstallUiModule(&module);
    ASSERT_TRUE(CameraList::GetInstance()->Init());
  }
  void TearDown() override {
    CameraList::DestroyInstance();
    ui::InstallUiModule(nullptr);
    DriverState::Get().SetDebugMessageProc(nullptr);
  }
  // Opened on port 0 (the node map's parameters join the set), then every log line wanted.
  Camera& Open(const char* name) {
    Camera& camera = *CameraList::GetInstance()->GetByName(name);
    int size[2] = {0, 0};
    EXPECT_TRUE(camera.Open(0, size));
    DriverState::Get().logLevel = 3;
    return camera;
  }
  std::string Ini() const { return ReadFile(system + "/Korvex.ini"); }
  bool Logged(const std::string& text) const {
    for (const std::string& line : gLog) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }
  template <typename F>
  void OnDialog(F user) {
    module.toolkit.onModal = [user](HeadlessWindow& dialog) {
      Shown shown(dialog);
      ASSERT_NE(shown.general, nullptr) << "the page is on the sheet";
      user(shown);
    };
  }

  HeadlessUiModule module;
  std::string system;
};

TEST_F(ConfigurationDialog, TheSheetShowsPortPlusOneTwoButtonsInPlaceOfFourAStatusBarAndTheTemplatesControls) {
  Camera& camera = Open(kMono);
  OnDialog([](Shown& shown) {
    EXPECT_EQ(shown.sheet->GetText(), std::string("Configure camera on port #1: ") + kMono);
    HeadlessWindow* ok = shown.sheet->Child(ui::kIdOk);
    HeadlessWindow* cancel = shown.sheet->Child(ui::kIdCancel);
    EXPECT_FALSE(shown.sheet->Child(CPropertySheet::kApplyId)->IsVisible());
    EXPECT_FALSE(shown.sheet->Child(CPropertySheet::kHelpId)->IsVisible());
    EXPECT_EQ(ok->WindowRect(), shown.sheet->Child(CPropertySheet::kApplyId)->WindowRect());
    EXPECT_EQ(cancel->WindowRect(), shown.sheet->Child(CPropertySheet::kHelpId)->WindowRect());
    EXPECT_EQ(cancel->WindowRect().right, shown.sheet->Child(CPropertySheet::kTabControlId)->WindowRect().right);
    HeadlessWindow* bar = shown.sheet->Child(CSheet1::kStatusBarId);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->ClassName(), "msctls_statusbar32");
    EXPECT_GT(bar->WindowRect().top, ok->WindowRect().bottom) << "along the bottom";
    EXPECT_EQ(bar->WindowRect().bottom, shown.sheet->GetClientRect().bottom) << "the sheet grew by its height";
    EXPECT_EQ(shown.sheet->Child(CPropertySheet::kTabControlId)->Children()[0]->GetText(), "General");
    // Template 139 in dialog units: 6 x 13 pixels a character, 4 x 8 units.
    EXPECT_EQ(shown.Control(CPropertyGeneral::kNameId)->GetText(), "(Name)");
    EXPECT_EQ(shown.Control(CPropertyGeneral::kNameId)->WindowRect(), (ui::Rect{15, 377, 651, 391}));
    EXPECT_EQ(shown.Control(CPropertyGeneral::kDescriptionId)->GetText(), "(Description)");
    EXPECT_EQ(shown.Control(CPropertyGeneral::kGridId)->ClassName(), "custom") << "the grid took the frame's place";
    EXPECT_EQ(shown.Control(CPropertyGeneral::kGridId)->WindowRect(), (ui::Rect{4, 4, 651, 367}));
    EXPECT_TRUE(shown.sheet1->IsOkAllowed());
    shown.sheet->Click(ui::kIdCancel);
  });
  EXPECT_FALSE(camera.Configure(0));
  EXPECT_FALSE(std::filesystem::exists(system + "/Korvex.ini")) << "Cancel stores nothing";
  EXPECT_TRUE(Logged("Camera::Configure: entering\n"));
  EXPECT_TRUE(Logged("Camera::Configure: leaving\n"));
}

// Every parameter of a camera's full set: the fixed ones and those from its node map.
class EveryParameter : public ConfigurationDialog, public ::testing::WithParamInterface<const char*> {};

TEST_P(EveryParameter, IsShownInItsGroupAsTheRightItemAndComesBackFromTheGridUnchanged) {
  Camera& camera = Open(GetParam());
  CameraParameters& set = camera.GetParameters();
  ASSERT_GT(set.size(), 60u) << "the node map's parameters are in";
  std::map<std::string, std::string> before;
  for (Param_& parameter : set) before[parameter.name] = parameter.get_string();
  int checked = 0;
  OnDialog([&](Shown& shown) {
    std::map<int, int> sectionOfItem;
    for (const CPropertyGrid::Row& row : shown.grid->Rows()) sectionOfItem[row.item] = row.section;
    for (Param_& parameter : set) {
      const int item = shown.Item(parameter.name);
      if (!parameter.visible) {
        EXPECT_EQ(item, -1) << parameter.name << " is not shown";
        continue;
      }
      ASSERT_GE(item, 0) << parameter.name;
      const CPropertyGrid::Item* shownItem = shown.grid->GetItem(item);
      EItemType expected = IT_STRING;
      switch (parameter.kind()) {
        case Param_::Kind::Bool: expected = IT_BOOLEAN; break;
        case Param_::Kind::Int:
        case Param_::Kind::UInt:
        case Param_::Kind::Int64: expected = IT_INTEGER; break;
        case Param_::Kind::Double: expected = IT_DOUBLE; break;
        case Param_::Kind::Enum: expected = IT_COMBO; break;
        case Param_::Kind::String: expected = IT_STRING; break;
      }
      if (parameter.name == "LUTtable") expected = IT_FILE;
      if (parameter.name == "LUTtableRow") expected = IT_COMBO;
      EXPECT_EQ(shownItem->type, expected) << parameter.name;
      EXPECT_EQ(shownItem->editable, parameter.enabled) << parameter.name;
      EXPECT_EQ(shownItem->name, PropertyControlAdapter::Label(parameter));
      EXPECT_EQ(sectionOfItem[item], shown.general->GetSection(parameter.group)) << parameter.name << " in its group";
      // The page's copy, read back from its item: the value it was shown with.
      Param_& edited = *shown.general->ParameterOf(item);
      const std::string value = edited.get_string();
      if (!IsLogSetting(parameter.name)) {
        EXPECT_EQ(value, before[parameter.name]) << parameter.name;
      }
      if (parameter.name != "LUTtableRow") {
        PropertyControlAdapter::For(edited)->ReadValueFromItem(edited, *shown.grid, item);
        EXPECT_EQ(edited.get_string(), value) << parameter.name << " round trip";
      }
      ++checked;
    }
    shown.sheet->Click(ui::kIdOk);
  });
  EXPECT_TRUE(camera.Configure(0));
  EXPECT_GT(checked, 40);
  for (Param_& parameter : set) {
    if (IsLogSetting(parameter.name)) continue;
    EXPECT_EQ(parameter.get_string(), before[parameter.name]) << parameter.name << " unchanged by OK";
  }
}

INSTANTIATE_TEST_SUITE_P(BothVirtualCameras, EveryParameter, ::testing::Values(kMono, kColour));

TEST_F(ConfigurationDialog, SectionsFollowTheGroupsInTheSetsOrder) {
  Camera& camera = Open(kColour);
  std::vector<std::string> groups;
  for (const Param_& parameter : camera.GetParameters()) {
    if (parameter.visible && std::find(groups.begin(), groups.end(), parameter.group) == groups.end()) {
      groups.push_back(parameter.group);
    }
  }
  ASSERT_GT(groups.size(), 3u);
  OnDialog([&](Shown& shown) {
    std::vector<int> sections, expected;
    for (const CPropertyGrid::Row& row : shown.grid->Rows()) {
      if (row.item < 0) sections.push_back(row.section);
    }
    for (const std::string& group : groups) expected.push_back(shown.general->GetSection(group));
    EXPECT_EQ(sections, expected);
  });
  camera.Configure(0);
}

TEST_F(ConfigurationDialog, AnInvalidChangeDisablesOkWithTheMessageAndItsCorrectionEnablesOkAndClearsTheBar) {
  Camera& camera = Open(kMono);
  bool ended = true;
  OnDialog([&](Shown& shown) {
    const int height = shown.Item("Height");
    shown.grid->SetItemValue(height, int64_t{9000});
    shown.Changed(height);
    EXPECT_FALSE(shown.sheet1->IsOkAllowed());
    EXPECT_FALSE(shown.sheet->Child(ui::kIdOk)->IsEnabled());
    EXPECT_EQ(shown.sheet->Child(CSheet1::kStatusBarId)->GetText(), "General: Height is out of range [0..8191]");
    shown.sheet->Click(ui::kIdOk);
    ended = shown.sheet->Ended();
    shown.grid->SetItemValue(height, int64_t{1000});
    shown.Changed(height);
    EXPECT_TRUE(shown.sheet->Child(ui::kIdOk)->IsEnabled());
    EXPECT_EQ(shown.sheet->Child(CSheet1::kStatusBarId)->GetText(), "");
    // Validation decides what can be edited: decimation only with decimation on.
    const int use = shown.Item("UseDecimation"), value = shown.Item("Decimation");
    shown.grid->SetItemValue(use, true);
    shown.Changed(use);
    EXPECT_TRUE(shown.grid->GetItem(value)->editable);
    shown.grid->SetItemValue(use, false);
    shown.Changed(use);
    EXPECT_FALSE(shown.grid->GetItem(value)->editable);
    shown.sheet->Click(ui::kIdOk);
  });
  EXPECT_TRUE(camera.Configure(0));
  EXPECT_FALSE(ended) << "a disabled OK confirms nothing";
  EXPECT_EQ(camera.GetParameters().Get("Height").val<int>(), 1000);
  EXPECT_THAT(Ini(), ::testing::HasSubstr(std::string("[") + kMono + "]\nWidth=512\nHeight=1000\n"));
}

TEST_F(ConfigurationDialog, TheFocusedItemShowsNameRangeAndDescriptionAndTheNextDialogOpensOnIt) {
  Camera& camera = Open(kMono);
  camera.GetParameters().Get("Gamma").maxval(3.14159265358979);
  OnDialog([&](Shown& shown) {
    EXPECT_EQ(shown.grid->GetFocusedItem(), -1);
    shown.Focus(shown.Item("Gamma"));
    EXPECT_EQ(shown.Control(CPropertyGeneral::kNameId)->GetText(), "Gamma [0..3.14159265]") << "nine digits";
    EXPECT_EQ(shown.Control(CPropertyGeneral::kDescriptionId)->GetText(), "Gamma correction");
    shown.Focus(shown.Item("Decimation"));  // disabled: no range
    EXPECT_EQ(shown.Control(CPropertyGeneral::kNameId)->GetText(), "Decimation");
    shown.Focus(shown.Item("Height"));
    EXPECT_EQ(shown.Control(CPropertyGeneral::kNameId)->GetText(), "Height [1..8191]");
    shown.sheet->Click(ui::kIdOk);
  });
  ASSERT_TRUE(camera.Configure(0));
  EXPECT_EQ(camera.GetParameters().Get("LastFocusedItemName").get_string(), std::string("Height"));
  EXPECT_EQ(Ini().find("LastFocusedItemName"), std::string::npos) << "bookkeeping, not a setting";
  OnDialog([&](Shown& shown) {
    EXPECT_EQ(shown.grid->GetFocusedItem(), shown.Item("Height"));
    EXPECT_EQ(shown.Control(CPropertyGeneral::kNameId)->GetText(), "Height [1..8191]");
    EXPECT_EQ(shown.Item("LastFocusedItemName"), -1) << "not shown";
  });
  camera.Configure(0);
}

TEST_F(ConfigurationDialog, ANewLookupTableEmptiesTheRowAndOffersTheNewFilesColumns) {
  const std::string first = system + "/first.csv", second = system + "/second.csv";
  std::ofstream(first) << "index;red;green;blue\n0;0;0;0\n";
  std::ofstream(second) << "index;bright;dark\n0;1;2\n";
  Camera& camera = Open(kMono);
  CameraParameters& set = camera.GetParameters();
  set.Get("Use LUTtable").val(true);
  set.Get("LUTtable").val(first.c_str());
  set.Get("LUTtableRow").val("green");
  OnDialog([&](Shown& shown) {
    const int table = shown.Item("LUTtable");
    int row = shown.general->GetLutTableRowItem();
    EXPECT_EQ(shown.grid->GetItem(row)->options, (std::vector<std::string>{"red", "green", "blue"}));
    std::string text;
    EXPECT_TRUE(shown.grid->GetItemValue(row, text));
    EXPECT_EQ(text, "green");
    EXPECT_TRUE(shown.grid->GetItem(row)->editable) << "the table is in use";
    const auto rows = shown.grid->Rows();
    for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
      if (rows[i].item == table) {
        EXPECT_EQ(rows[i + 1].item, row) << "right after the file";
      }
    }
    shown.grid->SetItemValue(table, second);
    shown.Changed(table);
    row = shown.general->GetLutTableRowItem();
    EXPECT_EQ(shown.grid->GetItem(row)->options, (std::vector<std::string>{"bright", "dark"}));
    EXPECT_FALSE(shown.grid->GetItemValue(row, text)) << "no column chosen yet";
    shown.grid->SetItemValue(row, std::string("dark"));
    shown.Changed(row);
    // A file that cannot be read offers nothing.
    shown.grid->SetItemValue(table, system + "/missing.csv");
    shown.Changed(table);
    EXPECT_TRUE(shown.grid->GetItem(shown.general->GetLutTableRowItem())->options.empty());
    shown.grid->SetItemValue(table, second);
    shown.Changed(table);
    shown.grid->SetItemValue(shown.general->GetLutTableRowItem(), std::string("dark"));
    shown.Changed(shown.general->GetLutTableRowItem());
    shown.sheet->Click(ui::kIdOk);
  });
  ASSERT_TRUE(camera.Configure(0));
  EXPECT_EQ(set.Get("LUTtable").get_string(), second);
  EXPECT_EQ(set.Get("LUTtableRow").get_string(), std::string("dark"));
}

TEST_F(ConfigurationDialog, TheCopyCarriesTheDriversLogSettingsAndCancelLeavesTheCameraAsItWas) {
  Camera& camera = Open(kMono);
  DriverState::Get().logLevel = 4;
  DriverState::Get().debugOutputLevel = 2;
  OnDialog([&](Shown& shown) {
    int64_t level = 0;
    EXPECT_TRUE(shown.grid->GetItemValue(shown.Item("LogLevel"), level));
    EXPECT_EQ(level, 4);
    const int height = shown.Item("Height");
    shown.grid->SetItemValue(height, int64_t{1000});
    shown.Changed(height);
    shown.sheet->Click(ui::kIdCancel);
  });
  EXPECT_FALSE(camera.Configure(0));
  DriverState::Get().logLevel = 1;
  EXPECT_EQ(camera.GetParameters().Get("Height").val<int>(), 512);
  EXPECT_EQ(camera.GetParameters().Get("LogLevel").val<int>(), 1);
}

TEST_F(ConfigurationDialog, ContinuousAcquisitionRefusesWithAMessageBoxAndNoDisplayLogsWhy) {
  Camera& camera = Open(kMono);
  camera.SetContinuousGrab(true);
  EXPECT_FALSE(camera.Configure(0));
  camera.SetContinuousGrab(false);
  EXPECT_EQ(module.toolkit.messageBoxes, std::vector<std::string>{"Please stop inspection to configure camera"});
  EXPECT_EQ(module.toolkit.messageBoxCaptions, std::vector<std::string>{std::string("Configure camera on port #1: ") + kMono});
  EXPECT_EQ(module.toolkit.messageBoxIcons, std::vector<ui::MessageIcon>{ui::MessageIcon::kExclamation});
  EXPECT_TRUE(module.toolkit.lastTemplate.empty()) << "no sheet was made";

  module.display = false;
  EXPECT_FALSE(camera.Configure(0));
  EXPECT_TRUE(Logged("Camera::Configure: ERROR: cannot show the dialog, there is no display\n"));
}

TEST_F(ConfigurationDialog, TheDialogStaysAboveTheHostsWindowWhenItExists) {
  Camera& camera = Open(kMono);
  module.toolkit.missingHosts = {0x999};
  ui::Window* parent = nullptr;
  OnDialog([&](Shown& shown) { parent = shown.sheet->GetParent(); });
  camera.Configure(0x4200001);
  ASSERT_NE(parent, nullptr);
  EXPECT_EQ(parent->GetId(), 0x4200001);
  camera.Configure(0x999);
  EXPECT_TRUE(Logged("Camera::Configure: host window 2457 not found, the dialog has no parent\n"));
}

TEST(ConfigurationDialogAndFinalize, FinalizeOnAnotherThreadWaitsForTheOpenDialogBeforeTheCamerasGo) {
  const std::string system = ::testing::TempDir() + "korvex-dialog-finalize";
  std::filesystem::create_directories(system);
  HeadlessUiModule module;
  ui::InstallUiModule(&module);
  std::atomic<bool> shown{false};
  module.toolkit.onModal = [&](HeadlessWindow& dialog) {
    shown = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the user takes a moment
    dialog.Click(ui::kIdOk);
  };
  ASSERT_EQ(initialize(system.c_str(), nullptr), 1);
  int result = -1;
  std::thread host([&] { result = configureCamera(0, kMono); });
  while (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(finalize(), 1);
  host.join();
  EXPECT_EQ(result, 0) << "confirmed and stored, the camera still there";
  EXPECT_EQ(module.shutdowns, 1);
  ui::InstallUiModule(nullptr);
}

}  // namespace
