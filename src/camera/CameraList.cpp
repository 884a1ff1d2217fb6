#include "CameraList.h"

#include <cstring>
#include <mutex>
#include <new>

#include "Camera.h"
#include "driver/Log.h"

namespace {
std::mutex gInstanceMutex;  // guards gInstance
CameraList* gInstance = nullptr;
}  // namespace

CameraList* CameraList::GetInstance() {
  std::lock_guard<std::mutex> guard(gInstanceMutex);
  if (gInstance == nullptr) gInstance = new (std::nothrow) CameraList();
  if (gInstance == nullptr) {
    Log(1, "CameraList::GetInstance: ERROR: no valid instance\n");
    throw "Err";
  }
  return gInstance;
}

CameraList* CameraList::PeekInstance() {
  std::lock_guard<std::mutex> guard(gInstanceMutex);
  return gInstance;
}

void CameraList::DestroyInstance() {
  CameraList* list;
  {
    std::lock_guard<std::mutex> guard(gInstanceMutex);
    list = gInstance;
    gInstance = nullptr;
  }
  delete list;
}

CameraList::CameraList() { mCameras.reserve(20); }

CameraList::~CameraList() {
  Log(2, "CameraList::~CameraList: entering\n");
  Destroy();
  Log(2, "CameraList::~CameraList: leaving\n");
}

bool CameraList::Init() {
  Log(2, "CameraList::Init: entering\n");
  // The camera SDK offers no transport layer yet, so no device can be enumerated.
  Log(1, "CameraList::Init: WARNING: enumerateDevices shows no camera present!\n");
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
  FreeNameArray();
  Log(2, "CameraList::Destroy: leaving\n");
  mInitialised = false;
}
