#pragma once
// A picture of the screen as a PNG file, for the Windows window-system module and its tests.

#include <string>
#include <vector>

namespace ui {
namespace win32 {

// `rgb` holds height rows of width pixels, three bytes each, top row first. False when the file
// cannot be written.
bool WritePng(const std::string& path, const std::vector<unsigned char>& rgb, int width, int height);

// What the screen shows in that rectangle (screen pixels), written as a PNG file.
bool SaveScreenPicture(int left, int top, int width, int height, const std::string& path);

}  // namespace win32
}  // namespace ui
