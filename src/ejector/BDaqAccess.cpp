#include "BDaqAccess.h"

#include <cstdlib>
#include <mutex>
#include <string>

#include "driver/Log.h"
#include "os/DynamicLibrary.h"
#include "os/Path.h"

namespace BDaq {

namespace {

// The seven entry points the driver calls, looked up by name once the library is loaded.
struct EntryPoints {
  AdxDeviceOpen_t deviceOpen = nullptr;
  AdxDeviceGetModuleHandle_t getModuleHandle = nullptr;
  AdxDeviceClose_t deviceClose = nullptr;
  AdxPropertyRead_t propertyRead = nullptr;
  AdxPortTransfer_t doWritePorts = nullptr;
  AdxPortTransfer_t doReadBackPorts = nullptr;
  AdxPortTransfer_t diReadPorts = nullptr;
};

struct Layer {
  std::mutex lock;
  os::DynamicLibrary library;               // guarded by lock; never unloaded once open
  EntryPoints entries;                      // written under lock before any device exists
  std::map<uint32_t, BDaqDevice*> devices;  // guarded by lock
};

// Lives as long as the driver's library: the card library stays loaded until the driver goes.
Layer& TheLayer() {
  static Layer layer;
  return layer;
}

template <typename F>
bool Resolve(const os::DynamicLibrary& library, const char* name, F& function) {
  function = reinterpret_cast<F>(library.Symbol(name));
  return function != nullptr;
}

// Beside the driver first, then the system's library path; KORVEX_BIODAQ names another file.
bool LoadLibrary(Layer& layer) {
  if (layer.library.IsOpen()) return true;
  const char* chosen = std::getenv("KORVEX_BIODAQ");
  std::string tried;
  bool opened;
  if (chosen != nullptr && *chosen != '\0') {
    tried = chosen;
    opened = layer.library.Open(chosen);
  } else {
    const std::string beside = os::ModuleDirectory(reinterpret_cast<const void*>(&TheLayer));
    constexpr const char* kFile = KORVEX_LIBRARY_FILE("BioDaq");
    tried = beside.empty() ? std::string() : os::JoinPath(beside, kFile);
    opened = !tried.empty() && layer.library.Open(tried);
    if (!opened) {
      tried += tried.empty() ? std::string(kFile) : std::string(" or ") + kFile + " on the library path";
      opened = layer.library.Open(kFile);
    }
  }
  if (!opened) {
    Log(1, "BDaqDevice::Open: ERROR: the BioDAQ library %s cannot be loaded: %s\n", tried.c_str(),
        layer.library.Error().c_str());
    return false;
  }
  EntryPoints& e = layer.entries;
  const bool complete = Resolve(layer.library, "AdxDeviceOpen", e.deviceOpen) &&
                        Resolve(layer.library, "AdxDeviceGetModuleHandle", e.getModuleHandle) &&
                        Resolve(layer.library, "AdxDeviceClose", e.deviceClose) &&
                        Resolve(layer.library, "AdxPropertyRead", e.propertyRead) &&
                        Resolve(layer.library, "AdxDoWritePorts", e.doWritePorts) &&
                        Resolve(layer.library, "AdxDoReadBackPorts", e.doReadBackPorts) &&
                        Resolve(layer.library, "AdxDiReadPorts", e.diReadPorts);
  if (!complete) {
    Log(1, "BDaqDevice::Open: ERROR: the BioDAQ library %s lacks entry points the driver uses\n", tried.c_str());
    layer.entries = EntryPoints{};
    layer.library.Close();
  }
  return complete;
}

}  // namespace

BDaqStatus BDaqDio::PropertyRead(int32_t property, int32_t size, void* buffer) {
  return TheLayer().entries.propertyRead(mHandle, property, size, buffer, nullptr, nullptr);
}

BDaqStatus BDaqDio::DoWritePorts(int32_t port, int32_t count, uint8_t* values) {
  return TheLayer().entries.doWritePorts(mHandle, port, count, values);
}

BDaqStatus BDaqDio::DoReadBackPorts(int32_t port, int32_t count, uint8_t* values) {
  return TheLayer().entries.doReadBackPorts(mHandle, port, count, values);
}

BDaqStatus BDaqDio::DiReadPorts(int32_t port, int32_t count, uint8_t* values) {
  return TheLayer().entries.diReadPorts(mHandle, port, count, values);
}

BDaqStatus BDaqDevice::Open(int32_t deviceNumber, int32_t accessMode, BDaqDevice** device) {
  if (device == nullptr) return kErrorNoObject;
  *device = nullptr;
  Layer& layer = TheLayer();
  std::lock_guard<std::mutex> guard(layer.lock);
  if (!LoadLibrary(layer)) return kErrorLibraryNotLoaded;
  const uint32_t mode = static_cast<uint32_t>(accessMode == 2 ? 1 : accessMode);
  const uint32_t key = (static_cast<uint32_t>(deviceNumber) & 0xFFFFu) | (mode << 16);
  const auto shared = layer.devices.find(key);
  if (shared != layer.devices.end()) {
    ++shared->second->mReferences;
    *device = shared->second;
    return 0;
  }
  BDaqHandle handle = nullptr;
  const BDaqStatus status = layer.entries.deviceOpen(deviceNumber, accessMode, &handle);
  if (status >= 0xE0000000u) return status;
  BDaqDevice* opened = new BDaqDevice(key, handle);
  layer.devices[key] = opened;
  *device = opened;
  return status;
}

void BDaqDevice::Release() {
  Layer& layer = TheLayer();
  std::lock_guard<std::mutex> guard(layer.lock);
  if (--mReferences > 0) return;
  layer.devices.erase(mKey);
  delete this;
}

BDaqDevice::~BDaqDevice() {
  for (auto& module : mModules) delete module.second;
  if (mHandle != nullptr) TheLayer().entries.deviceClose(mHandle);
}

BDaqStatus BDaqDevice::GetModule(int32_t moduleType, int32_t index, BDaqDio** module) {
  if (module == nullptr) return kErrorNoObject;
  *module = nullptr;
  Layer& layer = TheLayer();
  std::lock_guard<std::mutex> guard(layer.lock);
  if (mHandle == nullptr) return kErrorNoHandle;
  if (moduleType != kBDaqModuleDio) return kErrorNoObject;
  const auto key = std::make_pair(moduleType, index);
  const auto kept = mModules.find(key);
  if (kept != mModules.end()) {
    *module = kept->second;
    return 0;
  }
  BDaqHandle handle = nullptr;
  const BDaqStatus status = layer.entries.getModuleHandle(mHandle, moduleType, index, &handle);
  if (status >= 0xE0000000u || handle == nullptr) return status != 0 ? status : kErrorNoObject;
  BDaqDio* dio = new BDaqDio(handle);
  mModules[key] = dio;
  *module = dio;
  return status;
}

}  // namespace BDaq
