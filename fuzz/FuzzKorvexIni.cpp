// The driver's configuration file (Korvex.ini) as a camera's settings load it: any bytes, for a
// monochrome and a colour camera, then the whole set checked and some values read back as text.

#include <cstddef>
#include <cstdint>
#include <string>

#include "camera/CameraDescriptor.h"
#include "os/PrivateProfile.h"
#include "parameters/CameraParameters.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const os::ProfileText text(std::string(reinterpret_cast<const char*>(data), size));
  for (int kind : {CameraDescriptor::kMonochrome, CameraDescriptor::kColour}) {
    CameraDescriptor descriptor;
    descriptor.kindFlags = kind | CameraDescriptor::kListed;
    descriptor.name = "Mono";
    CameraParameters parameters(descriptor);
    parameters.Load(text);
    std::string message;
    parameters.Validate(message);
    for (const char* name : {"Width", "Height", "LogLevel", "AdvantechLibrary", "LUTtable", "EjectorStaticCommand"}) {
      parameters.WithParameter(name, [](Param_& p) { return p.get_string(); });
    }
    parameters.GetMaxLines();
    parameters.GetBufferLines();
  }
  return 0;
}
