#include "CameraList.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "Camera.h"
#include "acquisition/CameraWaitThread.h"
#include "ejector/Ejector.h"
#include "driver/Log.h"

namespace {
std::mutex gInstanceMutex;                    // serialises creating and destroying the list
std::condition_variable gUsesEnded;           // with gInstanceMutex: the last Use ended while draining
std::atomic<CameraList*> gInstance{nullptr};  // the published list; read without the mutex by every call
std::atomic<int> gUses{0};                    // Uses alive, also those that found no list
std::atomic<bool> gDraining{false};           // DestroyInstance waits for gUses to reach 0
}  // namespace

// The count goes up before the pointer is read, and DestroyInstance clears the pointer before it
// reads the count (both sequentially consistent): a Use either sees no list or is waited for.
CameraList::Use::Use() {
  gUses.fetch_add(1);
  mList = gInstance.load();
}

CameraList::Use::~Use() {
  if (gUses.fetch_sub(1) == 1 && gDraining.load()) {
    std::lock_guard<std::mutex> guard(gInstanceMutex);
    gUsesEnded.notify_all();
  }
}

CameraList* CameraList::GetInstance() {
  if (CameraList* list = gInstance.load()) return list;
  std::lock_guard<std::mutex> guard(gInstanceMutex);
  CameraList* list = gInstance.load();
  if (list == nullptr) {
    list = new (std::nothrow) CameraList();
    gInstance.store(list);
  }
  if (list == nullptr) {
    Log(1, "CameraList::GetInstance: ERROR: no valid instance\n");
    throw "Err";
  }
  return list;
}

CameraList* CameraList::PeekInstance() { return gInstance.load(); }

void CameraList::InitInstance() {
  if (CameraList* published = gInstance.load()) {
    published->Init();
    return;
  }
  std::unique_ptr<CameraList> list(new (std::nothrow) CameraList());
  if (list == nullptr) {
    Log(1, "CameraList::GetInstance: ERROR: no valid instance\n");
    throw "Err";
  }
  list->Init();  // no camera found is no failure
  std::lock_guard<std::mutex> guard(gInstanceMutex);
  gInstance.store(list.release());
}

void CameraList::DestroyInstance() {
  // Grabs end while the list can still be found: a completion callback that reads its rows during
  // the stop (on the wait thread) must still reach its camera by port.
  if (CameraList* list = PeekInstance()) {
    for (Camera* camera : list->mCameras) {
      if (camera != nullptr && camera->IsOpen()) camera->Close();
    }
  }
  CameraList* list;
  {
    std::unique_lock<std::mutex> guard(gInstanceMutex);
    list = gInstance.exchange(nullptr);
    gDraining.store(true);
    gUsesEnded.wait(guard, [] { return gUses.load() == 0; });
    gDraining.store(false);
  }
  // A camera that another thread opened after the first pass (it still found the list) is closed
  // now, no call being left to reach it, and lets go of its ejector while the ejector exists.
  if (list != nullptr) {
    for (Camera* camera : list->mCameras) {
      if (camera != nullptr && camera->IsOpen()) camera->Close();
    }
  }
  // An ejector made by an open that then failed belongs to no camera: it ends with the driver,
  // before the cameras its thread might look for go.
  {
    std::lock_guard<std::mutex> ejectorLifecycle(Ejector::LifecycleLock());
    Ejector::DestroyInstance();
  }
  delete list;
}

CameraList::CameraList() : mWaitThread(new CameraWaitThread()) { mCameras.reserve(20); }

CameraList::~CameraList() {
  Log(2, "CameraList::~CameraList: entering\n");
  Destroy();
  Log(2, "CameraList::~CameraList: leaving\n");
  delete mWaitThread;
}

bool CameraList::Init() {
  // Log the entry.
  Log(2, "CameraList::Init: entering\n");
  // A second run (an initialize again after one that failed) starts from an empty list, so that no
  // camera is listed twice and no transport layer is left behind.
  if (mTransportLayer != nullptr || !mCameras.empty()) Destroy();
  // The GigE transport layer.
  mTransportLayer = Pylon::CTlFactory::GetInstance().CreateTl("BaslerGigE");
  if (mTransportLayer == nullptr) {
    Log(1, "CameraList::Init: ERROR: failed to create transport layer!\n");
    return false;
  }
  // Enumerate once, replacing what the list held.
  const int found = mTransportLayer->EnumerateDevices(mDeviceInfos, false);
  if (found == 0 || mDeviceInfos.empty()) {
    Log(1, "CameraList::Init: WARNING: enumerateDevices shows no camera present!\n");
    return false;
  }
  // Every device in enumeration order.
  for (const Pylon::CDeviceInfo& info : mDeviceInfos) {
    // Its names.
    const std::string friendlyName = info.GetFriendlyName().c_str();
    const std::string fullName = info.GetFullName().c_str();
    // A device without a full name is skipped silently.
    if (fullName.empty()) continue;
    // Supported models only.
    if (fullName.compare(0, 10, "Basler ruL") != 0 && fullName.compare(0, 10, "Basler raL") != 0) {
      Log(1, "CameraList::Init: WARNING: skips not supported camera: %s\n", fullName.c_str());
      continue;
    }
    // Monochrome or colour, by the two letters at index 17.
    bool colour;
    if (fullName.find("gm") == 17) {
      colour = false;
    } else if (fullName.find("gc") == 17) {
      colour = true;
    } else {
      Log(1, "CameraList::Init: Error: skipping partially recognized camera name: %s\n", fullName.c_str());
      continue;
    }
    // The descriptor.
    CameraDescriptor descriptor;
    descriptor.kindFlags = (colour ? CameraDescriptor::kColour : CameraDescriptor::kMonochrome) | CameraDescriptor::kListed;
    descriptor.name = friendlyName;
    // The SDK device and its Camera.
    Pylon::IPylonDevice* device = mTransportLayer->CreateDevice(info);
    Camera* camera = nullptr;
    try {
      camera = new (std::nothrow) Camera(friendlyName.c_str(), device, descriptor, mWaitThread);
    } catch (...) {
      mTransportLayer->DestroyDevice(device);
      throw;
    }
    if (camera == nullptr) {
      mTransportLayer->DestroyDevice(device);
      Log(1, "CameraList::Init:  ERROR: could not allocate Camera object\n");
      throw "Err";
    }
    // Listed.
    Log(2, "CameraList::Init: %s camera found: %s\n", colour ? "color" : "b/w", fullName.c_str());
    mCameras.push_back(camera);
  }
  // Found at least one camera?
  if (!mCameras.empty()) {
    Log(2, "CameraList::Init: leaving\n");
    mInitialised = true;
    return true;
  }
  Log(1, "CameraList::Init: WARNING: no supported cameras found\n");
  return false;
}

bool CameraList::IsCameraAvailable(const char* name) {
  Log(3, "CameraList::IsCameraAvailable:  name=%s\n", SafeText(name));
  if (name == nullptr) return false;
  for (Camera* camera : mCameras) {
    if (camera != nullptr && camera->GetName() == name) return true;
  }
  return false;
}

Camera* CameraList::GetByName(const char* name) {
  Log(3, "CameraList::GetByName: entering %s\n", SafeText(name));
  if (name != nullptr) {
    for (Camera* camera : mCameras) {
      if (camera != nullptr && camera->GetName() == name) {
        Log(3, "CameraList::GetByName: leaving %s\n", name);
        return camera;
      }
    }
  }
  Log(1, "CameraList::GetByName: ERROR: could not find camera %s\n", SafeText(name));
  throw "Err";
}

void CameraList::NoCameraOnPort(int port) {
  if (!IsValidPort(port)) {
    Log(1, "CameraList::GetByPort: ERROR: port %d is out of range 0..%d\n", port, kPorts - 1);
  } else {
    Log(1, "CameraList::GetByPort: ERROR: could not find camera on port %d\n", port);
  }
  throw "Err";
}

Camera* CameraList::GetByPort(int port) {
  // -1 marks a closed camera: no host port may reach one.
  if (!IsValidPort(port)) NoCameraOnPort(port);
  for (std::size_t index = 0; index < mCameras.size(); ++index) {
    Camera* camera = mCameras[index];
    if (camera == nullptr) {
      Log(1, "CameraList::GetByPort: ERROR: vector contains null pointer at index %d\n", static_cast<int>(index));
      throw "Err";
    }
    if (camera->GetPort() == port) {
      if (!camera->IsOpen()) {
        Log(1, "CameraList::GetByPort: ERROR: found camera on requested port %d, but the camera is closed\n", port);
      }
      return camera;
    }
  }
  NoCameraOnPort(port);
}

Camera* CameraList::FindEjectorCamera(const Ejector* ejector) {
  if (ejector == nullptr) {
    Log(1, "CameraList::FindEjectorCamera: ERROR: parameter == 0\n");
    return nullptr;
  }
  for (Camera* camera : mCameras) {
    if (camera != nullptr && camera->GetEjector() == ejector) return camera;
  }
  return nullptr;
}

Camera* CameraList::operator[](int index) {
  if (index < 0 || index >= GetCount()) {
    Log(1, "CameraList::operator[] index out of bounds: %d\n", index);
    throw "Err";
  }
  return mCameras[index];
}

char** CameraList::GetNameArray() {
  // The names never change while the list lives, so the array is made once and handed out again:
  // a host thread still walking the array of an earlier call is never left with freed memory.
  std::lock_guard<std::mutex> guard(mNameLock);
  if (mNameArray != nullptr) return mNameArray;
  mNameArray = new char*[mCameras.size() + 1];
  for (std::size_t index = 0; index < mCameras.size(); ++index) {
    mNameArray[index] = const_cast<char*>(mCameras[index]->GetName().c_str());
  }
  mNameArray[mCameras.size()] = nullptr;
  return mNameArray;
}

void CameraList::FreeNameArray() {
  delete[] mNameArray;
  mNameArray = nullptr;
}

void CameraList::Destroy() {
  Log(2, "CameraList::Destroy: entering\n");
  // Closed first, then deleted once the wait thread is done with the result it is on: after its
  // callback it may still look at the camera it came from.
  for (Camera* camera : mCameras) {
    if (camera != nullptr && camera->IsOpen()) camera->Close();
  }
  if (mWaitThread != nullptr) mWaitThread->WaitIdle();
  for (Camera* camera : mCameras) delete camera;
  mCameras.clear();
  if (mTransportLayer != nullptr) {
    Pylon::CTlFactory::GetInstance().ReleaseTl(mTransportLayer);
    mTransportLayer = nullptr;
  }
  {
    std::lock_guard<std::mutex> guard(mNameLock);
    FreeNameArray();
  }
  Log(2, "CameraList::Destroy: leaving\n");
  mInitialised = false;
}
