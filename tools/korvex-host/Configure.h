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
  // When set: once the dialog is up, the grid's fifth row is focused, the dialog's picture written
  // here and the dialog cancelled.
  std::string screenshot;
};

// 0 when the user confirmed and the settings were stored (or the picture was taken), 1 when the
// dialog was cancelled or could not be shown, 2 when the camera could not be opened.
int RunConfigure(DriverApi& api, const ConfigureOptions& options);

}  // namespace host
