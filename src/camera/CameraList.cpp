#include "CameraList.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "Camera.h"
#include "acquisition/CameraWaitThread.h"
#include "ejector/Ejector.h"
#include "driver/Log.h"

namespace {
std::mutex gInstanceMutex;  // serialises creating and destroying the list
std::atomic<CameraList*> gInstance{nullptr};  // read without the mutex: every export looks it up
}  // namespace

CameraList* CameraList::GetInstance() {
  if (CameraList* list = gInstance.load(std::memory_order_acquire)) return list;
  std::lock_guard<std::mutex> guard(gInstanceMutex);
  CameraList* list = gInstance.load(std::memory_order_acquire);
  if (list == nullptr) {
    list = new (std::nothrow) CameraList();
    gInstance.store(list, std::memory_order_release);
  }
  if (list == nullptr) {
    Log(1, "CameraList::GetInstance: ERROR: no valid instance\n");
    throw "Err";
  }
  return list;
}

CameraList* CameraList::PeekInstance() { return gInstance.load(std::memory_order_acquire); }

void CameraList::DestroyInstance() {
  CameraList* list = PeekInstance();
  // Grabs end while the list can still be found: a completion callback that reads its rows during
  // the stop (on the wait thread) must still reach its camera by port.
  if (list != nullptr) {
    for (Camera* camera : list->mCameras) {
      if (camera != nullptr && camera->IsOpen()) camera->Close();
    }
  }
  // An ejector made by an open that then failed belongs to no camera: it ends with the driver.
  Ejector::DestroyInstance();
  {
    std::lock_guard<std::mutex> guard(gInstanceMutex);
    list = gInstance.exchange(nullptr, std::memory_order_acq_rel);
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
  // 1.
  Log(2, "CameraList::Init: entering\n");
  // 2.
  mTransportLayer = Pylon::CTlFactory::GetInstance().CreateTl("BaslerGigE");
  if (mTransportLayer == nullptr) {
    Log(1, "CameraList::Init: ERROR: failed to create transport layer!\n");
    return false;
  }
  // 3.
  const int found = mTransportLayer->EnumerateDevices(mDeviceInfos, false);
  if (found == 0 || mDeviceInfos.empty()) {
    Log(1, "CameraList::Init: WARNING: enumerateDevices shows no camera present!\n");
    return false;
  }
  // 4.
  for (const Pylon::CDeviceInfo& info : mDeviceInfos) {
    // 4.1
    const std::string friendlyName = info.GetFriendlyName().c_str();
    const std::string fullName = info.GetFullName().c_str();
    // 4.2
    if (fullName.empty()) continue;
    // 4.3
    if (fullName.compare(0, 10, "Basler ruL") != 0 && fullName.compare(0, 10, "Basler raL") != 0) {
      Log(1, "CameraList::Init: WARNING: skips not supported camera: %s\n", fullName.c_str());
      continue;
    }
    // 4.4
    bool colour;
    if (fullName.find("gm") == 17) {
      colour = false;
    } else if (fullName.find("gc") == 17) {
      colour = true;
    } else {
      Log(1, "CameraList::Init: Error: skipping partially recognized camera name: %s\n", fullName.c_str());
      continue;
    }
    // 4.5
    CameraDescriptor descriptor;
    descriptor.kindFlags = (colour ? CameraDescriptor::kColour : CameraDescriptor::kMonochrome) | CameraDescriptor::kListed;
    descriptor.name = friendlyName;
    // 4.6
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
    // 4.7
    Log(2, "CameraList::Init: %s camera found: %s\n", colour ? "color" : "b/w", fullName.c_str());
    mCameras.push_back(camera);
  }
  // 5.
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

Camera* CameraList::GetByPort(int port) {
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
  Log(1, "CameraList::GetByPort: ERROR: could not find camera on port %d\n", port);
  throw "Err";
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
  FreeNameArray();
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
  for (Camera* camera : mCameras) delete camera;
  mCameras.clear();
  if (mTransportLayer != nullptr) {
    Pylon::CTlFactory::GetInstance().ReleaseTl(mTransportLayer);
    mTransportLayer = nullptr;
  }
  FreeNameArray();
  Log(2, "CameraList::Destroy: leaving\n");
  mInitialised = false;
}
