#pragma once
// The process-wide list of supported cameras, in the camera SDK's enumeration order.
//
// Threads: built by Init and torn down by Destroy on the host thread inside initialize/finalize;
// in between the vector is only read (host threads, the ejector thread), so it takes no lock.
// The singleton pointer itself is guarded by a mutex, so that two host threads asking for it
// first get the same list.

#include <vector>

#include "camera_sdk/Device.h"

class Camera;
class CameraWaitThread;
class Ejector;

class CameraList {
 public:
  // The list, created empty on first use (and again after DestroyInstance).
  static CameraList* GetInstance();
  // The list if it exists; never creates one.
  static CameraList* PeekInstance();
  static void DestroyInstance();

  bool Init();
  bool IsCameraAvailable(const char* name);
  Camera* GetByName(const char* name);
  Camera* GetByPort(int port);
  // The camera that controls this ejector, or null.
  Camera* FindEjectorCamera(const Ejector* ejector);
  Camera* operator[](int index);
  int GetCount() const { return static_cast<int>(mCameras.size()); }
  // One pointer per camera to its name, then a null pointer. Frees the array of the previous call.
  char** GetNameArray();
  void Destroy();
  bool IsInitialised() const { return mInitialised; }
  CameraWaitThread* GetWaitThread() { return mWaitThread; }

  ~CameraList();
  CameraList(const CameraList&) = delete;
  CameraList& operator=(const CameraList&) = delete;

 private:
  CameraList();
  void FreeNameArray();

  Pylon::ITransportLayer* mTransportLayer = nullptr;
  Pylon::DeviceInfoList_t mDeviceInfos;
  std::vector<Camera*> mCameras;  // owned
  bool mInitialised = false;
  char** mNameArray = nullptr;
  CameraWaitThread* mWaitThread = nullptr;  // owned; destroyed after the cameras
};
