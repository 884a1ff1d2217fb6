// Opening the configuration sheet on a camera's full parameter set (the fixed parameters and those
// of the colour camera's node map): the page's grid built through the adapters, on the headless
// window system, so that the figure is the driver's own work without a toolkit's.

#include <benchmark/benchmark.h>

#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "config_ui/CPropertyGeneral.h"
#include "config_ui/CSheet1.h"
#include "ui/headless/HeadlessToolkit.h"

namespace {

void BM_ConfigurationSheet_OpenAndCancel_FullSet(benchmark::State& run) {
  CameraList* list = CameraList::GetInstance();
  if (!list->Init()) {
    run.SkipWithError("no cameras");
    return;
  }
  Camera& camera = *list->GetByName("Basler ruL2098-10gc (21000002)");
  int size[2] = {0, 0};
  if (!camera.Open(0, size)) {
    run.SkipWithError("the camera did not open");
    return;
  }
  ui::headless::HeadlessToolkit toolkit;
  ui::SetToolkit(&toolkit);
  std::size_t items = 0;
  toolkit.onModal = [&](ui::headless::HeadlessWindow& dialog) {
    ui::headless::HeadlessWindow* tabs = dialog.Child(CPropertySheet::kTabControlId);
    auto* page = dynamic_cast<CPropertyGeneral*>(tabs->Children()[0]->Children()[0]->Handler());
    items = page->GetGrid().Rows().size();
    dialog.Click(ui::kIdCancel);
  };
  for (auto _ : run) {
    CSheet1 sheet("Configure camera on port #1", nullptr);
    CameraParameters edited(camera.GetParameters());
    CPropertyGeneral page(edited, sheet);
    sheet.AddPage(page);
    benchmark::DoNotOptimize(sheet.DoModal());
  }
  run.counters["parameters"] = static_cast<double>(camera.GetParameters().size());
  run.counters["rows"] = static_cast<double>(items);
  ui::SetToolkit(nullptr);
  camera.Close();
  CameraList::DestroyInstance();
}
BENCHMARK(BM_ConfigurationSheet_OpenAndCancel_FullSet)->Unit(benchmark::kMillisecond);

}  // namespace
