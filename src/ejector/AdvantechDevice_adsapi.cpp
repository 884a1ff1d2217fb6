#include "AdvantechDevice_adsapi.h"

#include <cstring>

#include "driver/Log.h"

AdvantechDevice_adsapi* AdvantechDevice_adsapi::Create(int deviceNumber, bool emulation) {
  AdvantechDevice_adsapi* device = new AdvantechDevice_adsapi();
  device->emulation = emulation;
  if (device->Open(deviceNumber) != 0 && !emulation) {
    delete device;
    return nullptr;
  }
  if (device->GetFeatures() != 0 && !emulation) {
    delete device;
    return nullptr;
  }
  return device;
}

AdvantechDevice_adsapi::~AdvantechDevice_adsapi() {
  if (mOpened) Close();
}

bool AdvantechDevice_adsapi::CheckError(AdsStatus status, const char* operation) const {
  if (status == 0) return true;
  char text[kAdsErrorTextSize] = {};
  DRV_GetErrorMessage(status, text);
  text[sizeof text - 1] = '\0';
  if (emulation) {
    Log(1, "%s:(IGNORING)  ERROR: %s\n", operation, text);
  } else {
    Log(1, "%s: ERROR: %s\n", operation, text);
  }
  return emulation;
}

AdsStatus AdvantechDevice_adsapi::Open(int number) {
  if (mOpened) {
    CheckError(DRV_DeviceClose(&mHandle), "AdvantechDevice::Close");
    mHandle = 0;
    mOpened = false;
  }
  if (emulation) Log(1, "WARNING: Device %d is opened in emulation mode\n", number);
  deviceNumber = number;
  const AdsStatus status = DRV_DeviceOpen(static_cast<uint32_t>(number), &mHandle);
  CheckError(status, "AdvantechDevice::Open");
  if (status == 0) mOpened = true;
  return status;
}

AdsStatus AdvantechDevice_adsapi::Close() {
  if (!mOpened) return 0;
  const AdsStatus status = DRV_DeviceClose(&mHandle);
  CheckError(status, "AdvantechDevice::Close");
  mHandle = 0;
  mOpened = false;
  return status;
}

AdsStatus AdvantechDevice_adsapi::GetFeatures() {
  std::memset(mFeatures, 0, sizeof mFeatures);
  PT_DeviceGetFeatures request{mFeatures, static_cast<uint16_t>(sizeof mFeatures)};
  const AdsStatus status = DRV_DeviceGetFeatures(mHandle, &request);
  CheckError(status, "AdvantechDevice::GetFeatures");
  return status;
}

AdsStatus AdvantechDevice_adsapi::WriteDio(int port, uint8_t value) {
  Log(4, "(AdvantechDevice::WriteDio) Port: %d; Value: %.2X\n", port, value);
  if (emulation) return 0;
  const AdsStatus status = AdxDioWriteDoPorts(mHandle, static_cast<uint16_t>(port), 1, &value);
  CheckError(status, "AdvantechDevice::WriteDio");
  return status;
}

AdsStatus AdvantechDevice_adsapi::ReadDio(int port, uint8_t* value) {
  const AdsStatus status = AdxDioGetCurrentDoPortsState(mHandle, static_cast<uint16_t>(port), 1, value);
  CheckError(status, "AdvantechDevice::ReadDio");
  return status;
}

AdsStatus AdvantechDevice_adsapi::Read(int port, uint8_t* value) {
  const AdsStatus status = AdxDioReadDiPorts(mHandle, static_cast<uint16_t>(port), 1, value);
  CheckError(status, "AdvantechDevice::Read");
  return status;
}

int AdvantechDevice_adsapi::GetPortCount() const {
  uint16_t channels = 0;
  std::memcpy(&channels, mFeatures + kAdsOutputChannelsOffset, sizeof channels);
  return channels / 8;
}
