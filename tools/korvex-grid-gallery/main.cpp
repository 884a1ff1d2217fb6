// The property grid gallery: a grid with one item of every type in two sections, in a dialog on
// the desktop, for trying the control by hand. With --screenshot FILE it writes the dialog as a
// PNG and closes again (the picture in README is made this way, under Xvfb).
//
//   korvex-grid-gallery [--screenshot FILE]

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config_ui/CDynDialogEx.h"
#include "config_ui/CPropertyGrid.h"
#include "ui/Ui.h"

namespace {

// A custom item: a level bar the caller draws.
class LevelItem : public ICustomItem {
 public:
  EEditMode GetEditMode() override { return EM_NONE; }
  void DrawItem(ui::Surface& surface, const ui::Rect& cell, bool) override {
    const ui::Rect bar{cell.left + 3, cell.top + 3, cell.left + 3 + (cell.Width() - 6) * mLevel / 100, cell.bottom - 3};
    surface.FillRect(bar, ui::Rgb(60, 160, 90));
    surface.FrameRect(ui::Rect{cell.left + 3, cell.top + 3, cell.right - 3, cell.bottom - 3}, ui::Rgb(90, 90, 90));
  }
  bool OnLButtonDown(const ui::Rect&, ui::Point) override { return false; }
  void OnMouseMove(const ui::Rect&, ui::Point) override {}
  void OnLButtonUp(const ui::Rect&, ui::Point) override {}
  std::string GetStringForInPlaceEdit() override { return std::to_string(mLevel); }
  bool OnItemEdited(const std::string&) override { return false; }
  void ShowDropDown(const ui::Rect&) override {}
  bool OnItemButtonClicked() override { return false; }
  void ValidateChanges() override {}

 private:
  int mLevel = 70;
};

void Fill(CPropertyGrid& grid, LevelItem& level) {
  const int camera = grid.AddSection("Camera");
  grid.AddStringItem(camera, "Name", "Line camera 1");
  grid.AddTextItem(camera, "Notes", "Mounted above belt 2\r\nCleaned weekly");
  grid.AddIntegerItem(camera, "Exposure", int64_t{120});
  grid.AddDoubleItem(camera, "Gain", 1.75);
  grid.AddComboItem(camera, "Trigger", {"Free running", "Line start", "Frame start"}, 1);
  grid.AddBoolItem(camera, "Embed line counter", true);
  grid.AddDateItem(camera, "Calibrated", ui::DateTime{2026, 11, 30, 0, 0, 0}, "%d %b %Y");
  grid.AddDateTimeItem(camera, "Last service", ui::DateTime{2026, 12, 8, 14, 30, 0}, "%d %b %Y %H:%M");
  grid.AddIntegerItem(camera, "Serial (read-only)", int64_t{21000001}, "", false);
  const int look = grid.AddSection("Appearance");
  grid.AddFileItem(look, "Lookup table", "/var/lib/host/tables/gamma-0.8.lut", "Tables (*.lut)|*.lut");
  grid.AddFolderItem(look, "Pictures", "/var/lib/host/pictures", "Where pictures go");
  grid.AddColorItem(look, "Overlay colour", ui::Rgb(255, 128, 0));
  grid.AddFontItem(look, "Label font", ui::Font{"Tahoma", 9});
  grid.AddCustomItem(look, "Light level", &level);
  grid.AddComboItem(look, "Not set yet", {"A", "B"}, 0, true, true);
}

// The dialog that holds the grid: it makes the grid's window once the dialog's own controls are in.
class Gallery : public CDynDialogEx {
 public:
  intptr_t OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    const intptr_t result = CDynDialogEx::OnMessage(self, message, wParam, lParam);
    if (message == ui::msg::kInitDialog) {
      window = &self;
      const ui::Rect area = ui::GetToolkit()->MapDialogRect(self, ui::Rect{7, 7, 253, 197});
      if (grid.Create(&self, area, 1001)) {
        grid.SetUndefinedString("(not set)");
        Fill(grid, level);
        grid.SelectItem(5);  // the bool: its drop-down arrow shows
      }
    }
    return result;
  }
  CPropertyGrid grid;
  LevelItem level;
  ui::Window* window = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  std::string screenshot;
  if (argc == 3 && std::strcmp(argv[1], "--screenshot") == 0) {
    screenshot = argv[2];
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: korvex-grid-gallery [--screenshot FILE]\n");
    return 2;
  }
#ifdef KORVEX_UI_MODULE_PATH
  setenv("KORVEX_UI_MODULE", KORVEX_UI_MODULE_PATH, 0);  // the module of this build, unless told otherwise
#endif
  std::string why;
  ui::UiModule* module = ui::LoadUiModule(&why);
  if (module == nullptr) {
    std::fprintf(stderr, "korvex-grid-gallery: no window-system module: %s\n", why.c_str());
    return 1;
  }
  int result = 1;
  const bool shown = ui::CallUi(*module, [&] {
    Gallery gallery;
    gallery.SetWindowTitle("Property grid gallery");
    gallery.SetUseSystemButtons(false);
    const ui::Rect ok{150, 203, 200, 217}, cancel{203, 203, 253, 217};
    gallery.AddControlByName("BUTTON", "OK", 0x50010001, 0, &ok, {}, ui::kIdOk);
    gallery.AddControlByName("BUTTON", "Cancel", 0x50010000, 0, &cancel, {}, ui::kIdCancel);
    if (screenshot.empty()) {
      result = gallery.DoModal() == ui::kIdOk ? 0 : 1;
      return;
    }
    gallery.SetModeless(true);
    if (gallery.DoModal() != 1 || gallery.window == nullptr) return;
    result = ui::GetToolkit()->SaveScreenshot(*gallery.window, screenshot) ? 0 : 1;
    gallery.window->DestroyWindow();
  });
  module->Shutdown();
  if (!shown) {
    std::fprintf(stderr, "korvex-grid-gallery: no display\n");
    return 1;
  }
  if (!screenshot.empty()) std::printf("korvex-grid-gallery: %s %s\n", screenshot.c_str(), result == 0 ? "written" : "NOT written");
  return result;
}
