#include <cstdlib>
#include <mutex>

#include "Ui.h"
#include "os/DynamicLibrary.h"
#include "os/Path.h"

namespace ui {

namespace {

std::mutex gModuleLock;
os::DynamicLibrary* gLibrary = nullptr;  // guarded by gModuleLock; kept loaded for the process
UiModule* gModule = nullptr;             // guarded by gModuleLock

}  // namespace

UiModule* LoadUiModule(std::string* why) {
  std::lock_guard<std::mutex> guard(gModuleLock);
  if (gModule != nullptr) return gModule;
  if (gLibrary == nullptr) gLibrary = new os::DynamicLibrary();
  const char* chosen = std::getenv("KORVEX_UI_MODULE");
  bool opened = false;
  if (chosen != nullptr && *chosen != '\0') {
    opened = gLibrary->Open(chosen);
  } else {
    const std::string beside = os::ModuleDirectory(reinterpret_cast<const void*>(&LoadUiModule));
    opened = (!beside.empty() && gLibrary->Open(os::JoinPath(beside, kUiModuleFile))) || gLibrary->Open(kUiModuleFile);
  }
  if (!opened) {
    if (why != nullptr) *why = gLibrary->Error();
    return nullptr;
  }
  const auto entry = reinterpret_cast<UiModuleEntry>(gLibrary->Symbol(kUiModuleEntry));
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
