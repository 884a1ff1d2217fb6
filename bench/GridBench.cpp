// The property grid's full repaint of 200 items: on a surface that only measures text (the grid's
// own work), and under a display on the wxWidgets module's real surface; and opening a run-time
// dialog of 50 controls on the module. Without a display the module's figures are skipped.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "config_ui/CDynDialogEx.h"
#include "config_ui/CPropertyGrid.h"
#include "ui/Ui.h"

namespace {

// Measures text as a 7 x 13 font would and draws nothing.
class MeasuringSurface : public ui::Surface {
 public:
  void FillRect(const ui::Rect&, ui::Colour) override { ++mCalls; }
  void FrameRect(const ui::Rect&, ui::Colour) override { ++mCalls; }
  void Line(ui::Point, ui::Point, ui::Colour) override { ++mCalls; }
  void SetFont(const ui::Font&) override { ++mCalls; }
  void DrawText(const ui::Rect&, const std::string& text, ui::Colour, uint32_t) override { mCalls += text.size(); }
  ui::Point TextExtent(const std::string& text) override { return ui::Point{7 * static_cast<int>(text.size()), 13}; }
  void FocusRect(const ui::Rect&) override { ++mCalls; }
  void PushButton(const ui::Rect&, bool) override { ++mCalls; }
  void DropArrow(const ui::Rect&, bool) override { ++mCalls; }
  std::unique_ptr<ui::Surface> CreateBuffer(int, int) override { return std::make_unique<MeasuringSurface>(); }
  void Blit(ui::Surface&, ui::Point) override { ++mCalls; }
  std::size_t mCalls = 0;
};

// 200 items of the types the configuration page uses, in two sections.
void Fill(CPropertyGrid& grid) {
  const int sections[2] = {grid.AddSection("Camera"), grid.AddSection("Line counter")};
  for (int i = 0; i < 200; ++i) {
    const int section = sections[i % 2];
    const std::string name = "Parameter " + std::to_string(i);
    switch (i % 6) {
      case 0: grid.AddStringItem(section, name, "value " + std::to_string(i)); break;
      case 1: grid.AddIntegerItem(section, name, int64_t{i * 37}); break;
      case 2: grid.AddDoubleItem(section, name, i / 7.0); break;
      case 3: grid.AddComboItem(section, name, {"Off", "On", "Auto"}, i % 3); break;
      case 4: grid.AddBoolItem(section, name, i % 2 == 0); break;
      default: grid.AddFileItem(section, name, "/var/lib/host/tables/table-" + std::to_string(i) + ".lut"); break;
    }
  }
}

void BM_Grid_Repaint200Items_MeasuringSurface(benchmark::State& run) {
  CPropertyGrid grid;
  grid.SetClientSize(400, 200 * 17 + 2 * 17);  // every row shows
  Fill(grid);
  grid.SelectItem(3);
  MeasuringSurface surface;
  for (auto _ : run) {
    grid.Paint(surface);
    benchmark::DoNotOptimize(surface.mCalls);
  }
}
BENCHMARK(BM_Grid_Repaint200Items_MeasuringSurface)->Unit(benchmark::kMicrosecond);

ui::UiModule* Module(benchmark::State& run) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    run.SkipWithError("no display");
    return nullptr;
  }
#ifdef KORVEX_UI_MODULE_PATH
  setenv("KORVEX_UI_MODULE", KORVEX_UI_MODULE_PATH, 0);
#endif
  std::string why;
  ui::UiModule* module = ui::LoadUiModule(&why);
  if (module == nullptr) run.SkipWithError(("no window-system module: " + why).c_str());
  return module;
}

// A dialog that holds a grid of 200 items filling 400 x 3434 pixels.
class GridDialog : public CDynDialogEx {
 public:
  intptr_t OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    const intptr_t result = CDynDialogEx::OnMessage(self, message, wParam, lParam);
    if (message == ui::msg::kInitDialog) {
      window = &self;
      if (grid.Create(&self, ui::Rect{0, 0, 400, 600}, 1001)) Fill(grid);
    }
    return result;
  }
  CPropertyGrid grid;
  ui::Window* window = nullptr;
};

void BM_Grid_Repaint200Items_Toolkit(benchmark::State& run) {
  ui::UiModule* module = Module(run);
  if (module == nullptr) return;
  ui::CallUi(*module, [&] {
    GridDialog dialog;
    dialog.SetWindowTitle("Grid benchmark");
    dialog.SetModeless(true);
    const ui::Rect ok{10, 420, 60, 434};
    dialog.SetUseSystemButtons(false);
    dialog.AddControl(128, "OK", 0x50010000, 0, &ok, {}, ui::kIdOk);
    if (dialog.DoModal() != 1 || dialog.grid.GetWindow() == nullptr) return;
    ui::Window& grid = *dialog.grid.GetWindow();
    grid.UpdateNow();
    for (auto _ : run) {
      grid.Invalidate();
      grid.UpdateNow();
    }
    dialog.window->DestroyWindow();
  });
}
BENCHMARK(BM_Grid_Repaint200Items_Toolkit)->Unit(benchmark::kMicrosecond);

// Notes its window, so that the benchmark can close it again.
class ProbedDialog : public CDynDialogEx {
 public:
  intptr_t OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    if (message == ui::msg::kInitDialog) window = &self;
    return CDynDialogEx::OnMessage(self, message, wParam, lParam);
  }
  ui::Window* window = nullptr;
};

// From the call to a dialog of 50 template controls made, initialised and painted.
void BM_DynDialog_Open50TemplateControls_Toolkit(benchmark::State& run) {
  ui::UiModule* module = Module(run);
  if (module == nullptr) return;
  ui::CallUi(*module, [&] {
    for (auto _ : run) {
      ProbedDialog dialog;
      dialog.SetWindowTitle("Fifty controls");
      dialog.SetModeless(true);
      for (int i = 0; i < 25; ++i) {
        const int x = (i / 13) * 200, y = 10 + (i % 13) * 14;
        const ui::Rect label{10 + x, y, 80 + x, y + 12}, edit{85 + x, y, 190 + x, y + 12};
        dialog.AddTemplateControl("STATIC", "Label " + std::to_string(i), 0x50000000, 0, &label);
        dialog.AddTemplateControl("EDIT", "text", 0x50010080, 0x200, &edit);
      }
      if (dialog.DoModal() != 1 || dialog.window == nullptr) {
        run.SkipWithError("the dialog was not made");
        break;
      }
      dialog.window->UpdateNow();
      run.PauseTiming();
      dialog.window->DestroyWindow();
      run.ResumeTiming();
    }
  });
}
BENCHMARK(BM_DynDialog_Open50TemplateControls_Toolkit)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
