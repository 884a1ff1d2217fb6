#pragma once
// The window-system interface under the configuration dialog: windows that receive numbered
// messages, the native controls the dialogs use, dialogs built from an in-memory template, and
// the platform's message box and movable memory. The driver's dialog classes are written against
// it; a toolkit module implements it on a desktop, a headless double in the unit tests.
//
// Threads: a toolkit and its windows are used from one user-interface thread only.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "os/DynamicLibrary.h"

namespace ui {

struct Point {
  int x = 0;
  int y = 0;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  bool operator==(const Rect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

// Red in the low byte, as the dialog's colours are stored.
struct Colour {
  uint32_t value = 0;
  int Red() const { return static_cast<int>(value & 0xFF); }
  int Green() const { return static_cast<int>((value >> 8) & 0xFF); }
  int Blue() const { return static_cast<int>((value >> 16) & 0xFF); }
  bool operator==(const Colour& o) const { return value == o.value; }
};
constexpr Colour Rgb(int red, int green, int blue) {
  return Colour{static_cast<uint32_t>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16))};
}

// A font as the dialogs ask for it: a face name (the toolkit falls back to the desktop's interface
// font when it has no such face) and a height in points.
struct Font {
  std::string face;
  int height = 0;      // points
  int tenths = 0;      // when set, the size in tenths of a point (8.5 points: 85), for the toolkit
  int weight = 400;
  bool italic = false;
  bool operator==(const Font& o) const {
    return face == o.face && height == o.height && tenths == o.tenths && weight == o.weight && italic == o.italic;
  }
};

struct DateTime {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool operator==(const DateTime& o) const {
    return year == o.year && month == o.month && day == o.day && hour == o.hour && minute == o.minute &&
           second == o.second;
  }
};

// Message numbers: the values of the window system the dialog was first written for, so that
// logs and tests read the same. Numbers from kUser on belong to the windows that define them.
// Mouse messages carry the point in lParam (x in the low 16 bits, y in the high, both signed).
namespace msg {
constexpr uint32_t kCreate = 0x0001;
constexpr uint32_t kDestroy = 0x0002;
constexpr uint32_t kSize = 0x0005;       // lParam: the client width and height as a point
constexpr uint32_t kSetFocus = 0x0007;
constexpr uint32_t kKillFocus = 0x0008;
constexpr uint32_t kPaint = 0x000F;      // lParam: the Surface to paint on
constexpr uint32_t kKeyDown = 0x0100;    // wParam: the virtual key code
constexpr uint32_t kChar = 0x0102;       // wParam: the character
constexpr uint32_t kInitDialog = 0x0110;
constexpr uint32_t kCommand = 0x0111;    // wParam: the control id in the low 16 bits
constexpr uint32_t kVScroll = 0x0115;    // wParam: the new position
constexpr uint32_t kMouseMove = 0x0200;
constexpr uint32_t kLButtonDown = 0x0201;
constexpr uint32_t kLButtonUp = 0x0202;
constexpr uint32_t kLButtonDblClk = 0x0203;
constexpr uint32_t kMouseWheel = 0x020A;  // wParam: the wheel delta (120 a notch, away from the user positive)
constexpr uint32_t kUser = 0x0400;
}  // namespace msg

inline intptr_t PackPoint(Point p) {
  return static_cast<intptr_t>((static_cast<uint32_t>(p.y & 0xFFFF) << 16) | static_cast<uint32_t>(p.x & 0xFFFF));
}
inline Point UnpackPoint(intptr_t lParam) {
  return Point{static_cast<int16_t>(lParam & 0xFFFF), static_cast<int16_t>((lParam >> 16) & 0xFFFF)};
}

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

enum class MessageIcon { kNone, kInformation, kExclamation, kError };

// Window styles the dialog code reads.
namespace style {
constexpr uint32_t kGroup = 0x00020000;
constexpr uint32_t kTabStop = 0x00010000;
constexpr uint32_t kVisible = 0x10000000;
constexpr uint32_t kChild = 0x40000000;
constexpr uint32_t kButtonTypeMask = 0x0000000F;
constexpr uint32_t kAutoCheckBox = 0x00000003;
constexpr uint32_t kAutoRadioButton = 0x00000009;
constexpr uint32_t kDateTimeTimeFormat = 0x00000009;
}  // namespace style

// How text is laid into its rectangle.
namespace text {
constexpr uint32_t kLeft = 0x0000;
constexpr uint32_t kCentre = 0x0001;
constexpr uint32_t kVCentre = 0x0004;
constexpr uint32_t kWordBreak = 0x0010;
constexpr uint32_t kSingleLine = 0x0020;   // line breaks in the text are not followed
constexpr uint32_t kPathEllipsis = 0x4000;  // a path too long loses its middle, never its file name
constexpr uint32_t kEndEllipsis = 0x8000;
}  // namespace text

// What a window paints on. Painting a window goes through an off-screen buffer of the same kind.
class Surface {
 public:
  virtual ~Surface() = default;
  virtual void FillRect(const Rect& rect, Colour colour) = 0;
  virtual void FrameRect(const Rect& rect, Colour colour) = 0;
  virtual void Line(Point from, Point to, Colour colour) = 0;
  virtual void SetFont(const Font& font) = 0;
  virtual void DrawText(const Rect& rect, const std::string& text, Colour colour, uint32_t flags) = 0;
  // The width and height of the text in the current font.
  virtual Point TextExtent(const std::string& text) = 0;
  virtual void FocusRect(const Rect& rect) = 0;
  virtual void PushButton(const Rect& rect, bool pressed) = 0;
  virtual void DropArrow(const Rect& rect, bool pressed) = 0;
  // An off-screen surface of that size, and its copy onto this one.
  virtual std::unique_ptr<Surface> CreateBuffer(int width, int height) = 0;
  virtual void Blit(Surface& buffer, Point at) = 0;
};

// The system's colours and metrics the grid takes its defaults from.
struct SystemLook {
  Colour windowText = Rgb(0, 0, 0);
  Colour window = Rgb(255, 255, 255);
  Colour buttonFace = Rgb(240, 240, 240);
  Colour highlight = Rgb(0, 120, 215);
  Colour highlightText = Rgb(255, 255, 255);
  Colour grayText = Rgb(109, 109, 109);
  int scrollBarWidth = 16;
};

class Window;

// What one of our windows does with its messages: the dialogs, the grid and its editors.
class MessageHandler {
 public:
  virtual ~MessageHandler() = default;
  virtual intptr_t OnMessage(Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};

// A window: a dialog, one of its controls, or a window of ours.
class Window {
 public:
  virtual ~Window() = default;

  virtual int GetId() const = 0;
  virtual Window* GetParent() const = 0;
  // The child with this control id, or null.
  virtual Window* GetDlgItem(int id) const = 0;
  // The next child of the same parent in creation order, or null.
  virtual Window* GetNextSibling() const = 0;
  virtual uint32_t GetStyle() const = 0;

  virtual std::string GetText() const = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual Rect GetClientRect() const = 0;
  // Where the window is: in its parent's client area, or on the screen for a top-level window.
  virtual Rect GetWindowRect() const = 0;
  // Moves and sizes the window (pixels, in the parent's client area); the z-order stays.
  virtual bool SetWindowPos(const Rect& rect) = 0;
  // Sizes a window so that its client area is this large (a dialog around its frame).
  virtual void SetClientSize(int width, int height) = 0;
  virtual void ShowWindow(bool show) = 0;
  virtual bool IsVisible() const = 0;
  virtual void EnableWindow(bool enable) = 0;
  virtual bool IsEnabled() const = 0;
  virtual void CenterWindow() = 0;
  // Null while the window has no font of its own.
  virtual const Font* GetFont() const = 0;
  virtual void SetFont(const Font& font) = 0;

  virtual intptr_t SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
  // A modal dialog ends with this result once its handler returns.
  virtual void EndDialog(int result) = 0;
  virtual void DestroyWindow() = 0;

  // Control values: button check state, scroll bar and slider positions, date and time pickers
  // and calendars.
  virtual int GetCheck() const = 0;
  virtual void SetCheck(int state) = 0;
  virtual int GetScrollPos() const = 0;
  virtual void SetScrollPos(int position) = 0;
  virtual int GetSliderPos() const = 0;
  virtual void SetSliderPos(int position) = 0;
  virtual DateTime GetDateTime() const = 0;
  virtual void SetDateTime(const DateTime& value) = 0;

  // Windows of ours: repaint, the vertical scroll bar, the west-east sizing cursor, the mouse and
  // the keyboard focus.
  virtual void Invalidate() = 0;
  // Paints what is invalid now, before returning.
  virtual void UpdateNow() = 0;
  virtual void SetVScroll(bool visible, int range, int page, int position) = 0;
  virtual void SetSizingCursor(bool on) = 0;
  virtual void CaptureMouse(bool on) = 0;
  virtual void SetFocus() = 0;
};

// The window system.
class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // Movable memory, as dialog templates are handed over in: null on failure.
  virtual void* AllocMovable(std::size_t size) = 0;
  virtual void* LockMovable(void* memory) = 0;
  virtual void FreeMovable(void* memory) = 0;

  // An empty caption is the product's name.
  virtual void MessageBox(Window* owner, const std::string& text, const std::string& caption = "",
                          MessageIcon icon = MessageIcon::kNone) = 0;
  // The application's main window, or null.
  virtual Window* GetMainWindow() = 0;
  // A window of the host given by its handle on this window system (an X11 window number), for
  // dialogs to stay above; null for 0 or a window that does not exist.
  virtual Window* HostWindow(uintptr_t handle) = 0;

  // A dialog from the template (the layout of the platform's in-memory dialog templates); the
  // handler receives its messages, kCreate and kInitDialog first. Modal: runs it and answers the
  // result given to EndDialog, or -1 when it cannot be made. Modeless: 1 when it was made, else 0.
  // A template with the child style makes a modeless child of `parent` (a property page).
  virtual intptr_t DialogFromTemplate(const void* dialogTemplate, std::size_t size, Window* parent,
                                      MessageHandler& handler, bool modal) = 0;
  // A native control of one of the supported classes; null on failure.
  virtual Window* CreateControl(const std::string& className, const std::string& caption, uint32_t style,
                                uint32_t exStyle, const Rect& rect, Window* parent, int id) = 0;
  // A new tab on a tab control ("SysTabControl32") and the window its page lives in; the control
  // grows so that a page of `pageSize` pixels fits.
  virtual Window* AddTabPage(Window& tabControl, const std::string& label, Point pageSize) = 0;
  // Dialog units to pixels by the dialog font's average character size.
  virtual Rect MapDialogRect(const Window& dialog, const Rect& units) = 0;
  // A child window of ours whose messages go to the handler (kCreate first, kPaint with a Surface).
  virtual Window* CreateCustomWindow(Window* parent, const Rect& rect, int id, MessageHandler& handler) = 0;
  virtual SystemLook GetSystemLook() = 0;
  // Screen position of a point in a window's client area (popups are placed by it).
  virtual Point ClientToScreen(const Window& window, Point point) = 0;

  // The editors of our windows. HookControl sends a native control's key presses (kKeyDown,
  // lParam 1 with Ctrl held; a nonzero answer keeps the key from the control) and its focus loss
  // (kKillFocus) to the handler first.
  virtual void HookControl(Window& control, MessageHandler& handler) = 0;
  // A popup list at `screen` (its top-left; one row of `rowHeight` an entry): the handler receives
  // kCommand with the chosen index, or kDestroy when it closes without a choice.
  virtual Window* CreatePopupList(Window& owner, const Rect& screen, const std::vector<std::string>& entries,
                                  int selected, MessageHandler& handler) = 0;
  // A popup month calendar whose right edge is `screen`'s: kCommand with the chosen date, read
  // back through the popup's GetDateTime, or kDestroy when it closes without one.
  virtual Window* CreatePopupCalendar(Window& owner, const Rect& screen, const DateTime& date,
                                      MessageHandler& handler) = 0;
  // The platform's common dialogs; false when the user cancels.
  virtual bool FileOpenDialog(Window* owner, const std::string& filter, std::string& path) = 0;
  virtual bool FolderDialog(Window* owner, const std::string& title, std::string& path) = 0;
  virtual bool ColourDialog(Window* owner, Colour& colour) = 0;
  virtual bool FontDialog(Window* owner, Font& font) = 0;
  // The window as it is on the screen, written as a PNG file.
  virtual bool SaveScreenshot(Window& window, const std::string& pngPath) = 0;
};

// The toolkit the dialogs use: the one installed on this thread (by CallUi, or by a test); null
// otherwise.
Toolkit* GetToolkit();
void SetToolkit(Toolkit* toolkit);

// A window-system module: its toolkit, and the one thread that may use it.
class UiModule {
 public:
  virtual ~UiModule() = default;
  // Runs `work` with the toolkit on the user-interface thread, and returns once it is done; false,
  // without running it, when there is no display to show windows on.
  virtual bool Call(const std::function<void(Toolkit&)>& work) = 0;
  // Ends the user-interface thread if the module started one; a later Call starts it again.
  virtual void Shutdown() = 0;
};

// The module's one export.
extern "C" {
typedef UiModule* (*UiModuleEntry)();
}
constexpr const char* kUiModuleEntry = "KorvexUiModule";
constexpr const char* kUiModuleFile = KORVEX_LIBRARY_FILE("KorvexEjectorUi");

// Loads the module on first use: KORVEX_UI_MODULE names the file, else it is looked for beside the
// library that holds this code, then on the library path. Null (and a reason) when it cannot be
// loaded; a machine without it runs everything but the dialogs.
UiModule* LoadUiModule(std::string* why = nullptr);
// A module to use in place of the one LoadUiModule would load (null: load again); for tests.
void InstallUiModule(UiModule* module);
// Runs `work` on the module's user-interface thread with its toolkit installed for GetToolkit.
bool CallUi(UiModule& module, const std::function<void()>& work);
// Shuts the module's thread down (the module stays loaded: toolkits do not survive an unload).
void ShutdownUiModule();

}  // namespace ui
