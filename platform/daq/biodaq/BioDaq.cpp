// The run-time loaded card library over the virtual cards. A device handle is an object per open;
// its digital I/O module lives inside it, so that a module handle stays valid exactly as long as
// its device.

#include "BioDaq.h"

#include <cstring>

#include "card/VirtualCard.h"

namespace {

constexpr uint32_t kDeviceTag = 0x42444556;  // "BDEV"
constexpr uint32_t kModuleTag = 0x42444D44;  // "BDMD"

struct Device;

struct Module {
  uint32_t tag = kModuleTag;
  Device* device;
};

struct Device {
  explicit Device(daq::VirtualCard* card_) : card(card_) { dio.device = this; }
  uint32_t tag = kDeviceTag;
  daq::VirtualCard* card;
  Module dio;
};

Device* DeviceOf(BDaqHandle handle) {
  Device* device = static_cast<Device*>(handle);
  return device != nullptr && device->tag == kDeviceTag ? device : nullptr;
}

daq::VirtualCard* CardOfModule(BDaqHandle handle) {
  Module* module = static_cast<Module*>(handle);
  return module != nullptr && module->tag == kModuleTag ? module->device->card : nullptr;
}

BDaqStatus Translate(daq::CardStatus status, daq::VirtualCard& card) {
  switch (status) {
    case daq::CardStatus::kOk:
      return kBDaqSuccess;
    case daq::CardStatus::kBadPort:
      return kBDaqParamOutOfRange;
    case daq::CardStatus::kRefused:
      return card.WriteStatus() != 0 ? card.WriteStatus() : kBDaqWriteFailed;
    case daq::CardStatus::kNoDevice:
      break;
  }
  return kBDaqDeviceNotExist;
}

// Single-port transfers only, as the driver makes them.
BDaqStatus CheckTransfer(daq::VirtualCard* card, int32_t count, const uint8_t* values) {
  if (card == nullptr) return kBDaqHandleNotValid;
  if (values == nullptr || count != 1) return kBDaqParamOutOfRange;
  return kBDaqSuccess;
}

}  // namespace

BDaqStatus AdxDeviceOpen(int32_t deviceNumber, int32_t accessMode, BDaqHandle* device) {
  if (device == nullptr || accessMode < 0) return kBDaqParamOutOfRange;
  *device = nullptr;
  daq::VirtualCard* card = daq::FindCard(deviceNumber);
  if (card == nullptr) return kBDaqDeviceNotExist;
  if (const BDaqStatus refused = card->OpenStatus()) return refused;
  *device = new Device(card);
  return kBDaqSuccess;
}

BDaqStatus AdxDeviceGetModuleHandle(BDaqHandle device, int32_t moduleType, int32_t index, BDaqHandle* module) {
  Device* opened = DeviceOf(device);
  if (opened == nullptr) return kBDaqHandleNotValid;
  if (module == nullptr || moduleType != kBDaqModuleDio || index != 0) return kBDaqParamOutOfRange;
  *module = &opened->dio;
  return kBDaqSuccess;
}

BDaqStatus AdxDeviceClose(BDaqHandle device) {
  Device* opened = DeviceOf(device);
  if (opened == nullptr) return kBDaqHandleNotValid;
  opened->card->FlushTrace();
  opened->tag = 0;
  opened->dio.tag = 0;
  delete opened;
  return kBDaqSuccess;
}

BDaqStatus AdxPropertyRead(BDaqHandle module, int32_t property, int32_t size, void* buffer, void*, void*) {
  daq::VirtualCard* card = CardOfModule(module);
  if (card == nullptr) return kBDaqHandleNotValid;
  if (property != kBDaqPropertyDoPortCount) return kBDaqPropertyNotSupported;
  if (buffer == nullptr || size < 4) return kBDaqParamOutOfRange;
  if (const BDaqStatus refused = card->FeaturesStatus()) return refused;
  const int32_t ports = card->OutputChannels() / 8;  // whole ports, as the feature record counts them
  std::memcpy(buffer, &ports, sizeof ports);
  return kBDaqSuccess;
}

BDaqStatus AdxDoWritePorts(BDaqHandle module, int32_t port, int32_t count, uint8_t* values) {
  daq::VirtualCard* card = CardOfModule(module);
  if (const BDaqStatus bad = CheckTransfer(card, count, values)) return bad;
  return Translate(card->Write(port, values[0]), *card);
}

BDaqStatus AdxDoReadBackPorts(BDaqHandle module, int32_t port, int32_t count, uint8_t* values) {
  daq::VirtualCard* card = CardOfModule(module);
  if (const BDaqStatus bad = CheckTransfer(card, count, values)) return bad;
  return Translate(card->ReadOutput(port, values), *card);
}

BDaqStatus AdxDiReadPorts(BDaqHandle module, int32_t port, int32_t count, uint8_t* values) {
  daq::VirtualCard* card = CardOfModule(module);
  if (const BDaqStatus bad = CheckTransfer(card, count, values)) return bad;
  return Translate(card->ReadInput(port, values), *card);
}
