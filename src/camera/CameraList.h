#pragma once
// The process-wide list of supported cameras, in the camera SDK's enumeration order.
//
// Threads: built by Init and torn down by Destroy on the host thread inside initialize/finalize;
// in between the vector is only read (host threads, the ejector thread), so it takes no lock.
// The singleton is published only once Init has filled it, and every export holds a Use of it
// while it runs: the last finalize takes the list away from new calls, waits for the calls in
// flight, and only then deletes it. gInstanceMutex (CameraList.cpp) guards the pointer and the
// count of uses; mNameLock guards the name array.

#include <mutex>
#include <vector>

#include "camera_sdk/Device.h"

class Camera;
class CameraWaitThread;
class Ejector;

class CameraList {
 public:
  // A call's hold on the published list; empty when the driver is not started (or is stopping).
  // While any Use holds the list, the last finalize waits before deleting it.
  class Use {
   public:
    Use();
    ~Use();
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    explicit operator bool() const { return mList != nullptr; }
    CameraList* operator->() const { return mList; }
    CameraList* get() const { return mList; }

   private:
    CameraList* mList;
  };

  // The list, created empty and published on first use (tests and tools; the driver uses InitInstance).
  static CameraList* GetInstance();
  // The list if it is published; never creates one.
  static CameraList* PeekInstance();
  // initialize: builds a list, fills it with Init and only then publishes it. A list already
  // published is filled again. Exceptions pass, and leave nothing published.
  static void InitInstance();
  // The last finalize: ends every grab and closes every camera while calls may still find them,
  // then takes the list away from new calls, waits for those in flight and deletes it.
  static void DestroyInstance();

  // Enumerates the network. Run again, it first lets go of what an earlier run found.
  bool Init();
  bool IsCameraAvailable(const char* name);
  Camera* GetByName(const char* name);
  Camera* GetByPort(int port);
  // The lookup's failure for a port no camera holds (or outside the range): logs and throws "Err".
  [[noreturn]] static void NoCameraOnPort(int port);
  // Port numbers a host may use: 0 to getCVLMaxNoOfPorts() - 1.
  static constexpr int kPorts = 20;
  static bool IsValidPort(int port) { return port >= 0 && port < kPorts; }
  // The camera that controls this ejector, or null.
  Camera* FindEjectorCamera(const Ejector* ejector);
  Camera* operator[](int index);
  int GetCount() const { return static_cast<int>(mCameras.size()); }
  // One pointer per camera to its name, then a null pointer; the same array on every call, valid
  // until the list goes (the last finalize).
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
  std::mutex mNameLock;  // two hosts threads asking for the names at once
  char** mNameArray = nullptr;  // guarded by mNameLock
  CameraWaitThread* mWaitThread = nullptr;  // owned; destroyed after the cameras
};
