// Line commands from another program: any text after "EjectorLine", against a live buffer and a
// current line taken from the input.

#include <cstddef>
#include <cstdint>
#include <string>

#include "ejector/Ejector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static Ejector* ejector = [] {
    Ejector* made = new Ejector();
    made->Buffer().Init(Ejector::kLines);
    return made;
  }();
  if (size < 2) return 0;
  ejector->SetCurrentLineValue((data[0] | data[1] << 8) % Ejector::kLines);
  const std::string text = "EjectorLine" + std::string(reinterpret_cast<const char*>(data + 2), size - 2);
  ejector->SetLine(text.c_str());
  EjectorCommand out{};
  ejector->Buffer().ReadCommand((data[0] | data[1] << 8) % Ejector::kLines, &out);
  return 0;
}
