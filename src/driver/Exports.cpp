// The nineteen exports. Each is a thin frame: log, find the camera, call one Camera operation, log,
// and turn every exception into the result 0. No exception leaves an export.
//
// Threads: host threads, and the driver's own threads inside the host's callbacks. initialize and
// finalize run one at a time under the driver state's lifecycle lock and are refused on the
// driver's threads (the last finalize waits for those threads). Every other export holds a
// CameraList::Use while it runs, so that the last finalize on another thread waits for it before
// the cameras go; without a started driver the Use is empty and the call fails as on no camera.

#define KORVEX_BUILDING_DRIVER
#include "KorvexEjector.h"

#include <cstring>

#include "DriverState.h"
#include "Log.h"
#include "Text.h"
#include "acquisition/RowDelivery.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "camera_sdk/GenICam.h"
#include "camera_sdk/Pylon.h"
#include "os/DebugOutput.h"
#include "os/Thread.h"
#include "os/Time.h"
#include "ui/Ui.h"

namespace {

const char* const kDriverVersion = "1,0,1,41";

// Copies "error" with the copy limit resultSize - 1; a buffer of no size gets nothing.
void WriteErrorResult(char* result, int resultSize) { CopyLimited(result, "error", resultSize); }

// The camera on the port, held for the call: the last finalize waits for it. A driver not started
// has no camera on any port.
class PortCamera {
 public:
  explicit PortCamera(int portNo) : mCamera(Find(mList, portNo)) {}
  Camera* operator->() const { return mCamera; }
  Camera& operator*() const { return *mCamera; }

 private:
  static Camera* Find(const CameraList::Use& list, int portNo) {
    if (!list) CameraList::NoCameraOnPort(portNo);
    return list->GetByPort(portNo);
  }

  CameraList::Use mList;  // first: it is taken before the lookup and let go after the call
  Camera* mCamera;
};

// The last finalize's teardown, also run when the process ends or the library is unloaded while
// the driver is still started: no driver thread may outlive the cameras, the card or the code it
// runs. Called under the lifecycle lock.
void StopDriver(DriverState& state) {
  // A dialog still open for another host thread ends before the camera it edits goes, and no
  // user-interface thread outlives the driver.
  ui::ShutdownUiModule();
  CameraList::DestroyInstance();
  if (!state.inhibitPylonTerminate) Pylon::PylonTerminate(true);
}

// Registered with the process's exit functions at every start of the driver and of the ejector
// (DriverState::ArmExitHook): the latest registration runs before the statics of libraries that
// the driver's threads use (the card's, the SDK's) are destroyed, at exit and at unload alike.
void StopDriverAtExit() {
  DriverState& state = DriverState::Get();
  os::Lock lifecycle(state.lifecycleLock);
  if (state.referenceCount <= 0) return;
  Log(1, "finalize: WARNING: the process ends or unloads the driver without finalize, refcount=%d; stopping the "
         "driver\n",
      state.referenceCount.load());
  state.referenceCount = 0;
  StopDriver(state);
}

// Handed out by getCVLCameraConfigNames while there is no camera list.
char* gNoNames[] = {nullptr};

}  // namespace

extern "C" {

KORVEX_EXPORT int setSystemPath(const char* path) {
  try {
    if (DriverState::Get().SetSystemPath(path)) return 1;
    Log(1, "setSystemPath: ERROR: path is null or empty\n");
  } catch (...) {
    Log(1, "setSystemPath: --EXCEPTION caught \n");
  }
  return 0;
}

KORVEX_EXPORT void setDebugMsgProc(DebugMessageProc proc) { DriverState::Get().SetDebugMessageProc(proc); }

KORVEX_EXPORT int initialize(const char* systemPath, DebugMessageProc proc) {
  DriverState& state = DriverState::Get();
  // A callback on the driver's own thread would wait for a finalize that waits for that thread.
  if (os::Thread::OnStartedThread()) {
    Log(1, "initialize: ERROR: called from a callback on the driver's own thread, refcount=%d\n",
        state.referenceCount.load());
    return 0;
  }
  os::Lock lifecycle(state.lifecycleLock);
  try {
    os::ReadDebugOutputTarget();
    if (systemPath != nullptr && *systemPath != '\0') setSystemPath(systemPath);
    state.SetDebugMessageProc(proc);
    Log(2, "===============\ninitialize: \n");
    if (state.referenceCount == 0) {
      Pylon::PylonInitialize();
      state.realTimeRefused = false;
      state.exitHook = &StopDriverAtExit;
      CameraList::InitInstance();  // no camera found is no failure
      state.ArmExitHook();
    }
    ++state.referenceCount;
    const os::CalendarTime now = os::LocalTime();
    Log(1, "initialize: Basler camera driver V%s, refcount=%d, %d-%d-%d %d:%d:%d\n", kDriverVersion,
        state.referenceCount.load(), now.year, now.month, now.day, now.hour, now.minute, now.second);
    return 1;
  } catch (const GenICam::GenericException& e) {
    Log(1, "initialize: Basler camera driver -- GenICam EXCEPTION occured : %s\n", e.GetDescription());
  } catch (...) {
    Log(1, "initialize: Basler camera driver -- EXCEPTION occured\n");
  }
  return 0;
}

KORVEX_EXPORT int finalize(void) {
  DriverState& state = DriverState::Get();
  // A callback on the driver's own thread would have that thread end itself.
  if (os::Thread::OnStartedThread()) {
    Log(1, "finalize: ERROR: called from a callback on the driver's own thread, refcount=%d\n",
        state.referenceCount.load());
    return 0;
  }
  os::Lock lifecycle(state.lifecycleLock);
  try {
    Log(2, "finalize: entering, refcount=%d\n", state.referenceCount.load());
    // A finalize without its initialize leaves the count at 0, so that the next initialize starts.
    if (state.referenceCount <= 0) {
      Log(1, "finalize: WARNING: no initialize to match, the driver is not started, refcount=%d\n",
          state.referenceCount.load());
      Log(2, "finalize: leaving, refcount=%d\n", state.referenceCount.load());
      return 1;
    }
    --state.referenceCount;
    if (state.referenceCount == 0) StopDriver(state);
    Log(2, "finalize: leaving, refcount=%d\n", state.referenceCount.load());
    return 1;
  } catch (const GenICam::GenericException& e) {
    Log(1, "finalize: GenICam --EXCEPTION occured: %s\n", e.GetDescription());
  } catch (...) {
    Log(1, "finalize: --EXCEPTION occured \n");
  }
  return 0;
}

KORVEX_EXPORT int configureCamera(unsigned parentWindow, const char* cameraName) {
  int result = 1;
  try {
    Log(2, "configureCamera: entering cameraName=%s\n", SafeText(cameraName));
    CameraList::Use list;
    if (!list || !list->IsCameraAvailable(cameraName)) {
      Log(1, "configureCamera: ERROR: cannot find camera by name: %s\n", SafeText(cameraName));
      return 0;
    }
    // Configure is true when the user confirmed and the settings were stored; the export says 0 then.
    result = list->GetByName(cameraName)->Configure(parentWindow) ? 0 : 1;
  } catch (const GenICam::GenericException& e) {
    Log(1, "configureCamera -- GenICam EXCEPTION occured %s, cameraName=%s\n", e.GetDescription(),
        SafeText(cameraName));
    result = 1;
  } catch (...) {
    Log(1, "configureCamera --EXCEPTION , cameraName=%s\n", SafeText(cameraName));
    result = 1;
  }
  Log(2, "configureCamera: leaving cameraName=%s\n", SafeText(cameraName));
  return result;
}

KORVEX_EXPORT int openCVLPort(int grabberNo, int portNo, const char* cameraName, int* imageSize) {
  try {
    if (imageSize == nullptr) {
      Log(1, "openCVLPort: ERROR: imageSize is null, grabberNo=%d, portNo=%d, cameraName=%s\n", grabberNo, portNo,
          SafeText(cameraName));
      return 0;
    }
    imageSize[1] = 0;
    imageSize[0] = 0;
    Log(2, "openCVLPort: entering grabberNo=%d, portNo=%d, cameraName=%s\n", grabberNo, portNo, SafeText(cameraName));
    if (cameraName == nullptr || *cameraName == '\0' || EqualsIgnoringCase(cameraName, "Undefined") ||
        EqualsIgnoringCase(cameraName, "Udefinert")) {
      Log(1, "openCVLPort: ERROR: undefined camera, grabberNo=%d, portNo=%d, cameraName=%s\n", grabberNo, portNo,
          SafeText(cameraName));
      return 0;
    }
    // -1 marks a closed camera, and no port beyond the host's range exists.
    if (!CameraList::IsValidPort(portNo)) {
      Log(1, "openCVLPort: ERROR: port out of range 0..%d, grabberNo=%d, portNo=%d, cameraName=%s\n",
          CameraList::kPorts - 1, grabberNo, portNo, cameraName);
      return 0;
    }
    CameraList::Use list;
    if (!list || !list->IsCameraAvailable(cameraName)) {
      Log(1, "openCVLPort: ERROR: cannot find camera by name:%s\n", cameraName);
      return 0;
    }
    if (list->GetByName(cameraName)->Open(portNo, imageSize)) {
      Log(2, "openCVLPort: leaving -- Camera %s OPENED on port %d\n", cameraName, portNo);
      return 1;
    }
    Log(1, "openCVLPort: ERROR: camera not opened, grabberNo=%d, portNo=%d, cameraName=%s\n", grabberNo, portNo,
        cameraName);
  } catch (const GenICam::GenericException& e) {
    Log(1, "openCVLPort: GenICam --EXCEPTION occured : %s,  grabberNo=%d, portNo=%d, cameraName=%s\n",
        e.GetDescription(), grabberNo, portNo, SafeText(cameraName));
  } catch (...) {
    Log(1, "openCVLPort: --EXCEPTION caught grabberNo=%d, portNo=%d, cameraName=%s\n", grabberNo, portNo,
        SafeText(cameraName));
  }
  return 0;
}

KORVEX_EXPORT void closeCVLPort(int grabberNo, int portNo) {
  try {
    Log(2, "closeCVLPort: entering grabberNo=%d, portNo=%d\n", grabberNo, portNo);
    PortCamera(portNo)->Close();
  } catch (const GenICam::GenericException& e) {
    Log(1, "closeCVLPort: GenICam --EXCEPTION occured   %s\n", e.GetDescription());
  } catch (...) {
    Log(1, "closeCVLPort: --EXCEPTION caught  grabberNo=%d, portNo=%d\n", grabberNo, portNo);
  }
  Log(2, "closeCVLPort: leaving grabberNo=%d, portNo=%d\n", grabberNo, portNo);
}

KORVEX_EXPORT int doCVLGrab(int grabberNo, int portNo) {
  try {
    Log(2, "doCVLGrab entering grabberNo=%d portNo=%d\n", grabberNo, portNo);
    if (PortCamera(portNo)->Grab()) {
      Log(2, "doCVLGrab: leaving grabberNo=%d portNo=%d\n", grabberNo, portNo);
      return 1;
    }
  } catch (const GenICam::GenericException& e) {
    Log(1, "doCVLGrab: -- GenICam EXCEPTION occured %s  grabberNo=%d portNo=%d\n", e.GetDescription(), grabberNo,
        portNo);
  } catch (...) {
    Log(1, "doCVLGrab: --EXCEPTION caught  grabberNo=%d portNo=%d\n", grabberNo, portNo);
  }
  return 0;
}

KORVEX_EXPORT int getCVLGrabRow(int grabberNo, int portNo, void* destination, int row, int firstColumn,
                                int lastColumn) {
  try {
    Log(4, "getCVLGrabRow: entering row=%d  grabberNo=%d  portNo=%d\n", row, grabberNo, portNo);
    if (destination == nullptr || firstColumn < 0 || lastColumn < firstColumn) {
      Log(1, "getCVLGrabRow: ERROR: invalid destination or columns, row=%d  firstColumn=%d  lastColumn=%d  portNo=%d\n",
          row, firstColumn, lastColumn, portNo);
      return 0;
    }
    // Inside the port's completion callback the wait thread holds the camera already; a camera
    // closed meanwhile goes the way of any other call, whose lookup says the port is empty.
    Camera* inCallback = CallbackScope::Current(portNo);
    const bool held = inCallback != nullptr && inCallback->IsOpen() && inCallback->GetPort() == portNo;
    const bool delivered = held ? DeliverRow(*inCallback, destination, row, firstColumn, lastColumn)
                                : DeliverRow(*PortCamera(portNo), destination, row, firstColumn, lastColumn);
    if (!delivered) return 0;
    Log(4, "getCVLGrabRow: leaving row=%d  grabberNo=%d  portNo=%d\n", row, grabberNo, portNo);
    return 1;
  } catch (const GenICam::GenericException& e) {
    Log(1, "getCVLGrabRow: GenICam --EXCEPTION occured : %s\n", e.GetDescription());
  } catch (...) {
    Log(1, "getCVLGrabRow: --EXCEPTION caught \n");
  }
  return 0;
}

KORVEX_EXPORT int setCompleteCallback(int grabberNo, int portNo, CompleteCallback cb) {
  try {
    Log(2, "setCompleteCallback: entering grabberNo=%d   portNo=%d\n", grabberNo, portNo);
    PortCamera(portNo)->SetCompleteCB(cb);
    Log(2, "setCompleteCallback: leaving grabberNo=%d   portNo=%d\n", grabberNo, portNo);
    return 1;
  } catch (...) {
    Log(1, "setCompleteCallback: --EXCEPTION caught \n");
  }
  return 0;
}

KORVEX_EXPORT int setCmdCallback(int grabberNo, int portNo, CommandCallback cb) {
  try {
    Log(2, "setCmdCallback: entering grabberNo=%d   portNo=%d\n", grabberNo, portNo);
    PortCamera(portNo)->SetCmdCompleteCB(cb);
    Log(2, "setCmdCallback: leaving grabberNo=%d   portNo=%d\n", grabberNo, portNo);
    return 1;
  } catch (...) {
    Log(3, "setCmdCallback: --EXCEPTION caught \n");
  }
  return 0;
}

KORVEX_EXPORT int execCmd(int grabberNo, int portNo, const char* command, const char* arguments, char* result,
                          int resultSize) {
  try {
    Log(2, "execCmd: entering grabberNo=%d   portNo=%d\n", grabberNo, portNo);
    if (command == nullptr || arguments == nullptr || result == nullptr || resultSize <= 0) {
      Log(1, "execCmd: ERROR: invalid arguments, command=%s, arguments=%s, result=%s, resultSize=%d\n",
          SafeText(command), SafeText(arguments), result != nullptr ? "set" : "(null)", resultSize);
      WriteErrorResult(result, resultSize);
      return 0;
    }
    PortCamera(portNo)->ExecCmd(command, arguments, result, resultSize);
    Log(2, "execCmd: leaving grabberNo=%d   portNo=%d\n", grabberNo, portNo);
    return 1;
  } catch (...) {
    Log(1, "execCmd: --EXCEPTION caught \n");
    WriteErrorResult(result, resultSize);
  }
  return 0;
}

KORVEX_EXPORT int getProperty(int grabberNo, int portNo, const char* property, int* value) {
  (void)grabberNo;
  try {
    Log(3, "getProperty: portNo=%d, prop=%s\n", portNo, SafeText(property));
    if (property == nullptr || value == nullptr) {
      Log(1, "getProperty: ERROR: property name or value pointer is null, portNo=%d\n", portNo);
      return 0;
    }
    return PortCamera(portNo)->GetProperty(property, value) ? 1 : 0;
  } catch (const GenICam::GenericException& e) {
    Log(1, "getProperty: GenICam --EXCEPTION occured : %s\n", e.GetDescription());
  } catch (...) {
    Log(1, "--EXCEPTION caught at getProperty\n");
  }
  return 0;
}

KORVEX_EXPORT int setProperty(int grabberNo, int portNo, const char* property, int value) {
  (void)grabberNo;
  try {
    Log(3, "setProperty: portNo=%d\n", portNo);
    if (property == nullptr) {
      Log(1, "setProperty: ERROR: property name is null, portNo=%d\n", portNo);
      return 0;
    }
    return PortCamera(portNo)->SetProperty(property, value) ? 1 : 0;
  } catch (const GenICam::GenericException& e) {
    Log(1, "setProperty: GenICam --EXCEPTION occured : %s\n", e.GetDescription());
  } catch (...) {
    Log(1, "setProperty: --EXCEPTION caught \n");
  }
  return 0;
}

KORVEX_EXPORT int getPropertyRange(int grabberNo, int portNo, const char* property, int* minimum, int* maximum) {
  try {
    Log(2, "getPropertyRange: entering grabberNo=%d   portNo=%d\n", grabberNo, portNo);
    if (property == nullptr || minimum == nullptr || maximum == nullptr) {
      Log(1, "getPropertyRange: ERROR: property name or range pointer is null, portNo=%d\n", portNo);
      return 0;
    }
    if (PortCamera(portNo)->GetRange(property, minimum, maximum)) {
      Log(2, "getPropertyRange: leaving grabberNo=%d   portNo=%d\n", grabberNo, portNo);
      return 1;
    }
  } catch (const GenICam::GenericException& e) {
    Log(1, "getPropertyRange: GenICam --EXCEPTION occured  %s\n", e.GetDescription());
  } catch (...) {
    Log(1, "getPropertyRange: --EXCEPTION caught \n");
  }
  return 0;
}

KORVEX_EXPORT char** getCVLCameraConfigNames(void) {
  try {
    // The array outlives this call: the same one is handed out until the last finalize.
    CameraList::Use list;
    return list ? list->GetNameArray() : gNoNames;
  } catch (...) {
    Log(1, "getCVLCameraConfigNames: --EXCEPTION caught \n");
  }
  return gNoNames;
}

KORVEX_EXPORT int getCVLMaxNoOfGrabbers(void) { return 1; }

KORVEX_EXPORT int getCVLMaxNoOfPorts(void) { return CameraList::kPorts; }

KORVEX_EXPORT int getCVLNoOfSupportedCameras(void) {
  CameraList::Use list;
  return list ? list->GetCount() : 0;
}

}  // extern "C"
