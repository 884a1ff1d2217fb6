#pragma once
// The driver's access layer for the run-time loaded card library: loads it on the first device
// open (and keeps it for the life of the process), shares opened devices process-wide by device
// number and access mode, and keeps one module per device, type and index.
//
// Threads: Open and Release take the table's lock (they run on host threads while no ejector
// thread uses the device); module handles are then used from any thread without it.

#include <cstdint>
#include <map>
#include <utility>

#include "biodaq/BioDaq.h"

namespace BDaq {

constexpr BDaqStatus kErrorLibraryNotLoaded = 0xE0000011;  // the library cannot be loaded
constexpr BDaqStatus kErrorNoObject = 0xE0000004;          // no object for that device or module
constexpr BDaqStatus kErrorNoHandle = 0xE0000000;          // the device has no handle

// A digital I/O module of an opened device.
class BDaqDio {
 public:
  explicit BDaqDio(BDaqHandle handle) : mHandle(handle) {}
  BDaqStatus PropertyRead(int32_t property, int32_t size, void* buffer);
  BDaqStatus DoWritePorts(int32_t port, int32_t count, uint8_t* values);
  BDaqStatus DoReadBackPorts(int32_t port, int32_t count, uint8_t* values);
  BDaqStatus DiReadPorts(int32_t port, int32_t count, uint8_t* values);

 private:
  BDaqHandle mHandle;
};

class BDaqDevice {
 public:
  // The device of this number and access mode, opened or shared (its count raised).
  static BDaqStatus Open(int32_t deviceNumber, int32_t accessMode, BDaqDevice** device);
  // Lowers the count; the last release closes the device and deletes it.
  void Release();
  // The module of this type and index, made once and kept by the device.
  BDaqStatus GetModule(int32_t moduleType, int32_t index, BDaqDio** module);
  int ReferenceCount() const { return mReferences; }

 private:
  BDaqDevice(uint32_t key, BDaqHandle handle) : mKey(key), mHandle(handle) {}
  ~BDaqDevice();

  const uint32_t mKey;
  BDaqHandle mHandle;
  int mReferences = 1;                                  // guarded by the table's lock
  std::map<std::pair<int32_t, int32_t>, BDaqDio*> mModules;  // guarded by the table's lock
};

}  // namespace BDaq
