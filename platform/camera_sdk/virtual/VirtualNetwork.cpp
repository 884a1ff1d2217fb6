// The virtual GigE network behind the "BaslerGigE" transport layer: its cameras, the devices the
// driver creates for them, and the test control.
//
// Threads: the network is built by the first CreateTl and lives while a transport layer or a device
// refers to it; gNetworkMutex guards the pointer to it. Each camera guards its own state.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "VirtualCamera.h"
#include "camera_sdk/Device.h"
#include "camera_sdk/VirtualControl.h"
#include "os/PrivateProfile.h"

namespace Pylon {
namespace Virtual {

namespace {

using Network = std::vector<std::shared_ptr<VirtualCamera>>;

std::mutex gNetworkMutex;
std::weak_ptr<Network> gNetwork;  // guarded by gNetworkMutex

CameraConfig Camera(const char* model, const char* serial, bool colour, int sensorWidth) {
  CameraConfig config;
  config.fullName = std::string("Basler ") + model + "#" + serial;
  config.friendlyName = std::string("Basler ") + model + " (" + serial + ")";
  config.serialNumber = serial;
  config.colour = colour;
  config.sensorWidth = sensorWidth;
  return config;
}

std::vector<CameraConfig> DefaultNetwork() {
  return {Camera("raL2048-48gm", "21000001", false, 2048), Camera("ruL2098-10gc", "21000002", true, 2098),
          Camera("acA1300-30gm", "21000003", false, 1296)};
}

std::string Key(const std::string& file, const std::string& section, const char* key, const char* fallback) {
  char buffer[256];
  os::GetPrivateProfileString(section.c_str(), key, fallback, buffer, sizeof buffer, file.c_str());
  return buffer;
}

// The cameras of a KORVEX_CAMERAS file: one section a camera, in file order.
std::vector<CameraConfig> NetworkFromFile(const std::string& file) {
  std::vector<CameraConfig> cameras;
  const std::vector<std::string> sections = os::GetPrivateProfileSectionNames(file.c_str());
  if (sections.empty()) {
    std::fprintf(stderr, "KORVEX_CAMERAS: cannot read a camera from '%s'; the virtual network is empty\n",
                 file.c_str());
    return cameras;
  }
  for (const std::string& section : sections) {
    CameraConfig config;
    config.fullName = Key(file, section, "FullName", "");
    config.friendlyName = Key(file, section, "FriendlyName", "");
    if (config.fullName.empty() || config.friendlyName.empty()) {
      std::fprintf(stderr, "KORVEX_CAMERAS: section [%s] of '%s' needs FullName and FriendlyName; skipped\n",
                   section.c_str(), file.c_str());
      continue;
    }
    config.serialNumber = Key(file, section, "SerialNumber", section.c_str());
    config.colour = std::atoi(Key(file, section, "Color", "0").c_str()) != 0;
    config.sensorWidth = std::atoi(Key(file, section, "SensorWidth", "2048").c_str());
    config.maxHeight = std::atoi(Key(file, section, "MaxHeight", "8192").c_str());
    config.lineRate = std::atof(Key(file, section, "LineRate", "10000").c_str());
    config.pattern = Key(file, section, "Pattern", "conveyor");
    config.freeRunning = std::atoi(Key(file, section, "FreeRunning", "1").c_str()) != 0;
    config.payloadPadding = std::atoi(Key(file, section, "PayloadPadding", "0").c_str());
    config.dropEvery = std::atoi(Key(file, section, "DropEvery", "0").c_str());
    config.realTime = std::atoi(Key(file, section, "RealTime", "0").c_str()) != 0;
    config.groundTruth = Key(file, section, "GroundTruth", "");
    if (config.sensorWidth < 1 || config.payloadPadding < 0 || config.dropEvery < 0 || config.maxHeight < 1 || !(config.lineRate >= 100.0 && config.lineRate <= 1.0e8) ||
        (config.pattern != "ramp" && config.pattern != "conveyor" && config.pattern != "none")) {
      std::fprintf(stderr,
                   "KORVEX_CAMERAS: section [%s] of '%s' has a bad SensorWidth, MaxHeight, LineRate, Pattern, PayloadPadding or DropEvery; "
                   "skipped\n",
                   section.c_str(), file.c_str());
      continue;
    }
    cameras.push_back(config);
  }
  return cameras;
}

std::shared_ptr<Network> CurrentNetwork() {
  std::lock_guard<std::mutex> guard(gNetworkMutex);
  return gNetwork.lock();
}

std::shared_ptr<Network> NetworkForNewTl() {
  std::lock_guard<std::mutex> guard(gNetworkMutex);
  std::shared_ptr<Network> network = gNetwork.lock();
  if (network != nullptr) return network;
  const char* file = std::getenv("KORVEX_CAMERAS");
  const std::vector<CameraConfig> configs = file != nullptr && *file != '\0' ? NetworkFromFile(file) : DefaultNetwork();
  network = std::make_shared<Network>();
  for (const CameraConfig& config : configs) network->push_back(std::make_shared<VirtualCamera>(config));
  gNetwork = network;
  return network;
}

std::shared_ptr<VirtualCamera> CameraAt(int index) {
  std::shared_ptr<Network> network = CurrentNetwork();
  if (network == nullptr || index < 0 || index >= static_cast<int>(network->size())) return nullptr;
  return (*network)[static_cast<std::size_t>(index)];
}

// A device object the driver owns; the camera behind it outlives it.
class VirtualDevice : public IPylonDevice {
 public:
  VirtualDevice(std::shared_ptr<Network> network, std::shared_ptr<VirtualCamera> camera)
      : mNetwork(std::move(network)), mCamera(std::move(camera)), mInfo(mCamera->Info()) {}
  ~VirtualDevice() override {
    SetRemovalCallback(nullptr);
    try {
      if (mOpen) mCamera->Close();
    } catch (const GenICam::GenericException&) {
      // unplugged: nothing left to close
    }
  }
  void Open(const AccessModeSet&) override {
    mCamera->Open();
    mOpen = true;
  }
  void Close() override {
    if (!mOpen) return;
    mOpen = false;
    mCamera->Close();
  }
  bool IsOpen() const override { return mOpen; }
  const CDeviceInfo& GetDeviceInfo() const override { return mInfo; }
  unsigned int GetNumStreamGrabberChannels() const override { return 1; }
  IStreamGrabber* GetStreamGrabber(unsigned int index) override { return index == 0 ? &mCamera->Grabber() : nullptr; }
  GenApi::INodeMap* GetNodeMap() override { return mOpen ? &mCamera->Nodes() : nullptr; }
  bool IsRemoved() const override { return mCamera->IsUnplugged(); }
  void SetRemovalCallback(std::function<void()> callback) override {
    if (mListenerKey != 0) mCamera->RemoveRemovalListener(mListenerKey);
    mListenerKey = callback ? mCamera->AddRemovalListener(std::move(callback)) : 0;
  }

 private:
  std::shared_ptr<Network> mNetwork;
  std::shared_ptr<VirtualCamera> mCamera;
  CDeviceInfo mInfo;
  bool mOpen = false;
  int mListenerKey = 0;  // the removal callback's, while one is set
};

class VirtualTransportLayer : public ITransportLayer {
 public:
  explicit VirtualTransportLayer(std::shared_ptr<Network> network) : mNetwork(std::move(network)) {}
  int EnumerateDevices(DeviceInfoList_t& list, bool addToList) override {
    if (!addToList) list.clear();
    for (const auto& camera : *mNetwork) list.push_back(camera->Info());
    return static_cast<int>(mNetwork->size());
  }
  IPylonDevice* CreateDevice(const CDeviceInfo& info) override {
    for (const auto& camera : *mNetwork) {
      if (camera->Config().fullName == info.GetFullName().c_str()) return new VirtualDevice(mNetwork, camera);
    }
    throw GenICam::RuntimeException(std::string("No device of the name ") + info.GetFullName().c_str());
  }
  void DestroyDevice(IPylonDevice* device) override { delete device; }

 private:
  std::shared_ptr<Network> mNetwork;
};

}  // namespace

ITransportLayer* CreateVirtualTransportLayer() { return new VirtualTransportLayer(NetworkForNewTl()); }

int CameraCount() {
  std::shared_ptr<Network> network = CurrentNetwork();
  return network != nullptr ? static_cast<int>(network->size()) : 0;
}

bool SetFreeRunning(int camera, bool on) {
  auto c = CameraAt(camera);
  if (c) c->SetFreeRunning(on);
  return c != nullptr;
}

int ProduceFrames(int camera, int count) {
  auto c = CameraAt(camera);
  return c ? c->ProduceFrames(count) : 0;
}

bool InjectFailedResults(int camera, int count) {
  auto c = CameraAt(camera);
  if (c) c->InjectFailedResults(count);
  return c != nullptr;
}

bool SetNodeFailure(int camera, const char* node, const char* description) {
  auto c = CameraAt(camera);
  if (c && node != nullptr) c->SetNodeFailure(node, description);
  return c != nullptr && node != nullptr;
}

bool Unplug(int camera) {
  auto c = CameraAt(camera);
  if (c) c->Unplug();
  return c != nullptr;
}

bool IsAcquiring(int camera) {
  auto c = CameraAt(camera);
  return c ? c->IsAcquiring() : false;
}

int64_t DroppedFrames(int camera) {
  auto c = CameraAt(camera);
  return c ? c->DroppedFrames() : 0;
}

int64_t LinesAcquired(int camera) {
  auto c = CameraAt(camera);
  return c ? c->LinesAcquired() : 0;
}

int64_t LastCompletionNs(int camera) {
  auto c = CameraAt(camera);
  return c ? c->LastCompletionNs() : 0;
}

int NodeWrites(int camera, const char* node) {
  auto c = CameraAt(camera);
  return c && node != nullptr ? c->NodeWrites(node) : 0;
}

int NodeMapInvalidations(int camera) {
  auto c = CameraAt(camera);
  return c ? c->Nodes().Invalidations() : 0;
}

}  // namespace Virtual
}  // namespace Pylon
