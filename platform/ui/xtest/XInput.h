#pragma once
// Real input through the X server, for the tests that drive the toolkit module under Xvfb: find a
// window by its title, move the pointer, click, press keys and type. Its own connection to the
// display, used from the one test thread that opened it.

#include <string>
#include <vector>

namespace ui {
namespace xtest {

struct ScreenRect {
  int x = 0, y = 0, width = 0, height = 0;
};

class XInput {
 public:
  XInput();
  ~XInput();
  XInput(const XInput&) = delete;
  XInput& operator=(const XInput&) = delete;

  // False when there is no display or it has no XTEST extension.
  bool IsOpen() const { return mDisplay != nullptr; }
  // Waits until a mapped window titled `title` exists; its place on the screen.
  bool WaitForWindow(const std::string& title, int timeoutMs, ScreenRect* rect);
  void MoveTo(int x, int y);
  void Click(int x, int y);
  // The wheel turned by `notches` over (x, y): positive turns it towards the user (scrolls down).
  void Wheel(int x, int y, int notches);
  // A key by its X name ("Return", "Tab", "space", "Escape"), and ASCII text key by key.
  void Key(const char* name);
  void Type(const std::string& text);
  // Whether any pixel of the root window within `rect` differs from the first one.
  bool HasContent(const ScreenRect& rect);
  // A mapped top-level window of this title, as a host's main window; its X11 window number.
  unsigned long CreateWindow(const std::string& title);
  // The window that the window titled `title` stays above (its transient-for hint), or 0.
  unsigned long TransientFor(const std::string& title);
  // The pixels of the screen within `rect`, three bytes (red, green, blue) each, row after row.
  bool Capture(const ScreenRect& rect, std::vector<unsigned char>& rgb);

 private:
  void* mDisplay = nullptr;
};

}  // namespace xtest
}  // namespace ui
