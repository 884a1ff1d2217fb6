#pragma once
// Devices and the transport layer that finds them.

#include <functional>
#include <vector>

#include "GenApi.h"
#include "GenICam.h"
#include "SdkExport.h"
#include "StreamGrabber.h"

namespace Pylon {

enum EDeviceAccessMode { Control = 1, Stream = 3, Event = 4, Exclusive = 5 };

// A set of access modes, built with operator|.
class KORVEX_SDK_API AccessModeSet {
 public:
  AccessModeSet() = default;
  AccessModeSet(EDeviceAccessMode mode) : mBits(1u << mode) {}  // NOLINT: implicit, as the SDK's is
  AccessModeSet operator|(EDeviceAccessMode mode) const {
    AccessModeSet set(*this);
    set.mBits |= 1u << mode;
    return set;
  }
  bool Has(EDeviceAccessMode mode) const { return (mBits & (1u << mode)) != 0; }

 private:
  unsigned int mBits = 0;
};

inline AccessModeSet operator|(EDeviceAccessMode a, EDeviceAccessMode b) { return AccessModeSet(a) | b; }

class KORVEX_SDK_API CDeviceInfo {
 public:
  GenICam::gcstring GetFriendlyName() const { return mFriendlyName; }
  GenICam::gcstring GetFullName() const { return mFullName; }
  GenICam::gcstring GetModelName() const { return mModelName; }
  GenICam::gcstring GetSerialNumber() const { return mSerialNumber; }
  GenICam::gcstring GetDeviceClass() const { return mDeviceClass; }

  GenICam::gcstring mFriendlyName, mFullName, mModelName, mSerialNumber, mDeviceClass;
};

using DeviceInfoList_t = std::vector<CDeviceInfo>;

class KORVEX_SDK_API IPylonDevice {
 public:
  virtual ~IPylonDevice() = default;
  virtual void Open(const AccessModeSet& modes) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual const CDeviceInfo& GetDeviceInfo() const = 0;
  virtual unsigned int GetNumStreamGrabberChannels() const = 0;
  // Null for an index the device does not have.
  virtual IStreamGrabber* GetStreamGrabber(unsigned int index) = 0;
  // Null while the device is not open.
  virtual GenApi::INodeMap* GetNodeMap() = 0;
  // The device dropped off the network: every further call on it fails. Its open stream grabber then
  // returns each buffer still queued as a failed result (one without a buffer when none is queued),
  // so that a waiter learns of it at once.
  virtual bool IsRemoved() const = 0;
  // The device-removal notice: `callback` is called once, on a thread of the SDK's, when the device
  // drops off the network. An empty one unregisters; that returns once a call under way has ended,
  // so that what the callback touches may go right after.
  virtual void SetRemovalCallback(std::function<void()> callback) = 0;
};

class KORVEX_SDK_API ITransportLayer {
 public:
  virtual ~ITransportLayer() = default;
  // Fills (or, with addToList, extends) the list; returns the number of devices found.
  virtual int EnumerateDevices(DeviceInfoList_t& list, bool addToList = false) = 0;
  // A new device object for the info; the caller owns it and gives it to DestroyDevice.
  virtual IPylonDevice* CreateDevice(const CDeviceInfo& info) = 0;
  virtual void DestroyDevice(IPylonDevice* device) = 0;
};

class KORVEX_SDK_API CTlFactory {
 public:
  static CTlFactory& GetInstance();
  // Null for a device class no backend serves.
  ITransportLayer* CreateTl(const GenICam::gcstring& deviceClass);
  void ReleaseTl(ITransportLayer* transportLayer);

 private:
  CTlFactory() = default;
};

}  // namespace Pylon
