#include "BaslerGigECamera.h"

#include <string>

namespace Pylon {

GenApi::INode* FeatureProxy::GetNode() const {
  GenApi::INodeMap* map = mSource.GetNodeMap();
  if (map == nullptr) throw GenICam::LogicalErrorException(std::string("Node map not available for ") + mName);
  GenApi::INode* node = map->GetNode(mName);
  if (node == nullptr) throw GenICam::LogicalErrorException(std::string("Node not existing: ") + mName);
  return node;
}

GenApi::EAccessMode FeatureProxy::GetAccessMode() const { return GetNode()->GetAccessMode(); }

template <class Interface>
Interface& FeatureProxy::As() const {
  Interface* typed = dynamic_cast<Interface*>(GetNode());
  if (typed == nullptr) throw GenICam::LogicalErrorException(std::string("Node has another type: ") + mName);
  return *typed;
}

int64_t IntegerFeature::GetValue() const { return Node().GetValue(); }
void IntegerFeature::SetValue(int64_t value) const { Node().SetValue(value, true); }
int64_t IntegerFeature::GetMin() const { return Node().GetMin(); }
int64_t IntegerFeature::GetMax() const { return Node().GetMax(); }
int64_t IntegerFeature::GetInc() const { return Node().GetInc(); }
GenApi::IInteger& IntegerFeature::Node() const { return As<GenApi::IInteger>(); }

bool BooleanFeature::GetValue() const { return As<GenApi::IBoolean>().GetValue(); }
void BooleanFeature::SetValue(bool value) const { As<GenApi::IBoolean>().SetValue(value, true); }

GenICam::gcstring EnumerationFeature::GetValue() const { return Node().ToString(); }
void EnumerationFeature::SetValue(const char* entry) const { Node().FromString(entry, true); }
int64_t EnumerationFeature::GetIntValue() const { return Node().GetIntValue(); }
void EnumerationFeature::SetIntValue(int64_t value) const { Node().SetIntValue(value, true); }
GenApi::IEnumeration& EnumerationFeature::Node() const { return As<GenApi::IEnumeration>(); }

void CommandFeature::Execute() const { As<GenApi::ICommand>().Execute(true); }

CBaslerGigECamera::CBaslerGigECamera() = default;

CBaslerGigECamera::CBaslerGigECamera(IPylonDevice* device, bool owning) { Attach(device, owning); }

CBaslerGigECamera::~CBaslerGigECamera() { Release(); }

void CBaslerGigECamera::Release() {
  if (mDevice != nullptr && mOwning) {
    try {
      if (mDevice->IsOpen()) mDevice->Close();
    } catch (const GenICam::GenericException&) {
      // a device that is gone cannot be closed; it is destroyed all the same
    }
    delete mDevice;
  }
  mDevice = nullptr;
  mOwning = false;
}

void CBaslerGigECamera::Attach(IPylonDevice* device, bool owning) {
  if (device == mDevice) return;
  Release();
  mDevice = device;
  mOwning = owning;
}

void CBaslerGigECamera::Open(const AccessModeSet& modes) {
  if (mDevice == nullptr) throw GenICam::LogicalErrorException("No device attached");
  mDevice->Open(modes);
}

void CBaslerGigECamera::Close() {
  if (mDevice != nullptr) mDevice->Close();
}

bool CBaslerGigECamera::IsOpen() const { return mDevice != nullptr && mDevice->IsOpen(); }

IStreamGrabber* CBaslerGigECamera::GetStreamGrabber(unsigned int index) {
  if (mDevice == nullptr) throw GenICam::LogicalErrorException("No device attached");
  return mDevice->GetStreamGrabber(index);
}

GenApi::INodeMap* CBaslerGigECamera::GetNodeMap() { return mDevice != nullptr ? mDevice->GetNodeMap() : nullptr; }

IStreamGrabber& CBaslerGigEStreamGrabber::operator*() const {
  if (mGrabber == nullptr) throw GenICam::LogicalErrorException("No stream grabber attached");
  return *mGrabber;
}

}  // namespace Pylon
