// The transport layer factory: the one table of backends. A device class names a backend; the
// virtual network is the embedded default for "BaslerGigE".

#include <cstring>

#include "Device.h"

namespace Pylon {
namespace Virtual {
ITransportLayer* CreateVirtualTransportLayer();
}

CTlFactory& CTlFactory::GetInstance() {
  static CTlFactory factory;
  return factory;
}

ITransportLayer* CTlFactory::CreateTl(const GenICam::gcstring& deviceClass) {
  if (std::strcmp(deviceClass.c_str(), "BaslerGigE") == 0) return Virtual::CreateVirtualTransportLayer();
  return nullptr;
}

void CTlFactory::ReleaseTl(ITransportLayer* transportLayer) { delete transportLayer; }

}  // namespace Pylon
