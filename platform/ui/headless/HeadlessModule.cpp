// The headless toolkit as a loadable window-system module, for tests that play a host through the
// loaded driver where no display is wanted (the sanitizer builds). The user's answer to every
// modal dialog comes from KORVEX_HEADLESS_ANSWER: "ok" presses OK, anything else closes the dialog;
// KORVEX_HEADLESS_DISPLAY=0 makes it a machine without a display. Never part of the product.

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "HeadlessToolkit.h"

namespace {

class EnvironmentModule : public ui::UiModule {
 public:
  // One call at a time, as on a window system's single user-interface thread; a call from inside
  // another runs at once.
  bool Call(const std::function<void(ui::Toolkit&)>& work) override {
    std::lock_guard<std::recursive_mutex> serial(mSerial);
    const char* display = std::getenv("KORVEX_HEADLESS_DISPLAY");
    mModule.display = display == nullptr || std::strcmp(display, "0") != 0;
    mModule.toolkit.onModal = [](ui::headless::HeadlessWindow& dialog) {
      const char* answer = std::getenv("KORVEX_HEADLESS_ANSWER");
      if (answer != nullptr && std::strcmp(answer, "ok") == 0) dialog.Click(ui::kIdOk);
    };
    return mModule.Call(work);
  }
  void Shutdown() override { mModule.Shutdown(); }

 private:
  std::recursive_mutex mSerial;
  ui::headless::HeadlessUiModule mModule;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) ui::UiModule* KorvexUiModule() {
  static EnvironmentModule module;
  return &module;
}
