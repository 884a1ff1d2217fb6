#pragma once
// What the camera list knows of a camera when it creates it; kept by the camera and its parameter set.

#include <string>

struct CameraDescriptor {
  // Kind flags.
  static constexpr int kMonochrome = 1;
  static constexpr int kColour = 2;
  static constexpr int kListed = 16;  // set for every camera the list creates

  int kindFlags = 0;
  std::string name;  // the friendly name: the host's name for the camera and its .ini section
};
