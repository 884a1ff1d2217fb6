// GigE Vision cameras through Aravis behind the SDK's transport layer: enumeration, devices with
// control access, their node maps and stream grabbers, and the news that a device has gone.
//
// This file is a module of its own, loaded once and never unloaded (GLib's types cannot be
// registered twice in one process); the SDK reaches it through KorvexCreateAravisTransportLayer.

#include <arv.h>

#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "AravisNodes.h"
#include "AravisStream.h"
#include "LivenessProbe.h"
#include "camera_sdk/Device.h"
#include "camera_sdk/SdkExport.h"

namespace Pylon {
namespace Aravis {

namespace {

// Aravis's device list is one per process.
std::mutex gSystemLock;

struct Found {
  std::string id;       // Aravis's device id
  std::string address;  // dotted IPv4
};

std::string Text(const char* text) { return text != nullptr ? text : ""; }

// "00:30:53:1a:2b:3c" as "0030531A2B3C".
std::string MacDigits(const std::string& mac) {
  std::string digits;
  for (char c : mac) {
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return digits;
}

// What a removal reaches, for as long as the device is open. Aravis's heartbeat thread may be
// inside its signal handler while the device closes: the handler's data keeps the watch alive
// and Close detaches it, waiting for a call under way.
class Device;
struct RemovalWatch {
  std::mutex lock;
  Device* device = nullptr;  // guarded by lock; null once the device closes
  void Fire();
};

class Device : public IPylonDevice {
 public:
  Device(CDeviceInfo info, Found found) : mInfo(std::move(info)), mFound(std::move(found)) {}
  ~Device() override {
    SetRemovalCallback(nullptr);
    Close();
  }

  void Open(const AccessModeSet&) override {
    std::lock_guard<std::mutex> guard(mLock);
    if (mLink != nullptr) throw GenICam::LogicalErrorException("The device is already open");
    GError* error = nullptr;
    ArvDevice* device = nullptr;
    {
      std::lock_guard<std::mutex> system(gSystemLock);
      device = arv_open_device(mFound.id.c_str(), &error);
    }
    const std::string name = mInfo.GetFriendlyName().c_str();
    if (device == nullptr) Raise(error, name + ": open");
    if (!ARV_IS_GV_DEVICE(device)) {
      g_object_unref(device);
      throw GenICam::RuntimeException(name + ": not a GigE Vision device");
    }
    // A refused value must raise, not pass unnoticed.
    arv_device_set_range_check_policy(device, ARV_RANGE_CHECK_POLICY_ENABLE);
    arv_device_set_access_check_policy(device, ARV_ACCESS_CHECK_POLICY_ENABLE);
    auto link = std::make_shared<DeviceLink>(device, name);
    try {
      mNodes = std::make_unique<NodeMap>(link);
    } catch (...) {
      g_object_unref(device);
      throw;
    }
    mGrabber.Attach(link);
    mLink = link;
    mRemovedWhileOpen = false;  // a camera back on the network is a new session
    mWatch = std::make_shared<RemovalWatch>();
    mWatch->device = this;
    g_signal_connect_data(device, "control-lost", G_CALLBACK(&Device::OnControlLost),
                          new std::shared_ptr<RemovalWatch>(mWatch), &Device::ForgetWatch, GConnectFlags(0));
    std::shared_ptr<RemovalWatch> watch = mWatch;
    mProbe = std::make_unique<LivenessProbe>(mFound.address, mGrabber.FramesReceived(), [watch] { watch->Fire(); });
  }

  void Close() override {
    std::lock_guard<std::mutex> guard(mLock);
    if (mLink == nullptr) return;
    {
      std::lock_guard<std::mutex> watch(mWatch->lock);
      mWatch->device = nullptr;
    }
    mProbe.reset();
    ArvDevice* device = mLink->Device();
    g_signal_handlers_disconnect_matched(device, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                         reinterpret_cast<gpointer>(&Device::OnControlLost), nullptr);
    mGrabber.Detach();
    mNodes.reset();
    const bool removed = mLink->IsRemoved();
    mRemovedWhileOpen = mRemovedWhileOpen || removed;
    mLink.reset();
    mWatch.reset();
    Release(device, removed);
  }

  bool IsOpen() const override {
    std::lock_guard<std::mutex> guard(mLock);
    return mLink != nullptr;
  }
  const CDeviceInfo& GetDeviceInfo() const override { return mInfo; }
  unsigned int GetNumStreamGrabberChannels() const override { return 1; }
  IStreamGrabber* GetStreamGrabber(unsigned int index) override {
    return index == 0 ? &mGrabber : nullptr;
  }
  GenApi::INodeMap* GetNodeMap() override {
    std::lock_guard<std::mutex> guard(mLock);
    return mNodes.get();
  }
  bool IsRemoved() const override {
    std::lock_guard<std::mutex> guard(mLock);
    return mRemovedWhileOpen || (mLink != nullptr && mLink->IsRemoved());
  }
  void SetRemovalCallback(std::function<void()> callback) override {
    // Taking the turn waits for a call under way.
    std::lock_guard<std::mutex> turn(mCallbackTurn);
    mCallback = std::move(callback);
  }

  // On the probe's or Aravis's heartbeat thread, with the watch's lock held.
  void Removed() {
    if (mLink == nullptr || !mLink->MarkRemoved()) return;
    mGrabber.DeviceRemoved();
    std::lock_guard<std::mutex> turn(mCallbackTurn);
    if (mCallback) mCallback();
  }

 private:
  static void OnControlLost(ArvDevice*, gpointer data) { (*static_cast<std::shared_ptr<RemovalWatch>*>(data))->Fire(); }
  static void ForgetWatch(gpointer data, GClosure*) { delete static_cast<std::shared_ptr<RemovalWatch>*>(data); }

  const CDeviceInfo mInfo;
  const Found mFound;
  // mLock guards the open state; Removed() reads it under the watch's lock, which Close takes
  // before it changes anything a removal uses.
  mutable std::mutex mLock;
  std::shared_ptr<DeviceLink> mLink;
  std::unique_ptr<NodeMap> mNodes;
  StreamGrabber mGrabber;  // for the device's life, working while it is open
  std::shared_ptr<RemovalWatch> mWatch;
  std::unique_ptr<LivenessProbe> mProbe;
  bool mRemovedWhileOpen = false;
  std::mutex mCallbackTurn;
  std::function<void()> mCallback;
};

void RemovalWatch::Fire() {
  std::lock_guard<std::mutex> guard(lock);
  if (device != nullptr) device->Removed();
}

class TransportLayer : public ITransportLayer {
 public:
  int EnumerateDevices(DeviceInfoList_t& list, bool addToList) override {
    if (!addToList) list.clear();
    int found = 0;
    std::lock_guard<std::mutex> system(gSystemLock);
    arv_update_device_list();
    const unsigned int count = arv_get_n_devices();
    for (unsigned int i = 0; i < count; ++i) {
      if (Text(arv_get_device_protocol(i)) != "GigEVision") continue;
      const std::string vendor = Text(arv_get_device_vendor(i)), model = Text(arv_get_device_model(i)),
                        serial = Text(arv_get_device_serial_nbr(i)), address = Text(arv_get_device_address(i));
      CDeviceInfo info;
      info.mFullName = vendor + " " + model + "#" + MacDigits(Text(arv_get_device_physical_id(i))) + "#" + address + ":3956";
      info.mFriendlyName = vendor + " " + model + " (" + serial + ")";
      info.mModelName = model;
      info.mSerialNumber = serial;
      info.mDeviceClass = "BaslerGigE";
      mFound[info.mFullName.c_str()] = Found{Text(arv_get_device_id(i)), address};
      list.push_back(info);
      ++found;
    }
    return found;
  }

  IPylonDevice* CreateDevice(const CDeviceInfo& info) override {
    std::lock_guard<std::mutex> system(gSystemLock);
    const auto found = mFound.find(info.GetFullName().c_str());
    if (found == mFound.end()) {
      throw GenICam::RuntimeException(std::string("No device of the name ") + info.GetFullName().c_str());
    }
    return new Device(info, found->second);
  }

  void DestroyDevice(IPylonDevice* device) override { delete device; }

 private:
  std::map<std::string, Found> mFound;  // by full name, from the last enumeration; under gSystemLock
};

}  // namespace
}  // namespace Aravis
}  // namespace Pylon

extern "C" KORVEX_SDK_API Pylon::ITransportLayer* KorvexCreateAravisTransportLayer() {
  return new Pylon::Aravis::TransportLayer();
}
