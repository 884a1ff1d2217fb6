// The host's I/O commands from another program: any command name and argument text, and any
// result buffer size, on a camera that drives the ejector on the virtual card.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "KorvexEjector.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "korvex-fuzz-execcmd";
  std::filesystem::create_directories(directory);
  std::ofstream(directory / "network.ini") << "[mono]\nFullName=Basler raL2048-48gm#1\nFriendlyName=Mono\n"
                                           << "Pattern=none\nFreeRunning=0\n";
  std::ofstream(directory / "Korvex.ini") << "[Mono]\nWidth=16\nHeight=2\nLineGrabbingMode=1\n"
                                          << "LineCounterResolution=2\nEjectorControl=1\n";
  setenv("KORVEX_CAMERAS", (directory / "network.ini").c_str(), 1);
  initialize(directory.c_str(), nullptr);
  int size[2];
  return openCVLPort(0, 0, "Mono", size) == 1 ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // First byte: the result buffer size the host claims (up to the buffer's real size); then the
  // command name up to a line feed, then the arguments.
  const int resultSize = data[0] % 40;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t split = text.find('\n');
  const std::string command = text.substr(0, split);
  const std::string arguments = split == std::string::npos ? std::string() : text.substr(split + 1);
  char result[40];
  execCmd(0, 0, command.c_str(), arguments.c_str(), result, resultSize);
  return 0;
}
