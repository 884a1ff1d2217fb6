#pragma once
// What the host stand-in's commands share: the driver's exports resolved from the loaded library,
// the completion callback count, PNG writing and a progress bar.
//
// Threads: the completion callback runs on the driver's grab wait thread; the count it keeps is
// guarded by a mutex and awaited on the main thread. The rest runs on the main thread.

#include <string>
#include <vector>

#include "KorvexEjector.h"
#include "os/DynamicLibrary.h"

namespace host {

struct DriverApi {
  decltype(&::initialize) initialize = nullptr;
  decltype(&::finalize) finalize = nullptr;
  decltype(&::openCVLPort) openCVLPort = nullptr;
  decltype(&::closeCVLPort) closeCVLPort = nullptr;
  decltype(&::doCVLGrab) doCVLGrab = nullptr;
  decltype(&::getCVLGrabRow) getCVLGrabRow = nullptr;
  decltype(&::setCompleteCallback) setCompleteCallback = nullptr;
  decltype(&::setCmdCallback) setCmdCallback = nullptr;
  decltype(&::getProperty) getProperty = nullptr;
  decltype(&::setProperty) setProperty = nullptr;
  decltype(&::getPropertyRange) getPropertyRange = nullptr;
  decltype(&::getCVLCameraConfigNames) getCVLCameraConfigNames = nullptr;
  decltype(&::getCVLMaxNoOfGrabbers) getCVLMaxNoOfGrabbers = nullptr;
  decltype(&::getCVLMaxNoOfPorts) getCVLMaxNoOfPorts = nullptr;
  decltype(&::getCVLNoOfSupportedCameras) getCVLNoOfSupportedCameras = nullptr;
  decltype(&::configureCamera) configureCamera = nullptr;
};

// Every export the host uses, or false with a line on stderr naming the one missing.
bool ResolveAll(const os::DynamicLibrary& library, DriverApi& api);

// Driver log lines go to this file (when open), so that the terminal shows progress and summaries.
void SetLogFile(const std::string& path);
void CloseLogFile();
void LogText(const char* text);

// The completion callback and the count of its calls since the process began.
void OnComplete(int grabberNo, int portNo);
bool WaitForCallbacks(int count, int timeoutMs);
int CallbackCount();

// 8-bit grey or RGB rows, top to bottom.
bool WritePng(const std::string& path, const std::vector<unsigned char>& pixels, int width, int height, bool colour);
void Progress(int done, int total);

}  // namespace host
