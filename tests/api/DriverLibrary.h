#pragma once
// The driver as a host sees it: libKorvexEjector.so loaded at run time and its nineteen exports.

#include <string>
#include <vector>

#include "KorvexEjector.h"
#include "os/DynamicLibrary.h"

struct DriverLibrary {
  DriverLibrary();  // loads the library and resolves every export; fails the test if one is missing

  os::DynamicLibrary library;
  decltype(&::initialize) initialize = nullptr;
  decltype(&::finalize) finalize = nullptr;
  decltype(&::setSystemPath) setSystemPath = nullptr;
  decltype(&::setDebugMsgProc) setDebugMsgProc = nullptr;
  decltype(&::configureCamera) configureCamera = nullptr;
  decltype(&::openCVLPort) openCVLPort = nullptr;
  decltype(&::closeCVLPort) closeCVLPort = nullptr;
  decltype(&::doCVLGrab) doCVLGrab = nullptr;
  decltype(&::getCVLGrabRow) getCVLGrabRow = nullptr;
  decltype(&::setCompleteCallback) setCompleteCallback = nullptr;
  decltype(&::setCmdCallback) setCmdCallback = nullptr;
  decltype(&::execCmd) execCmd = nullptr;
  decltype(&::getProperty) getProperty = nullptr;
  decltype(&::setProperty) setProperty = nullptr;
  decltype(&::getPropertyRange) getPropertyRange = nullptr;
  decltype(&::getCVLCameraConfigNames) getCVLCameraConfigNames = nullptr;
  decltype(&::getCVLMaxNoOfGrabbers) getCVLMaxNoOfGrabbers = nullptr;
  decltype(&::getCVLMaxNoOfPorts) getCVLMaxNoOfPorts = nullptr;
  decltype(&::getCVLNoOfSupportedCameras) getCVLNoOfSupportedCameras = nullptr;
};

// The names of the nineteen exports.
const std::vector<std::string>& ExportNames();

// Collects what the driver hands the host's debug message procedure.
class HostLog {
 public:
  static void Proc(const char* text);
  static std::vector<std::string>& Calls();  // every call's text, in order; clear it only while no driver thread runs
  static std::string Messages();             // the message calls (every second one) joined
  static bool Contains(const std::string& text);
};

// Points the debugger output at a fresh file for the life of the object.
class DebugOutputFile {
 public:
  DebugOutputFile();
  ~DebugOutputFile();
  std::string Read() const;

 private:
  std::string mPath;
};
