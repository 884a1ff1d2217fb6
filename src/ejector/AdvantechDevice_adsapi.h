#pragma once
// The I/O card through the legacy library, bound when the driver loads.
//
// Threads: opened and closed while no ejector thread runs; then the ejector thread and host
// threads (execCmd) write and read ports at once on the one handle, which the library allows.
// Those calls touch no field but read-only ones.

#include <cstdint>

#include "adsapi/Adsapi.h"

class AdvantechDevice_adsapi {
 public:
  // The backend opened with its features read, or null; with `emulation` it exists whatever fails.
  static AdvantechDevice_adsapi* Create(int deviceNumber, bool emulation);
  virtual ~AdvantechDevice_adsapi();

  AdsStatus Open(int deviceNumber);
  AdsStatus Close();
  AdsStatus GetFeatures();
  AdsStatus WriteDio(int port, uint8_t value);
  AdsStatus ReadDio(int port, uint8_t* value);
  AdsStatus Read(int port, uint8_t* value);
  // Output channels at offset 34 of the feature record, divided by 8.
  int GetPortCount() const;

  bool emulation = false;
  int deviceNumber = 0;

 private:
  AdvantechDevice_adsapi() = default;
  // True for status 0; otherwise logs the library's text, and is true only in emulation.
  bool CheckError(AdsStatus status, const char* operation) const;

  bool mOpened = false;
  AdsHandle mHandle = 0;
  uint8_t mFeatures[kAdsFeatureRecordSize] = {};
};
