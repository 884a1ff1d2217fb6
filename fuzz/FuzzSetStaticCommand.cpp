// The static command from another program: any text after "EjectorStaticCommand".

#include <cstddef>
#include <cstdint>
#include <string>

#include "ejector/Ejector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static Ejector ejector;
  const std::string text = "EjectorStaticCommand" + std::string(reinterpret_cast<const char*>(data), size);
  ejector.SetStaticCommand(text.c_str());
  // Parsing a bare command must stay inside the text whatever its length.
  EjectorCommand command{};
  Ejector::ParseCommand(text.c_str() + 20, &command);
  return 0;
}
