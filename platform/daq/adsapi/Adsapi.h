#pragma once
// The legacy card driver interface, as the driver calls it: open a device by number, read its
// features, write and read digital ports one at a time. Status 0 is success; every other status
// has a text from DRV_GetErrorMessage. Calls are safe from several threads on one handle.

#include <cstdint>

#include "card/DaqExport.h"

using AdsStatus = uint32_t;
using AdsHandle = uint32_t;

// The statuses this library returns besides those a virtual card is configured to refuse with.
constexpr AdsStatus kAdsSuccess = 0;
constexpr AdsStatus kAdsDeviceNotFound = 0x0001;     // no card with that device number
constexpr AdsStatus kAdsInvalidHandle = 0x0005;      // the handle is 0 or not an open device
constexpr AdsStatus kAdsInvalidPort = 0x001B;        // port or port count outside the card
constexpr AdsStatus kAdsInvalidArgument = 0x001C;    // a null address or a bad record size
constexpr AdsStatus kAdsWriteFailed = 0x0030;        // the card refused the write

constexpr uint16_t kAdsFeatureRecordSize = 520;
constexpr int kAdsOutputChannelsOffset = 34;  // uint16 in the feature record
constexpr int kAdsInputChannelsOffset = 36;   // uint16 in the feature record
constexpr uint16_t kAdsErrorTextSize = 80;

// DRV_DeviceGetFeatures' request: where the feature record goes and how big it is.
struct PT_DeviceGetFeatures {
  void* buffer;
  uint16_t size;
};

KORVEX_DAQ_API AdsStatus DRV_DeviceOpen(uint32_t deviceNumber, AdsHandle* handle);
KORVEX_DAQ_API AdsStatus DRV_DeviceClose(AdsHandle* handle);
KORVEX_DAQ_API AdsStatus DRV_DeviceGetFeatures(AdsHandle handle, PT_DeviceGetFeatures* request);
// A terminated text of at most kAdsErrorTextSize bytes (terminator included) for any status.
KORVEX_DAQ_API AdsStatus DRV_GetErrorMessage(AdsStatus status, char* text);
KORVEX_DAQ_API AdsStatus AdxDioWriteDoPorts(AdsHandle handle, uint16_t port, uint16_t count, const uint8_t* values);
KORVEX_DAQ_API AdsStatus AdxDioGetCurrentDoPortsState(AdsHandle handle, uint16_t port, uint16_t count,
                                                      uint8_t* values);
KORVEX_DAQ_API AdsStatus AdxDioReadDiPorts(AdsHandle handle, uint16_t port, uint16_t count, uint8_t* values);
