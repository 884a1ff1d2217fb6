// The host stand-in: loads the driver as a host application does, with the run-time loader, and
// uses nothing but the nineteen exports.
//
//   korvex-host [--library FILE] [--system-path DIR]

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "KorvexEjector.h"
#include "os/DynamicLibrary.h"

namespace {

struct DriverApi {
  decltype(&::initialize) initialize = nullptr;
  decltype(&::finalize) finalize = nullptr;
  decltype(&::getCVLCameraConfigNames) getCVLCameraConfigNames = nullptr;
  decltype(&::getCVLMaxNoOfGrabbers) getCVLMaxNoOfGrabbers = nullptr;
  decltype(&::getCVLMaxNoOfPorts) getCVLMaxNoOfPorts = nullptr;
  decltype(&::getCVLNoOfSupportedCameras) getCVLNoOfSupportedCameras = nullptr;
};

template <typename F>
bool Resolve(const os::DynamicLibrary& library, const char* name, F& function) {
  function = reinterpret_cast<F>(library.Symbol(name));
  if (function == nullptr) std::fprintf(stderr, "korvex-host: the driver has no export %s\n", name);
  return function != nullptr;
}

// The driver calls this twice per line: the time stamp, then the message with its line feed.
void PrintLogText(const char* text) { std::fputs(text, stdout); }

}  // namespace

int main(int argc, char** argv) {
  std::string libraryPath = KORVEX_DEFAULT_LIBRARY;
  std::string systemPath = KORVEX_DEFAULT_SYSTEM_PATH;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--library") == 0) {
      libraryPath = argv[i + 1];
    } else if (std::strcmp(argv[i], "--system-path") == 0) {
      systemPath = argv[i + 1];
    } else {
      std::fprintf(stderr, "usage: korvex-host [--library FILE] [--system-path DIR]\n");
      return 2;
    }
  }

  os::DynamicLibrary library;
  if (!library.Open(libraryPath)) {
    std::fprintf(stderr, "korvex-host: cannot load %s: %s\n", libraryPath.c_str(), library.Error().c_str());
    return 1;
  }
  DriverApi api;
  if (!Resolve(library, "initialize", api.initialize) || !Resolve(library, "finalize", api.finalize) ||
      !Resolve(library, "getCVLCameraConfigNames", api.getCVLCameraConfigNames) ||
      !Resolve(library, "getCVLMaxNoOfGrabbers", api.getCVLMaxNoOfGrabbers) ||
      !Resolve(library, "getCVLMaxNoOfPorts", api.getCVLMaxNoOfPorts) ||
      !Resolve(library, "getCVLNoOfSupportedCameras", api.getCVLNoOfSupportedCameras)) {
    return 1;
  }

  std::error_code ignored;
  std::filesystem::create_directories(systemPath, ignored);
  std::printf("korvex-host: driver %s, system path %s\n", libraryPath.c_str(), systemPath.c_str());

  if (api.initialize(systemPath.c_str(), &PrintLogText) != 1) {
    std::fprintf(stderr, "korvex-host: initialize failed\n");
    return 1;
  }
  std::printf("grabbers: %d\n", api.getCVLMaxNoOfGrabbers());
  std::printf("ports: %d\n", api.getCVLMaxNoOfPorts());
  std::printf("supported cameras: %d\n", api.getCVLNoOfSupportedCameras());
  char** names = api.getCVLCameraConfigNames();
  for (int i = 0; names != nullptr && names[i] != nullptr; ++i) std::printf("  camera %d: %s\n", i, names[i]);

  const int finalized = api.finalize();
  std::printf("korvex-host: done\n");
  return finalized == 1 ? 0 : 1;
}
