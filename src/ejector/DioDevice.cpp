#include "DioDevice.h"

bool DioDevice::OpenBioDaq(int deviceNumber, bool emulation) {
  if (IsOpen()) return false;
  mBdaq.reset(AdvantechDevice_bdaq::Create(deviceNumber, emulation));
  return IsOpen();
}

bool DioDevice::OpenAdsapi(int deviceNumber, bool emulation) {
  if (IsOpen()) return false;
  mAdsapi.reset(AdvantechDevice_adsapi::Create(deviceNumber, emulation));
  return IsOpen();
}

bool DioDevice::Close() {
  if (mBdaq != nullptr) {
    mBdaq->Close();
    mBdaq.reset();
  }
  if (mAdsapi != nullptr) {
    mAdsapi->Close();
    mAdsapi.reset();
  }
  return true;
}

int DioDevice::GetPortCount() const {
  if (mBdaq != nullptr) return mBdaq->GetPortCount();
  if (mAdsapi != nullptr) return mAdsapi->GetPortCount();
  return 0;
}

bool DioDevice::WriteDio(int port, uint8_t value) {
  if (mBdaq != nullptr) return mBdaq->WriteDio(port, value) == 0;
  if (mAdsapi != nullptr) return mAdsapi->WriteDio(port, value) == 0;
  return false;
}

bool DioDevice::ReadDio(int port, uint8_t& value) {
  if (mBdaq != nullptr) return mBdaq->ReadDio(port, &value) == 0;
  if (mAdsapi != nullptr) return mAdsapi->ReadDio(port, &value) == 0;
  return false;
}

bool DioDevice::Read(int port, uint8_t& value) {
  if (mBdaq != nullptr) return mBdaq->Read(port, &value) == 0;
  if (mAdsapi != nullptr) return mAdsapi->Read(port, &value) == 0;
  return false;
}
