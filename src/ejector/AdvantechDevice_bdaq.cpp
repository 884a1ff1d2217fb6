#include "AdvantechDevice_bdaq.h"

#include <exception>
#include <new>

#include "driver/Log.h"

namespace {
constexpr BDaqStatus kNullPointer = 0xE000FFFF;
}

AdvantechDevice_bdaq* AdvantechDevice_bdaq::Create(int deviceNumber, bool emulation) {
  AdvantechDevice_bdaq* device = nullptr;
  try {
    device = new AdvantechDevice_bdaq();
    device->emulation = emulation;
    if (emulation) return device;
    if (device->Open(deviceNumber) != 0 || device->GetFeatures() != 0) {
      delete device;
      return nullptr;
    }
  } catch (const std::exception& e) {
    // A device whose open threw never opened: no device, so that the card counts as not open.
    Log(1, "ERROR:AdvantechDevice_bdaq::Create exception: %s", e.what());
    delete device;
    return nullptr;
  }
  return device;
}

AdvantechDevice_bdaq::~AdvantechDevice_bdaq() {
  if (mOpened && mDevice != nullptr) mDevice->Release();
}

bool AdvantechDevice_bdaq::CheckError(BDaqStatus status, const char* operation) const {
  if (status < 0xE0000000u) return true;
  if (emulation) {
    Log(1, "%s:(IGNORING)  ERROR: %d\n", operation, static_cast<int32_t>(status));
  } else {
    Log(1, "%s: ERROR: %d\n", operation, static_cast<int32_t>(status));
  }
  return emulation;
}

BDaqStatus AdvantechDevice_bdaq::Open(int number) {
  if (mOpened) {
    if (mDevice != nullptr) mDevice->Release();
    mDevice = nullptr;
    mDio = nullptr;
    mOpened = false;
  }
  if (emulation) Log(1, "AdvantechDevice_bdaq::Open: WARNING: Device %d is opened in emulation mode\n", number);
  deviceNumber = number;
  mDevice = nullptr;
  BDaqStatus status = BDaq::BDaqDevice::Open(number, 1, &mDevice);
  if (status >= 0xE0000000u) CheckError(status, "AdvantechDevice_bdaq::Open device");
  if (status != 0) {
    // A warning still fails the open; a device it came with is given back, not leaked.
    if (mDevice != nullptr) mDevice->Release();
    mDevice = nullptr;
    return status;
  }
  status = mDevice->GetModule(kBDaqModuleDio, 0, &mDio);
  CheckError(status, "AdvantechDevice_bdaq::Open dio");
  // Opened means device and module are held; a device without its module is given back.
  if (status == 0 && mDio != nullptr) {
    mOpened = true;
  } else {
    mDevice->Release();
    mDevice = nullptr;
    mDio = nullptr;
  }
  return status;
}

BDaqStatus AdvantechDevice_bdaq::Close() {
  if (mOpened && mDevice != nullptr) {
    mDevice->Release();
    mDevice = nullptr;
    mDio = nullptr;
    mOpened = false;
  }
  return 0;
}

BDaqStatus AdvantechDevice_bdaq::GetFeatures() {
  if (mDevice == nullptr || mDio == nullptr) {
    Log(1, "ERROR:AdvantechDevice_bdaq::GetFeatures: NULL pointer\n");
    return kNullPointer;
  }
  const BDaqStatus status = mDio->PropertyRead(kBDaqPropertyDoPortCount, sizeof mPortCount, &mPortCount);
  CheckError(status, "AdvantechDevice_bdaq::GetFeatures");
  return status;
}

BDaqStatus AdvantechDevice_bdaq::WriteDio(int port, uint8_t value) {
  if (emulation) return 0;
  if (mDevice == nullptr || mDio == nullptr) {
    Log(1, "ERROR:AdvantechDevice_bdaq::WriteDio: NULL pointer");
    return kNullPointer;
  }
  const BDaqStatus status = mDio->DoWritePorts(port, 1, &value);
  CheckError(status, "AdvantechDevice_bdaq::WriteDio");
  return status;
}

BDaqStatus AdvantechDevice_bdaq::ReadDio(int port, uint8_t* value) {
  if (mDevice == nullptr || mDio == nullptr) {
    Log(1, "ERROR:AdvantechDevice_bdaq::ReadDio: NULL pointer");
    return kNullPointer;
  }
  const BDaqStatus status = mDio->DoReadBackPorts(port, 1, value);
  CheckError(status, "AdvantechDevice_bdaq::ReadDio:DoRead");
  return status;
}

BDaqStatus AdvantechDevice_bdaq::Read(int port, uint8_t* value) {
  if (mDevice == nullptr || mDio == nullptr) {
    Log(1, "ERROR:AdvantechDevice_bdaq::Read: NULL pointer");
    return kNullPointer;
  }
  const BDaqStatus status = mDio->DiReadPorts(port, 1, value);
  CheckError(status, "AdvantechDevice_bdaq::Read:DiRead");
  return status;
}
