#include <cstdlib>
#include <mutex>

#include "Ui.h"
#include "os/DynamicLibrary.h"
#include "os/Path.h"

namespace ui {

namespace {

std::mutex gModuleLock;
UiModule* gModule = nullptr;  // guarded by gModuleLock

// Guarded by gModuleLock. The module is kept in the process when this closes with the driver:
// toolkits do not survive an unload.
os::DynamicLibrary& Library() {
  static os::DynamicLibrary library;
  return library;
}

}  // namespace

UiModule* LoadUiModule(std::string* why) {
  std::lock_guard<std::mutex> guard(gModuleLock);
  if (gModule != nullptr) return gModule;
  os::DynamicLibrary& library = Library();
  const char* chosen = std::getenv("KORVEX_UI_MODULE");
  bool opened = false;
  if (chosen != nullptr && *chosen != '\0') {
    opened = library.Open(chosen, true);
  } else {
    const std::string beside = os::ModuleDirectory(reinterpret_cast<const void*>(&LoadUiModule));
    opened = (!beside.empty() && library.Open(os::JoinPath(beside, kUiModuleFile), true)) ||
             library.Open(kUiModuleFile, true);
  }
  if (!opened) {
    if (why != nullptr) *why = library.Error();
    return nullptr;
  }
  const auto entry = reinterpret_cast<UiModuleEntry>(library.Symbol(kUiModuleEntry));
  gModule = entry != nullptr ? entry() : nullptr;
  if (gModule == nullptr && why != nullptr) *why = std::string("no ") + kUiModuleEntry + " in the module";
  return gModule;
}

void InstallUiModule(UiModule* module) {
  std::lock_guard<std::mutex> guard(gModuleLock);
  gModule = module;
}

bool CallUi(UiModule& module, const std::function<void()>& work) {
  return module.Call([&](Toolkit& toolkit) {
    Toolkit* before = GetToolkit();
    SetToolkit(&toolkit);
    work();
    SetToolkit(before);
  });
}

void ShutdownUiModule() {
  std::lock_guard<std::mutex> guard(gModuleLock);
  if (gModule != nullptr) gModule->Shutdown();
}

}  // namespace ui
