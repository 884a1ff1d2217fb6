// The legacy card driver over the virtual cards. A handle is the device number plus one, so that
// every call finds its card without a table of its own.

#include "Adsapi.h"

#include <cstdio>
#include <cstring>

#include "card/VirtualCard.h"

namespace {

daq::VirtualCard* CardOf(AdsHandle handle) {
  return handle != 0 ? daq::FindCard(static_cast<int>(handle - 1)) : nullptr;
}

AdsStatus Translate(daq::CardStatus status, daq::VirtualCard& card) {
  switch (status) {
    case daq::CardStatus::kOk:
      return kAdsSuccess;
    case daq::CardStatus::kBadPort:
      return kAdsInvalidPort;
    case daq::CardStatus::kRefused:
      return card.WriteStatus() != 0 ? card.WriteStatus() : kAdsWriteFailed;
    case daq::CardStatus::kNoDevice:
      break;
  }
  return kAdsDeviceNotFound;
}

// Only single-port transfers exist on the driver's side; anything else is refused, not guessed at.
AdsStatus CheckTransfer(daq::VirtualCard* card, uint16_t count, const void* values) {
  if (card == nullptr) return kAdsInvalidHandle;
  if (values == nullptr) return kAdsInvalidArgument;
  if (count != 1) return kAdsInvalidPort;
  return kAdsSuccess;
}

}  // namespace

AdsStatus DRV_DeviceOpen(uint32_t deviceNumber, AdsHandle* handle) {
  if (handle == nullptr) return kAdsInvalidArgument;
  *handle = 0;
  daq::VirtualCard* card = deviceNumber <= 0xFFFF ? daq::FindCard(static_cast<int>(deviceNumber)) : nullptr;
  if (card == nullptr) return kAdsDeviceNotFound;
  if (const AdsStatus refused = card->OpenStatus()) return refused;
  *handle = deviceNumber + 1;
  return kAdsSuccess;
}

AdsStatus DRV_DeviceClose(AdsHandle* handle) {
  if (handle == nullptr) return kAdsInvalidArgument;
  daq::VirtualCard* card = CardOf(*handle);
  if (card == nullptr) return kAdsInvalidHandle;
  card->FlushTrace();
  *handle = 0;
  return kAdsSuccess;
}

AdsStatus DRV_DeviceGetFeatures(AdsHandle handle, PT_DeviceGetFeatures* request) {
  daq::VirtualCard* card = CardOf(handle);
  if (card == nullptr) return kAdsInvalidHandle;
  if (request == nullptr || request->buffer == nullptr || request->size < kAdsFeatureRecordSize) {
    return kAdsInvalidArgument;
  }
  if (const AdsStatus refused = card->FeaturesStatus()) return refused;
  unsigned char* record = static_cast<unsigned char*>(request->buffer);
  std::memset(record, 0, kAdsFeatureRecordSize);
  const uint16_t outputs = static_cast<uint16_t>(card->OutputChannels());
  const uint16_t inputs = static_cast<uint16_t>(card->InputChannels());
  std::memcpy(record + kAdsOutputChannelsOffset, &outputs, sizeof outputs);
  std::memcpy(record + kAdsInputChannelsOffset, &inputs, sizeof inputs);
  return kAdsSuccess;
}

AdsStatus DRV_GetErrorMessage(AdsStatus status, char* text) {
  if (text == nullptr) return kAdsInvalidArgument;
  const char* message;
  switch (status) {
    case kAdsSuccess: message = "The operation completed successfully."; break;
    case kAdsDeviceNotFound: message = "The device is not installed."; break;
    case kAdsInvalidHandle: message = "The device handle is not valid."; break;
    case kAdsInvalidPort: message = "The port number is out of range."; break;
    case kAdsInvalidArgument: message = "An argument is not valid."; break;
    case kAdsWriteFailed: message = "The device did not accept the output."; break;
    default: message = nullptr; break;
  }
  if (message != nullptr) {
    std::snprintf(text, kAdsErrorTextSize, "%s", message);
  } else {
    std::snprintf(text, kAdsErrorTextSize, "Device error 0x%X.", static_cast<unsigned>(status));
  }
  return kAdsSuccess;
}

AdsStatus AdxDioWriteDoPorts(AdsHandle handle, uint16_t port, uint16_t count, const uint8_t* values) {
  daq::VirtualCard* card = CardOf(handle);
  if (const AdsStatus bad = CheckTransfer(card, count, values)) return bad;
  return Translate(card->Write(port, values[0]), *card);
}

AdsStatus AdxDioGetCurrentDoPortsState(AdsHandle handle, uint16_t port, uint16_t count, uint8_t* values) {
  daq::VirtualCard* card = CardOf(handle);
  if (const AdsStatus bad = CheckTransfer(card, count, values)) return bad;
  return Translate(card->ReadOutput(port, values), *card);
}

AdsStatus AdxDioReadDiPorts(AdsHandle handle, uint16_t port, uint16_t count, uint8_t* values) {
  daq::VirtualCard* card = CardOf(handle);
  if (const AdsStatus bad = CheckTransfer(card, count, values)) return bad;
  return Translate(card->ReadInput(port, values), *card);
}
