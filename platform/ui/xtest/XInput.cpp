#include "XInput.h"

#include <X11/Xlib.h>
#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace ui {
namespace xtest {

namespace {

Display* D(void* display) { return static_cast<Display*>(display); }

// The mapped window of that title under `window`, depth first.
Window Find(Display* display, Window window, const std::string& title) {
  char* name = nullptr;
  if (XFetchName(display, window, &name) != 0 && name != nullptr) {
    const bool match = title == name;
    XFree(name);
    XWindowAttributes attributes;
    if (match && XGetWindowAttributes(display, window, &attributes) != 0 && attributes.map_state == IsViewable) {
      return window;
    }
  }
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  Window found = 0;
  if (XQueryTree(display, window, &root, &parent, &children, &count) != 0) {
    for (unsigned int i = 0; i < count && found == 0; ++i) found = Find(display, children[i], title);
    if (children != nullptr) XFree(children);
  }
  return found;
}

void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }

// A key pressed and let go, and the time the client takes to see it.
void Press(Display* display, KeyCode code) {
  XTestFakeKeyEvent(display, code, True, CurrentTime);
  XTestFakeKeyEvent(display, code, False, CurrentTime);
  XFlush(display);
  Pause();
}

}  // namespace

XInput::XInput() {
  Display* display = XOpenDisplay(nullptr);
  int event = 0, error = 0, major = 0, minor = 0;
  if (display != nullptr && !XTestQueryExtension(display, &event, &error, &major, &minor)) {
    XCloseDisplay(display);
    display = nullptr;
  }
  mDisplay = display;
}

XInput::~XInput() {
  if (mDisplay != nullptr) XCloseDisplay(D(mDisplay));
}

bool XInput::WaitForWindow(const std::string& title, int timeoutMs, ScreenRect* rect) {
  if (mDisplay == nullptr) return false;
  Display* display = D(mDisplay);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    const Window window = Find(display, DefaultRootWindow(display), title);
    XWindowAttributes attributes;
    if (window != 0 && XGetWindowAttributes(display, window, &attributes) != 0) {
      int x = 0, y = 0;
      Window child = 0;
      XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
      if (rect != nullptr) *rect = ScreenRect{x, y, attributes.width, attributes.height};
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

void XInput::MoveTo(int x, int y) {
  XTestFakeMotionEvent(D(mDisplay), -1, x, y, CurrentTime);
  XFlush(D(mDisplay));
  Pause();
}

void XInput::Click(int x, int y) {
  MoveTo(x, y);
  XTestFakeButtonEvent(D(mDisplay), 1, True, CurrentTime);
  XTestFakeButtonEvent(D(mDisplay), 1, False, CurrentTime);
  XFlush(D(mDisplay));
  Pause();
}

void XInput::Wheel(int x, int y, int notches) {
  MoveTo(x, y);
  const unsigned button = notches > 0 ? 5 : 4;  // X's wheel buttons: 4 up, 5 down
  for (int i = 0; i < (notches > 0 ? notches : -notches); ++i) {
    XTestFakeButtonEvent(D(mDisplay), button, True, CurrentTime);
    XTestFakeButtonEvent(D(mDisplay), button, False, CurrentTime);
  }
  XFlush(D(mDisplay));
  Pause();
}

void XInput::Key(const char* name) {
  Press(D(mDisplay), XKeysymToKeycode(D(mDisplay), XStringToKeysym(name)));
}

void XInput::Type(const std::string& text) {
  Display* display = D(mDisplay);
  int lowest = 0, highest = 0;
  XDisplayKeycodes(display, &lowest, &highest);
  for (std::size_t i = 0; i < text.size();) {
    // The character (UTF-8) and its keysym: Latin-1 keysyms are the code points, others are marked.
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : 4;
    unsigned long point = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (std::size_t k = 1; k < length && i + k < text.size(); ++k) point = (point << 6) | (text[i + k] & 0x3F);
    i += length;
    const KeySym symbol = point < 0x100 ? point : 0x01000000 | point;
    KeyCode code = XKeysymToKeycode(display, symbol);
    if (code == 0 || XkbKeycodeToKeysym(display, code, 0, 0) != symbol) {
      // Not on a key without Shift: the highest key code (free on a virtual server) gets it.
      KeySym both[2] = {symbol, symbol};
      code = static_cast<KeyCode>(highest);
      XChangeKeyboardMapping(display, code, 2, both, 1);
      XSync(display, False);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the clients take up the new map
    }
    Press(display, code);
  }
}

bool XInput::HasContent(const ScreenRect& rect) {
  XImage* image = XGetImage(D(mDisplay), DefaultRootWindow(D(mDisplay)), rect.x, rect.y,
                            static_cast<unsigned>(rect.width), static_cast<unsigned>(rect.height), AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  const unsigned long first = XGetPixel(image, 0, 0);
  bool differs = false;
  for (int y = 0; y < rect.height && !differs; ++y) {
    for (int x = 0; x < rect.width && !differs; ++x) differs = XGetPixel(image, x, y) != first;
  }
  XDestroyImage(image);
  return differs;
}

unsigned long XInput::CreateWindow(const std::string& title) {
  if (mDisplay == nullptr) return 0;
  Display* display = D(mDisplay);
  const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 200, 100, 0, 0, 0);
  XStoreName(display, window, title.c_str());
  XMapWindow(display, window);
  XSync(display, False);
  return window;
}

unsigned long XInput::TransientFor(const std::string& title) {
  if (mDisplay == nullptr) return 0;
  Display* display = D(mDisplay);
  const Window window = Find(display, DefaultRootWindow(display), title);
  Window owner = 0;
  if (window == 0 || XGetTransientForHint(display, window, &owner) == 0) return 0;
  return owner;
}

bool XInput::Capture(const ScreenRect& rect, std::vector<unsigned char>& rgb) {
  if (mDisplay == nullptr || rect.width <= 0 || rect.height <= 0) return false;
  XImage* image = XGetImage(D(mDisplay), DefaultRootWindow(D(mDisplay)), rect.x, rect.y,
                            static_cast<unsigned>(rect.width), static_cast<unsigned>(rect.height), AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  if (image->red_mask == 0 || image->green_mask == 0 || image->blue_mask == 0) {  // not a true-colour screen
    XDestroyImage(image);
    return false;
  }
  rgb.resize(static_cast<std::size_t>(rect.width) * rect.height * 3);
  unsigned char* out = rgb.data();
  for (int y = 0; y < rect.height; ++y) {
    for (int x = 0; x < rect.width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      *out++ = static_cast<unsigned char>((pixel & image->red_mask) >> __builtin_ctzl(image->red_mask));
      *out++ = static_cast<unsigned char>((pixel & image->green_mask) >> __builtin_ctzl(image->green_mask));
      *out++ = static_cast<unsigned char>((pixel & image->blue_mask) >> __builtin_ctzl(image->blue_mask));
    }
  }
  XDestroyImage(image);
  return true;
}

}  // namespace xtest
}  // namespace ui
