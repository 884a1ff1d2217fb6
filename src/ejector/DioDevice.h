#pragma once
// The ejector's I/O card: at most one backend, chosen when the ejector is initialised, and every
// port call forwarded to it (the run-time loaded library's backend first).
//
// Threads: opened and closed by the host thread while no ejector thread runs; then the ejector
// thread and host threads (execCmd) write and read ports at once. No lock: the backends are not
// replaced while they are used.

#include <cstdint>
#include <memory>

#include "ejector/AdvantechDevice_adsapi.h"
#include "ejector/AdvantechDevice_bdaq.h"

class DioDevice {
 public:
  DioDevice() = default;
  ~DioDevice() { Close(); }
  DioDevice(const DioDevice&) = delete;
  DioDevice& operator=(const DioDevice&) = delete;

  bool OpenBioDaq(int deviceNumber, bool emulation = false);
  bool OpenAdsapi(int deviceNumber, bool emulation = false);
  bool Close();
  bool IsOpen() const { return (mBdaq != nullptr) != (mAdsapi != nullptr); }
  int GetPortCount() const;
  // Each true only when the backend returned exactly 0.
  bool WriteDio(int port, uint8_t value);
  bool ReadDio(int port, uint8_t& value);
  bool Read(int port, uint8_t& value);

 private:
  std::unique_ptr<AdvantechDevice_bdaq> mBdaq;
  std::unique_ptr<AdvantechDevice_adsapi> mAdsapi;
};
