// The configuration dialog of one camera. The host's thread copies the parameter set, hands the
// dialog to the window system's user-interface thread and waits for it; the dialog edits the copy,
// which OK puts in place of the camera's own on the host's thread. The copy and the commit hold the
// camera's lifecycle lock (no open rewrites the set meanwhile); the dialog itself holds nothing, and
// Assign is safe against the threads that read settings while the camera grabs.

#include <exception>

#include "camera/Camera.h"
#include "config_ui/CPropertyGeneral.h"
#include "config_ui/CSheet1.h"
#include "driver/DriverState.h"
#include "driver/Log.h"
#include "ejector/Ejector.h"
#include "ui/Ui.h"

bool Camera::Configure(unsigned parentWindow) {
  // The title names the port the host counts from 1.
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
  std::unique_ptr<CameraParameters> edited;
  {
    auto lifecycle = Ejector::TakeLifecycle<std::unique_lock<std::mutex>>(mLifecycleLock);
    if (!lifecycle) {
      Log(1, "Camera::Configure: ERROR: the camera is being opened or closed, a command callback cannot wait for it\n");
      Log(2, "Camera::Configure: leaving\n");
      return false;
    }
    edited = std::make_unique<CameraParameters>(*mParameters);
  }
  bool confirmed = false;
  std::exception_ptr failure;
  const bool shown = ui::CallUi(*module, [&] {
    try {
      confirmed = ConfigureOnUi(title, parentWindow, *edited);
    } catch (...) {
      failure = std::current_exception();  // thrown again on the host's thread, for the export to report
    }
  });
  if (!shown) Log(1, "Camera::Configure: ERROR: cannot show the dialog, there is no display\n");
  if (failure) std::rethrow_exception(failure);
  // OK: the edited set replaces the camera's and is stored.
  bool result = false;
  if (confirmed) {
    auto lifecycle = Ejector::TakeLifecycle<std::unique_lock<std::mutex>>(mLifecycleLock);
    if (!lifecycle) {
      Log(1, "Camera::Configure: ERROR: the camera is being opened or closed, a command callback cannot wait for it\n");
    } else {
      mParameters->Assign(*edited);
      result = mParameters->Save();
      // The values confirmed stay in force until the driver ends; only the file missed them.
      if (!result) Log(1, "Camera::Configure: ERROR: the settings are in use but were not stored\n");
    }
  }
  Log(2, "Camera::Configure: leaving\n");
  return result;
}

bool Camera::ConfigureOnUi(const std::string& title, unsigned parentWindow, CameraParameters& edited) {
  ui::Toolkit& toolkit = *ui::GetToolkit();
  ui::Window* parent = toolkit.HostWindow(parentWindow);
  if (parent == nullptr && parentWindow != 0) {
    Log(2, "Camera::Configure: host window %u not found, the dialog has no parent\n", parentWindow);
  }
  // Refused while the camera grabs continuously.
  if (mContinuous) {
    toolkit.MessageBox(parent, "Please stop inspection to configure camera", title, ui::MessageIcon::kExclamation);
    return false;
  }
  // The sheet.
  CSheet1 sheet(title, parent);
  // The driver's current log settings are what the dialog shows.
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
  // The page, shown modally.
  CPropertyGeneral page(edited, sheet);
  sheet.AddPage(page);
  const intptr_t answer = sheet.DoModal();
  if (answer < 0) Log(1, "Camera::Configure: ERROR: the dialog could not be made\n");
  // Only OK keeps the edits.
  return answer == ui::kIdOk;
}
