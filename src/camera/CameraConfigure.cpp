// The configuration dialog of one camera. The host's thread hands the dialog to the window
// system's user-interface thread and waits for it; the dialog edits a copy of the parameter set,
// which OK puts in place of the camera's own (Assign is safe against the threads that grab).

#include <exception>

#include "camera/Camera.h"
#include "config_ui/CPropertyGeneral.h"
#include "config_ui/CSheet1.h"
#include "driver/DriverState.h"
#include "driver/Log.h"
#include "ui/Ui.h"

bool Camera::Configure(unsigned parentWindow) {
  // 1.
  Log(2, "Camera::Configure: entering\n");
  const std::string title = "Configure camera on port #" + std::to_string(mPort.load() + 1) + ": " + mName;
  // Steps 2 to 6 need the window system.
  std::string why;
  ui::UiModule* module = ui::LoadUiModule(&why);
  if (module == nullptr) {
    Log(1, "Camera::Configure: ERROR: cannot show the dialog, the window-system module is missing: %s\n",
        why.c_str());
    Log(2, "Camera::Configure: leaving\n");
    return false;
  }
  bool result = false;
  std::exception_ptr failure;
  const bool shown = ui::CallUi(*module, [&] {
    try {
      result = ConfigureOnUi(title, parentWindow);
    } catch (...) {
      failure = std::current_exception();  // thrown again on the host's thread, for the export to report
    }
  });
  if (!shown) Log(1, "Camera::Configure: ERROR: cannot show the dialog, there is no display\n");
  if (failure) std::rethrow_exception(failure);
  // 7.
  Log(2, "Camera::Configure: leaving\n");
  return result;
}

bool Camera::ConfigureOnUi(const std::string& title, unsigned parentWindow) {
  ui::Toolkit& toolkit = *ui::GetToolkit();
  ui::Window* parent = toolkit.HostWindow(parentWindow);
  if (parent == nullptr && parentWindow != 0) {
    Log(2, "Camera::Configure: host window %u not found, the dialog has no parent\n", parentWindow);
  }
  // 2.
  if (mContinuous) {
    toolkit.MessageBox(parent, "Please stop inspection to configure camera", title, ui::MessageIcon::kExclamation);
    return false;
  }
  // 3.
  CSheet1 sheet(title, parent);
  CameraParameters edited(*mParameters);
  // 4.
  DriverState& state = DriverState::Get();
  try {
    edited.SetParameter<int>("LogLevel", state.logLevel.load());
  } catch (...) {
  }
  try {
    edited.SetParameter<bool>("LogIntoFile", state.GetLogIntoFile());
  } catch (...) {
  }
  try {
    edited.SetParameter<int>("DebugViewOutput", state.debugOutputLevel.load());
  } catch (...) {
  }
  // 5.
  CPropertyGeneral page(edited, sheet);
  sheet.AddPage(page);
  const intptr_t answer = sheet.DoModal();
  if (answer < 0) Log(1, "Camera::Configure: ERROR: the dialog could not be made\n");
  // 6.
  if (answer != ui::kIdOk) return false;
  mParameters->Assign(edited);
  return mParameters->Save();
}
