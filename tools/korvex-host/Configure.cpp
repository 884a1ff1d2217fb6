#include "Configure.h"

#include <cstdio>
#include <map>
#include <thread>
#include <vector>

#include "os/PrivateProfile.h"

#ifdef KORVEX_HOST_XINPUT
#include "ui/xtest/XInput.h"
#endif

namespace host {

namespace {

using IniFile = std::map<std::string, std::string>;  // "[section] key" -> value

IniFile ReadIni(const std::string& path) {
  IniFile entries;
  for (const std::string& section : os::GetPrivateProfileSectionNames(path.c_str())) {
    for (const auto& [key, value] : os::GetPrivateProfileSection(section.c_str(), path.c_str())) {
      entries["[" + section + "] " + key] = value;
    }
  }
  return entries;
}

#ifdef KORVEX_HOST_XINPUT
// Waits for the dialog, writes its picture and cancels it; false when it never showed.
bool PictureAndCancel(const std::string& title, const std::string& png) {
  ui::xtest::XInput input;
  ui::xtest::ScreenRect rect;
  if (!input.IsOpen() || !input.WaitForWindow(title, 30000, &rect)) return false;
  std::this_thread::sleep_for(std::chrono::milliseconds(700));  // mapped first, painted a moment later
  // Down the grid to its fifth row, the image's overlap: a parameter with a range and a description.
  for (int i = 0; i < 5; ++i) input.Key("Down");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  input.WaitForWindow(title, 1000, &rect);
  std::vector<unsigned char> rgb;
  const bool written = input.Capture(rect, rgb) && WritePng(png, rgb, rect.width, rect.height, true);
  input.Key("Escape");
  return written;
}
#endif

}  // namespace

int RunConfigure(DriverApi& api, const ConfigureOptions& options) {
  constexpr int kPort = 0;
  int size[2] = {0, 0};
  if (api.openCVLPort(0, kPort, options.camera.c_str(), size) != 1) {
    std::fprintf(stderr, "korvex-host: cannot open %s (see the log)\n", options.camera.c_str());
    return 2;
  }
  const std::string ini = options.systemPath + "/Korvex.ini";
  const IniFile before = ReadIni(ini);
  std::thread picture;
  bool pictured = false;
  if (!options.screenshot.empty()) {
#ifdef KORVEX_HOST_XINPUT
    const std::string title = "Configure camera on port #" + std::to_string(kPort + 1) + ": " + options.camera;
    picture = std::thread([title, &pictured, &options] { pictured = PictureAndCancel(title, options.screenshot); });
#else
    std::fprintf(stderr, "korvex-host: built without X11 input, no screenshot\n");
#endif
  }
  std::printf("configure: opening the dialog for %s\n", options.camera.c_str());
  std::fflush(stdout);
  const int answer = api.configureCamera(options.parent, options.camera.c_str());
  if (picture.joinable()) picture.join();
  api.closeCVLPort(0, kPort);
  if (!options.screenshot.empty()) {
    if (!pictured) {
      std::fprintf(stderr, "korvex-host: no picture of the dialog was taken\n");
      return 1;
    }
    std::printf("configure: picture of the dialog in %s (the dialog was cancelled)\n", options.screenshot.c_str());
    return 0;
  }
  if (answer != 0) {
    std::printf("configure: cancelled or not shown (see the log), nothing stored\n");
    return 1;
  }
  const IniFile after = ReadIni(ini);
  int changed = 0;
  for (const auto& [key, value] : after) {
    const auto old = before.find(key);
    if (old != before.end() && old->second == value) continue;
    std::printf("stored: %s=%s\n", key.c_str(), value.c_str());
    ++changed;
  }
  std::printf("configure: confirmed, %d setting%s new or changed in %s\n", changed, changed == 1 ? "" : "s", ini.c_str());
  return 0;
}

}  // namespace host
