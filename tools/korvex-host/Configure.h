#pragma once
// The configuration dialog as a host shows it: the camera opened on port 0, the driver's dialog on
// the user's display, and what OK stored in the configuration file printed afterwards.

#include <string>

#include "HostSupport.h"

namespace host {

struct ConfigureOptions {
  std::string camera;      // the camera's name
  std::string systemPath;  // where the configuration file is
  unsigned parent = 0;     // the host's X11 window the dialog stays above (0: none)
  // When set: the dialog's picture is written here once it is up, and the dialog is cancelled.
  std::string screenshot;
};

// 0 when the user confirmed and the settings were stored, 1 when the dialog was cancelled or could
// not be shown, 2 when the camera could not be opened.
int RunConfigure(DriverApi& api, const ConfigureOptions& options);

}  // namespace host
