#pragma once
// The I/O card through the run-time loaded library and its access layer.
//
// Threads: as the other backend: opened and closed while no ejector thread runs, then ports are
// written and read from the ejector thread and host threads at once through the one module.

#include <cstdint>

#include "ejector/BDaqAccess.h"

class AdvantechDevice_bdaq {
 public:
  // The backend opened with its port count read, or null; with `emulation` it is returned
  // without opening anything.
  static AdvantechDevice_bdaq* Create(int deviceNumber, bool emulation);
  virtual ~AdvantechDevice_bdaq();

  BDaqStatus Open(int deviceNumber);
  BDaqStatus Close();
  BDaqStatus GetFeatures();
  BDaqStatus WriteDio(int port, uint8_t value);
  BDaqStatus ReadDio(int port, uint8_t* value);
  BDaqStatus Read(int port, uint8_t* value);
  int GetPortCount() const { return mPortCount; }

  bool emulation = false;
  int deviceNumber = 0;

 private:
  AdvantechDevice_bdaq() = default;
  // True below 0xE0000000; otherwise logs the status as a signed decimal, true only in emulation.
  bool CheckError(BDaqStatus status, const char* operation) const;

  bool mOpened = false;
  BDaq::BDaqDevice* mDevice = nullptr;  // shared through the access layer
  BDaq::BDaqDio* mDio = nullptr;        // kept by the device
  int32_t mPortCount = 0;
};
