// A host that runs wxWidgets itself: the module serves dialog calls on the host's own main thread,
// both from that thread and from another one of the host's.

#include <wx/wx.h>

#include <cstdio>
#include <string>
#include <thread>

#include "config_ui/CDynDialogEx.h"
#include "ui/Ui.h"

namespace {

int gFailures = 0;
bool gRan = false;  // wxWidgets came up and the checks ran

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "FAILED: %s\n", what);
    ++gFailures;
  }
}

// Runs a modeless run-time dialog on the toolkit and reports the thread it ran on.
std::thread::id OpenAndCloseDialog() {
  std::thread::id ranOn;
  ranOn = std::this_thread::get_id();
  CDynDialogEx dialog;
  dialog.SetWindowTitle("Host test");
  dialog.SetModeless(true);
  dialog.AddControl(129, "text", 0x50010080, 0x200);
  Check(dialog.DoModal() == 1, "the modeless dialog was made");
  return ranOn;
}

class HostApp : public wxApp {
 public:
  bool OnInit() override {
    gRan = true;
    std::string why;
    ui::UiModule* module = ui::LoadUiModule(&why);
    Check(module != nullptr, "the module loads");
    if (module == nullptr) return false;
    const std::thread::id main = std::this_thread::get_id();
    std::thread::id served;
    Check(ui::CallUi(*module, [&] { served = OpenAndCloseDialog(); }), "a call from the main thread");
    Check(served == main, "served on the host's main thread");
    // From a worker of the host: handed to the main thread while its loop runs.
    mWorker = std::thread([this, module, main] {
      std::thread::id from;
      Check(ui::CallUi(*module, [&] { from = OpenAndCloseDialog(); }), "a call from a worker thread");
      Check(from == main, "served on the host's main thread, not the worker");
      CallAfter([this] { ExitMainLoop(); });
    });
    return true;
  }
  int OnExit() override {
    if (mWorker.joinable()) mWorker.join();
    return 0;
  }

 private:
  std::thread mWorker;
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(HostApp);

int main(int argc, char** argv) {
  wxEntry(argc, argv);
  const bool passed = gRan && gFailures == 0;
  std::printf("%s\n", passed ? "host test passed" : gRan ? "host test FAILED" : "host test did not run (no display?)");
  return passed ? 0 : 1;
}
