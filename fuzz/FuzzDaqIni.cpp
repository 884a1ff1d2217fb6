// The virtual cards' description file (KORVEX_DAQ), read through the .ini layer: any bytes.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "card/VirtualCard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const std::string file = "/tmp/korvex-fuzz-daq-" + std::to_string(getpid()) + ".ini";
  if (std::FILE* out = std::fopen(file.c_str(), "wb")) {
    std::fwrite(data, 1, size, out);
    std::fclose(out);
  }
  // A fuzzed Trace key would write files anywhere; traces are not what is under test here.
  for (auto& card : daq::ReadCards(file)) card->SetTrace("");
  return 0;
}
