#pragma once
// Which camera network the "BaslerGigE" transport layer serves. The virtual network only when it
// is asked for (KORVEX_CAMERAS names its cameras, or KORVEX_TRANSPORT=virtual): a production host
// must never receive synthetic images it did not ask for. Otherwise real GigE Vision cameras.

#include <cstdlib>
#include <cstring>

namespace Pylon {

enum class Network { Virtual, GigEVision };

inline Network ChosenNetwork() {
  const char* cameras = std::getenv("KORVEX_CAMERAS");
  const char* transport = std::getenv("KORVEX_TRANSPORT");
  if ((cameras != nullptr && *cameras != '\0') || (transport != nullptr && std::strcmp(transport, "virtual") == 0)) {
    return Network::Virtual;
  }
  return Network::GigEVision;
}

inline const char* NetworkName(Network network) {
  return network == Network::Virtual ? "the virtual camera network" : "GigE Vision cameras (Aravis)";
}

}  // namespace Pylon
