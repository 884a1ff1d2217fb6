#pragma once
// A GigE camera with its best-known features as typed members, and its stream grabber with the
// two settings the driver makes. The members look their node up at every call, so they work
// whenever the device is open and raise LogicalErrorException when it is not.

#include "Device.h"
#include "GenApi.h"
#include "SdkExport.h"
#include "StreamGrabber.h"

namespace Pylon {

class KORVEX_SDK_API NodeMapSource {
 public:
  virtual ~NodeMapSource() = default;
  virtual GenApi::INodeMap* GetNodeMap() = 0;
};

class KORVEX_SDK_API FeatureProxy {
 public:
  FeatureProxy(NodeMapSource& source, const char* name) : mSource(source), mName(name) {}
  FeatureProxy(const FeatureProxy&) = delete;
  FeatureProxy& operator=(const FeatureProxy&) = delete;
  GenApi::EAccessMode GetAccessMode() const;
  GenApi::INode* GetNode() const;  // raises LogicalErrorException when there is none

 protected:
  template <class Interface>
  Interface& As() const;

 private:
  NodeMapSource& mSource;
  const char* mName;
};

class KORVEX_SDK_API IntegerFeature : public FeatureProxy {
 public:
  using FeatureProxy::FeatureProxy;
  int64_t GetValue() const;
  void SetValue(int64_t value) const;
  int64_t GetMin() const;
  int64_t GetMax() const;
  int64_t GetInc() const;
  GenApi::IInteger& Node() const;
};

class KORVEX_SDK_API BooleanFeature : public FeatureProxy {
 public:
  using FeatureProxy::FeatureProxy;
  bool GetValue() const;
  void SetValue(bool value) const;
};

class KORVEX_SDK_API EnumerationFeature : public FeatureProxy {
 public:
  using FeatureProxy::FeatureProxy;
  GenICam::gcstring GetValue() const;
  // By entry name; an unknown name raises InvalidArgumentException.
  void SetValue(const char* entry) const;
  int64_t GetIntValue() const;
  void SetIntValue(int64_t value) const;
  GenApi::IEnumeration& Node() const;
};

class KORVEX_SDK_API CommandFeature : public FeatureProxy {
 public:
  using FeatureProxy::FeatureProxy;
  void Execute() const;
};

class KORVEX_SDK_API CBaslerGigECamera : public NodeMapSource {
 public:
  CBaslerGigECamera();
  // Takes the device; with `owning` it is destroyed with the camera.
  explicit CBaslerGigECamera(IPylonDevice* device, bool owning = true);
  ~CBaslerGigECamera() override;
  CBaslerGigECamera(const CBaslerGigECamera&) = delete;
  CBaslerGigECamera& operator=(const CBaslerGigECamera&) = delete;

  void Attach(IPylonDevice* device, bool owning = true);
  IPylonDevice* GetDevice() const { return mDevice; }
  void Open(const AccessModeSet& modes = Control | Stream | Event);
  void Close();
  bool IsOpen() const;
  IStreamGrabber* GetStreamGrabber(unsigned int index);
  GenApi::INodeMap* GetNodeMap() override;

  IntegerFeature Width{*this, "Width"};
  IntegerFeature Height{*this, "Height"};
  IntegerFeature OffsetX{*this, "OffsetX"};
  IntegerFeature OffsetY{*this, "OffsetY"};
  EnumerationFeature PixelFormat{*this, "PixelFormat"};
  IntegerFeature PayloadSize{*this, "PayloadSize"};
  BooleanFeature ChunkModeActive{*this, "ChunkModeActive"};
  EnumerationFeature AcquisitionMode{*this, "AcquisitionMode"};
  CommandFeature AcquisitionStart{*this, "AcquisitionStart"};
  CommandFeature AcquisitionStop{*this, "AcquisitionStop"};
  IntegerFeature LineStatusAll{*this, "LineStatusAll"};
  IntegerFeature UserOutputValueAll{*this, "UserOutputValueAll"};
  BooleanFeature LUTEnable{*this, "LUTEnable"};
  EnumerationFeature LUTSelector{*this, "LUTSelector"};
  IntegerFeature LUTIndex{*this, "LUTIndex"};
  IntegerFeature LUTValue{*this, "LUTValue"};

 private:
  void Release();

  IPylonDevice* mDevice = nullptr;
  bool mOwning = false;
};

// A stream grabber with its two size settings as members.
class KORVEX_SDK_API CBaslerGigEStreamGrabber : public NodeMapSource {
 public:
  CBaslerGigEStreamGrabber() = default;
  explicit CBaslerGigEStreamGrabber(IStreamGrabber* grabber) : mGrabber(grabber) {}
  void Attach(IStreamGrabber* grabber) { mGrabber = grabber; }
  bool IsAttached() const { return mGrabber != nullptr; }
  // The grabber itself; raises LogicalErrorException when none is attached.
  IStreamGrabber& operator*() const;
  IStreamGrabber* operator->() const { return &**this; }
  GenApi::INodeMap* GetNodeMap() override { return mGrabber != nullptr ? mGrabber->GetNodeMap() : nullptr; }

  IntegerFeature MaxBufferSize{*this, "MaxBufferSize"};
  IntegerFeature MaxNumBuffer{*this, "MaxNumBuffer"};

 private:
  IStreamGrabber* mGrabber = nullptr;
};

}  // namespace Pylon
