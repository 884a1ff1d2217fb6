#pragma once
// The run-time loaded card library, as far as the driver uses it: devices opened by number, their
// digital I/O module, one property (81: the number of digital output ports) and port transfers.
// Statuses from 0xE0000000 up are errors; lower nonzero values are warnings. Calls are safe from
// several threads on one module. The driver never links this header's functions: it looks them up
// by name, through the pointer types below.

#include <cstdint>

#include "card/DaqExport.h"

using BDaqStatus = uint32_t;
using BDaqHandle = void*;

constexpr BDaqStatus kBDaqSuccess = 0;
constexpr BDaqStatus kBDaqHandleNotValid = 0xE0000000;
constexpr BDaqStatus kBDaqParamOutOfRange = 0xE0000001;
constexpr BDaqStatus kBDaqDeviceNotExist = 0xE0000005;
constexpr BDaqStatus kBDaqPropertyNotSupported = 0xE0000019;
constexpr BDaqStatus kBDaqWriteFailed = 0xE0000030;

constexpr int32_t kBDaqModuleDio = 5;
constexpr int32_t kBDaqPropertyDoPortCount = 81;

using AdxDeviceOpen_t = BDaqStatus (*)(int32_t deviceNumber, int32_t accessMode, BDaqHandle* device);
using AdxDeviceGetModuleHandle_t = BDaqStatus (*)(BDaqHandle device, int32_t moduleType, int32_t index,
                                                  BDaqHandle* module);
using AdxDeviceClose_t = BDaqStatus (*)(BDaqHandle device);
using AdxPropertyRead_t = BDaqStatus (*)(BDaqHandle module, int32_t property, int32_t size, void* buffer,
                                         void* reserved1, void* reserved2);
using AdxPortTransfer_t = BDaqStatus (*)(BDaqHandle module, int32_t port, int32_t count, uint8_t* values);

KORVEX_DAQ_API BDaqStatus AdxDeviceOpen(int32_t deviceNumber, int32_t accessMode, BDaqHandle* device);
KORVEX_DAQ_API BDaqStatus AdxDeviceGetModuleHandle(BDaqHandle device, int32_t moduleType, int32_t index,
                                                   BDaqHandle* module);
KORVEX_DAQ_API BDaqStatus AdxDeviceClose(BDaqHandle device);
KORVEX_DAQ_API BDaqStatus AdxPropertyRead(BDaqHandle module, int32_t property, int32_t size, void* buffer,
                                          void* reserved1, void* reserved2);
KORVEX_DAQ_API BDaqStatus AdxDoWritePorts(BDaqHandle module, int32_t port, int32_t count, uint8_t* values);
KORVEX_DAQ_API BDaqStatus AdxDoReadBackPorts(BDaqHandle module, int32_t port, int32_t count, uint8_t* values);
KORVEX_DAQ_API BDaqStatus AdxDiReadPorts(BDaqHandle module, int32_t port, int32_t count, uint8_t* values);
