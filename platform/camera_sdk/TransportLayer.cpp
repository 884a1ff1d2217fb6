// The transport layer factory: the one table of backends. "BaslerGigE" is served by the virtual
// network or, in a module loaded on first use, by real GigE Vision cameras through Aravis.

#include <cstdio>
#include <cstring>
#include <mutex>

#include "Device.h"
#include "Network.h"
#include "os/DynamicLibrary.h"
#include "os/Path.h"

namespace Pylon {
namespace Virtual {
ITransportLayer* CreateVirtualTransportLayer();
}

namespace {

// The Aravis module beside this library, loaded once and kept: GLib's types cannot be registered
// twice in one process, so it stays until the process ends.
ITransportLayer* CreateGigEVisionTransportLayer() {
#if defined(_WIN32)
  // Real cameras on Windows come through a vendor's SDK, which this build does not have.
  std::fprintf(stderr, "camera SDK: this Windows build reaches no GigE Vision camera; KORVEX_TRANSPORT=virtual "
                       "selects the virtual network\n");
  return nullptr;
#else
  static std::mutex lock;
  static os::DynamicLibrary module;
  static ITransportLayer* (*create)() = nullptr;
  std::lock_guard<std::mutex> guard(lock);
  if (create == nullptr) {
    const std::string path = os::JoinPath(
        os::ModuleDirectory(reinterpret_cast<const void*>(&CreateGigEVisionTransportLayer)),
        KORVEX_LIBRARY_FILE("KorvexCameraSdkAravis"));
    if (!module.Open(path, true)) {
      std::fprintf(stderr, "camera SDK: the GigE Vision backend %s cannot be loaded: %s\n", path.c_str(),
                   module.Error().c_str());
      return nullptr;
    }
    create = reinterpret_cast<ITransportLayer* (*)()>(module.Symbol("KorvexCreateAravisTransportLayer"));
    if (create == nullptr) {
      std::fprintf(stderr, "camera SDK: %s is not the GigE Vision backend\n", path.c_str());
      return nullptr;
    }
  }
  return create();
#endif
}

}  // namespace

CTlFactory& CTlFactory::GetInstance() {
  static CTlFactory factory;
  return factory;
}

ITransportLayer* CTlFactory::CreateTl(const GenICam::gcstring& deviceClass) {
  if (std::strcmp(deviceClass.c_str(), "BaslerGigE") != 0) return nullptr;
  return ChosenNetwork() == Network::Virtual ? Virtual::CreateVirtualTransportLayer() : CreateGigEVisionTransportLayer();
}

void CTlFactory::ReleaseTl(ITransportLayer* transportLayer) { delete transportLayer; }

}  // namespace Pylon
