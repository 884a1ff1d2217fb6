// The virtual cards' description file (KORVEX_DAQ), read through the .ini layer: any bytes, in
// memory, so that no file is written per input.

#include <cstddef>
#include <cstdint>
#include <string>

#include "card/VirtualCard.h"
#include "os/PrivateProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const os::ProfileText text(std::string(reinterpret_cast<const char*>(data), size));
  // A fuzzed Trace key would write files anywhere; traces are not what is under test here.
  daq::ReadCards(text, "fuzz", false);
  return 0;
}
