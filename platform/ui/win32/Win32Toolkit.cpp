// The window system on plain Win32: the module the driver loads on its first dialog on Windows.
// Dialogs come from in-memory templates through the dialog manager, the controls are the system's
// and the common controls', and the grid paints through GDI.
//
// Threads: a Win32 window belongs to the thread that made it. A Windows host calls configureCamera
// on its own user-interface thread, as for any modal dialog, and the dialog runs on that thread.
// mSerial lets one call in at a time (a call from inside another, on the same thread, runs at
// once), so the toolkit's state — the window wrappers, the fonts, the window being made — is only
// ever touched by the one thread inside a call.

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include "ScreenPicture.h"
#include "ui/DialogTemplate.h"
#include "ui/Ui.h"

// After the interface: the system's headers name its A and W functions by macros that would
// rename the interface's methods of the same names.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
#undef DrawText
#undef MessageBox
#undef SendMessage

namespace ui {
namespace win32 {

namespace {

HINSTANCE gInstance = nullptr;  // this module's, which owns our window classes

constexpr const char* kCustomClass = "KorvexWindow";
constexpr const char* kPopupClass = "KorvexPopup";
constexpr const char* kPageClass = "KorvexTabPage";
// A control goes once its messages are done: posted to itself, so that it is never destroyed
// from inside its own message (an editor closing on its Enter key).
constexpr UINT kDeferredDestroy = WM_APP + 1;
constexpr UINT_PTR kSubclassId = 1;

// ---- fonts ------------------------------------------------------------------------------------

// Fonts by what they are, made once and kept for the life of the process: windows and buffers
// that still hold one never see it deleted.
HFONT FontHandle(const Font& font) {
  static std::map<std::tuple<std::string, int, int, bool>, HFONT> made;
  const int tenths = font.tenths > 0 ? font.tenths : (font.height > 0 ? font.height : 8) * 10;
  const auto key = std::make_tuple(font.face, tenths, font.weight, font.italic);
  const auto found = made.find(key);
  if (found != made.end()) return found->second;
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  LOGFONTA logFont{};
  logFont.lfHeight = -MulDiv(tenths, dpi, 720);
  logFont.lfWeight = font.weight;
  logFont.lfItalic = font.italic ? TRUE : FALSE;
  logFont.lfCharSet = DEFAULT_CHARSET;
  // A face the system lacks falls back to its interface font.
  std::strncpy(logFont.lfFaceName, font.face.empty() ? "MS Shell Dlg" : font.face.c_str(), LF_FACESIZE - 1);
  HFONT handle = CreateFontIndirectA(&logFont);
  if (handle == nullptr) handle = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  made[key] = handle;
  return handle;
}

COLORREF ToColorRef(Colour colour) { return RGB(colour.Red(), colour.Green(), colour.Blue()); }
Colour FromColorRef(COLORREF value) { return Rgb(GetRValue(value), GetGValue(value), GetBValue(value)); }

DateTime FromSystemTime(const SYSTEMTIME& time) {
  return DateTime{time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
}
SYSTEMTIME ToSystemTime(const DateTime& value) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(value.year);
  time.wMonth = static_cast<WORD>(value.month);
  time.wDay = static_cast<WORD>(value.day);
  time.wHour = static_cast<WORD>(value.hour);
  time.wMinute = static_cast<WORD>(value.minute);
  time.wSecond = static_cast<WORD>(value.second);
  return time;
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

// ---- windows ----------------------------------------------------------------------------------

class Win32Window;
LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

// Our wrappers of the windows, each deleted with its window.
std::map<HWND, std::unique_ptr<Win32Window>>& Wrappers() {
  static std::map<HWND, std::unique_ptr<Win32Window>> wrappers;
  return wrappers;
}

Win32Window* WrapperOf(HWND window) {
  const auto found = Wrappers().find(window);
  return found != Wrappers().end() ? found->second.get() : nullptr;
}

// A host's window and a window of ours differ in whether messages and destruction are ours to
// handle: a host's window is only a place for our dialogs to stay above.
class Win32Window : public Window {
 public:
  Win32Window(HWND window, uint32_t style, MessageHandler* handler, bool foreign)
      : mWindow(window), mStyle(style), mHandler(handler), mForeign(foreign) {}

  static Win32Window* Wrap(HWND window, uint32_t style, MessageHandler* handler) {
    auto wrapper = std::make_unique<Win32Window>(window, style, handler, false);
    Win32Window* raw = wrapper.get();
    Wrappers()[window] = std::move(wrapper);
    SetWindowSubclass(window, SubclassProc, kSubclassId, 0);
    return raw;
  }
  // A window the dialog manager made from a template, wrapped when the dialog code first asks.
  static Win32Window* Adopt(HWND window) {
    if (window == nullptr) return nullptr;
    if (Win32Window* known = WrapperOf(window)) return known;
    HWND parent = ::GetParent(window);
    if (parent == nullptr || WrapperOf(parent) == nullptr) return nullptr;  // not one of ours
    return Wrap(window, static_cast<uint32_t>(GetWindowLongA(window, GWL_STYLE)), nullptr);
  }

  HWND Handle() const { return mWindow; }
  bool Gone() const { return mGone; }
  MessageHandler* Handler() const { return mHandler; }
  void SetHandler(MessageHandler* handler) { mHandler = handler; }
  MessageHandler* Hook() const { return mHook; }
  void SetHook(MessageHandler* hook) { mHook = hook; }
  bool SizingCursor() const { return mSizingCursor; }
  std::vector<HWND>& Pages() { return mPages; }  // a tab control's, one a tab
  bool swallowChar = false;                       // the key's character follows a key the hook took
  bool chosen = false;                            // a popup's choice was made
  bool pressed = false;                           // the left button went down inside a popup's list

  // A message of the window system passed on, its answer not wanted.
  void Send(uint32_t message, uintptr_t wParam, intptr_t lParam) { SendMessage(message, wParam, lParam); }

  int GetId() const override { return GetDlgCtrlID(mWindow); }
  Window* GetParent() const override {
    if ((GetWindowLongA(mWindow, GWL_STYLE) & WS_CHILD) == 0) return nullptr;  // an owner is no parent
    return Adopt(::GetParent(mWindow));
  }
  Window* GetDlgItem(int id) const override {
    for (HWND child = GetWindow(mWindow, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      if (GetDlgCtrlID(child) != id) continue;
      Win32Window* wrapper = Adopt(child);
      if (wrapper != nullptr && !wrapper->mGone) return wrapper;
    }
    return nullptr;
  }
  Window* GetNextSibling() const override { return Adopt(GetWindow(mWindow, GW_HWNDNEXT)); }
  uint32_t GetStyle() const override { return mStyle; }

  std::string GetText() const override {
    const int length = GetWindowTextLengthA(mWindow);
    std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(mWindow, &text[0], length + 1)));
    return text;
  }
  void SetText(const std::string& text) override { SetWindowTextA(mWindow, text.c_str()); }
  Rect GetClientRect() const override {
    RECT r{};
    ::GetClientRect(mWindow, &r);
    return Rect{r.left, r.top, r.right, r.bottom};
  }
  Rect GetWindowRect() const override {
    RECT r{};
    ::GetWindowRect(mWindow, &r);
    if ((GetWindowLongA(mWindow, GWL_STYLE) & WS_CHILD) != 0) {
      MapWindowPoints(HWND_DESKTOP, ::GetParent(mWindow), reinterpret_cast<POINT*>(&r), 2);
    }
    return Rect{r.left, r.top, r.right, r.bottom};
  }
  bool SetWindowPos(const Rect& rect) override {
    return ::SetWindowPos(mWindow, nullptr, rect.left, rect.top, rect.Width(), rect.Height(),
                          SWP_NOZORDER | SWP_NOACTIVATE) != 0;
  }
  void SetClientSize(int width, int height) override {
    RECT r{0, 0, width, height};
    const DWORD style = static_cast<DWORD>(GetWindowLongA(mWindow, GWL_STYLE));
    if ((style & WS_CHILD) == 0) AdjustWindowRectEx(&r, style, FALSE, static_cast<DWORD>(GetWindowLongA(mWindow, GWL_EXSTYLE)));
    ::SetWindowPos(mWindow, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  }
  void ShowWindow(bool show) override { ::ShowWindow(mWindow, show ? SW_SHOWNA : SW_HIDE); }
  bool IsVisible() const override { return IsWindowVisible(mWindow) != 0; }
  void EnableWindow(bool enable) override { ::EnableWindow(mWindow, enable ? TRUE : FALSE); }
  bool IsEnabled() const override { return IsWindowEnabled(mWindow) != 0; }
  void CenterWindow() override {
    if ((GetWindowLongA(mWindow, GWL_STYLE) & WS_CHILD) != 0) return;
    RECT own{}, around{};
    ::GetWindowRect(mWindow, &own);
    HWND owner = GetWindow(mWindow, GW_OWNER);
    if (owner == nullptr || !IsWindowVisible(owner) || IsIconic(owner)) {
      SystemParametersInfoA(SPI_GETWORKAREA, 0, &around, 0);
    } else {
      ::GetWindowRect(owner, &around);
    }
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    const int left = std::max<int>(0, around.left + (around.right - around.left - width) / 2);
    const int top = std::max<int>(0, around.top + (around.bottom - around.top - height) / 2);
    ::SetWindowPos(mWindow, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  const Font* GetFont() const override { return mHasFont ? &mFont : nullptr; }
  void SetFont(const Font& font) override {
    mFont = font;
    mHasFont = true;
    if (!mForeign) ::SendMessageA(mWindow, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle(font)), TRUE);
  }
  // Only remembered: the dialog manager gives a template's dialog the template's font itself.
  void RememberFont(const Font& font) {
    mFont = font;
    mHasFont = true;
  }

  intptr_t SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    return mHandler != nullptr ? mHandler->OnMessage(*this, message, wParam, lParam) : 0;
  }
  void EndDialog(int result) override {
    if (mModal) ::EndDialog(mWindow, result);
  }
  void DestroyWindow() override {
    if (mForeign || mGone) return;
    if (mHandler != nullptr) mHandler->OnMessage(*this, msg::kDestroy, 0, 0);
    DetachTree(mWindow);
    mGone = true;
    ::ShowWindow(mWindow, SW_HIDE);
    PostMessageA(mWindow, kDeferredDestroy, 0, 0);
  }
  // The window and its children send nothing more: their handlers may be gone before Windows
  // destroys the windows.
  static void DetachTree(HWND window) {
    if (Win32Window* wrapper = WrapperOf(window)) {
      wrapper->mHandler = nullptr;
      wrapper->mHook = nullptr;
    }
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      DetachTree(child);
    }
  }
  void SetModal(bool modal) { mModal = modal; }

  int GetCheck() const override { return static_cast<int>(::SendMessageA(mWindow, BM_GETCHECK, 0, 0)); }
  void SetCheck(int state) override { ::SendMessageA(mWindow, BM_SETCHECK, static_cast<WPARAM>(state), 0); }
  int GetScrollPos() const override { return ::GetScrollPos(mWindow, SB_CTL); }
  void SetScrollPos(int position) override { ::SetScrollPos(mWindow, SB_CTL, position, TRUE); }
  int GetSliderPos() const override { return static_cast<int>(::SendMessageA(mWindow, TBM_GETPOS, 0, 0)); }
  void SetSliderPos(int position) override { ::SendMessageA(mWindow, TBM_SETPOS, TRUE, position); }
  DateTime GetDateTime() const override {
    SYSTEMTIME time{};
    HWND calendar = FindChildOfClass(MONTHCAL_CLASSA);  // a popup's calendar
    if (calendar == nullptr && ClassOf(mWindow) == MONTHCAL_CLASSA) calendar = mWindow;
    if (calendar != nullptr) {
      ::SendMessageA(calendar, MCM_GETCURSEL, 0, reinterpret_cast<LPARAM>(&time));
      return FromSystemTime(time);
    }
    if (ClassOf(mWindow) == DATETIMEPICK_CLASSA &&
        ::SendMessageA(mWindow, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) == GDT_VALID) {
      return FromSystemTime(time);
    }
    return DateTime{};
  }
  void SetDateTime(const DateTime& value) override {
    SYSTEMTIME time = ToSystemTime(value);
    const std::string name = ClassOf(mWindow);
    if (name == DATETIMEPICK_CLASSA) ::SendMessageA(mWindow, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
    if (name == MONTHCAL_CLASSA) ::SendMessageA(mWindow, MCM_SETCURSEL, 0, reinterpret_cast<LPARAM>(&time));
  }

  void Invalidate() override { InvalidateRect(mWindow, nullptr, FALSE); }
  void UpdateNow() override { UpdateWindow(mWindow); }
  void SetVScroll(bool visible, int range, int page, int position) override {
    if (!visible) {
      ShowScrollBar(mWindow, SB_VERT, FALSE);
      return;
    }
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = std::max(range - 1, 0);
    info.nPage = static_cast<UINT>(std::max(page, 0));
    info.nPos = position;
    ShowScrollBar(mWindow, SB_VERT, TRUE);
    SetScrollInfo(mWindow, SB_VERT, &info, TRUE);
  }
  void SetSizingCursor(bool on) override {
    if (on == mSizingCursor) return;
    mSizingCursor = on;
    SetCursor(LoadCursor(nullptr, on ? IDC_SIZEWE : IDC_ARROW));
  }
  void CaptureMouse(bool on) override {
    if (on && GetCapture() != mWindow) SetCapture(mWindow);
    if (!on && GetCapture() == mWindow) ReleaseCapture();
  }
  void SetFocus() override { ::SetFocus(mWindow); }

 private:
  HWND FindChildOfClass(const char* name) const {
    for (HWND child = GetWindow(mWindow, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      if (ClassOf(child) == name) return child;
    }
    return nullptr;
  }

  HWND mWindow;
  uint32_t mStyle;
  MessageHandler* mHandler;
  bool mForeign;
  MessageHandler* mHook = nullptr;  // gets the keys and the focus loss of a native control first
  bool mGone = false;               // gone for the dialog, destroyed once its messages are done
  bool mModal = false;
  bool mSizingCursor = false;
  Font mFont;
  bool mHasFont = false;
  std::vector<HWND> mPages;
};

Win32Window* Ours(Window* window) { return dynamic_cast<Win32Window*>(window); }
HWND HandleOf(Window* window) {
  Win32Window* self = Ours(window);
  return self != nullptr ? self->Handle() : nullptr;
}

// The pages of a tab control fill its display area; the selected one shows.
void PlaceTabPages(Win32Window& tabs) {
  RECT area{};
  ::GetClientRect(tabs.Handle(), &area);
  ::SendMessageA(tabs.Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  const int selected = static_cast<int>(::SendMessageA(tabs.Handle(), TCM_GETCURSEL, 0, 0));
  for (std::size_t i = 0; i < tabs.Pages().size(); ++i) {
    HWND page = tabs.Pages()[i];
    ::SetWindowPos(page, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(page, static_cast<int>(i) == selected ? SW_SHOWNA : SW_HIDE);
  }
}

// Every window we wrap: its wrapper goes with it, a hooked control's keys and focus go to its
// hook first, and a tab control keeps its pages in place.
LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  Win32Window* self = WrapperOf(window);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, SubclassProc, kSubclassId);
    Wrappers().erase(window);
    return DefSubclassProc(window, message, wParam, lParam);
  }
  if (self == nullptr) return DefSubclassProc(window, message, wParam, lParam);
  if (message == kDeferredDestroy) {
    ::DestroyWindow(window);
    return 0;
  }
  if (message == WM_SIZE && !self->Pages().empty()) {
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    PlaceTabPages(*self);
    return result;
  }
  MessageHandler* hook = self->Hook();
  if (hook == nullptr) return DefSubclassProc(window, message, wParam, lParam);
  switch (message) {
    case WM_GETDLGCODE:  // Enter, Tab and Escape reach the editor, not the dialog's navigation
      return DefSubclassProc(window, message, wParam, lParam) | DLGC_WANTALLKEYS;
    case WM_KEYDOWN: {
      const intptr_t ctrl = GetKeyState(VK_CONTROL) < 0 ? 1 : 0;
      self->swallowChar = false;
      if (hook->OnMessage(*self, msg::kKeyDown, wParam, ctrl) != 0) {
        self->swallowChar = true;
        return 0;
      }
      break;
    }
    case WM_CHAR:
      if (self->swallowChar) {  // the key's own character (a beep for Enter in a one-line edit)
        self->swallowChar = false;
        return 0;
      }
      break;
    case WM_KILLFOCUS: {
      const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
      if (MessageHandler* still = self->Hook()) still->OnMessage(*self, msg::kKillFocus, 0, 0);
      return result;
    }
    default:
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

// ---- dialogs ----------------------------------------------------------------------------------

// The dialog being made on this thread: the dialog procedure takes it on the first message of a
// window it does not know yet.
struct PendingDialog {
  MessageHandler* handler;
  uint32_t style;
  Font font;
  bool hasFont;
  bool modal;
};
PendingDialog* gPending = nullptr;

// Status bars keep to the bottom of their dialog as it is sized.
void ResizeStatusBars(HWND dialog) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) == STATUSCLASSNAMEA) ::SendMessageA(child, WM_SIZE, 0, 0);
  }
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32Window* self = WrapperOf(window);
  if (self == nullptr) {
    if (gPending == nullptr) return FALSE;
    // The first message reaches us before the dialog manager makes the template's controls: the
    // handler's own controls come first, as they would from a window's creation.
    PendingDialog pending = *gPending;
    gPending = nullptr;
    self = Win32Window::Wrap(window, pending.style, pending.handler);
    self->SetModal(pending.modal);
    if (pending.hasFont) self->RememberFont(pending.font);
    self->Send(msg::kCreate, 0, 0);
  }
  switch (message) {
    case WM_INITDIALOG: {
      self->Send(msg::kInitDialog, 0, 0);
      // A handler that put the focus somewhere keeps it; otherwise the first control takes it.
      HWND focus = GetFocus();
      return focus != nullptr && (focus == window || IsChild(window, focus)) ? FALSE : TRUE;
    }
    case WM_COMMAND:
      // Buttons, and Enter, Escape or the close box through the dialog manager (no control).
      if (lParam == 0 || HIWORD(wParam) == BN_CLICKED) {
        self->Send(msg::kCommand, LOWORD(wParam), 0);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      self->Send(msg::kCommand, kIdCancel, 0);
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->code == static_cast<UINT>(TCN_SELCHANGE)) {
        if (Win32Window* tabs = WrapperOf(header->hwndFrom)) PlaceTabPages(*tabs);
      }
      return FALSE;
    }
    case WM_SIZE:
      ResizeStatusBars(window);
      return FALSE;
    case WM_DESTROY:
      // A modal dialog's windows go after its result is in: nothing of them reaches a handler.
      Win32Window::DetachTree(window);
      return FALSE;
    default:
      return FALSE;
  }
}

// The template as the dialog manager reads it: the same header and items, each class by its
// name (the template names the common controls by codes only this project knows).
class TemplateWriter {
 public:
  void Word(uint16_t value) { mWords.push_back(value); }
  void DWord(uint32_t value) {
    Word(static_cast<uint16_t>(value & 0xFFFF));
    Word(static_cast<uint16_t>(value >> 16));
  }
  void Text(const std::string& ansi) {
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<std::size_t>(std::max(length, 1)), L'\0');
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), length);
    for (wchar_t c : wide) Word(static_cast<uint16_t>(c));  // with its terminator
  }
  void Align4() {
    if (mWords.size() % 2 != 0) Word(0);
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(mWords.data()); }

 private:
  std::vector<uint16_t> mWords;  // word-aligned, and 4-byte aligned from its start
};

std::string NativeClassName(const std::string& name) {
  if (name == "RICHEDIT" && GetModuleHandleA("riched32.dll") == nullptr) return "EDIT";
  return name;
}

TemplateWriter NativeTemplate(const DialogTemplate& layout, bool child) {
  uint32_t dialogStyle = layout.style;
  if (child) dialogStyle = (dialogStyle & ~(WS_POPUP | WS_CAPTION | WS_SYSMENU)) | WS_CHILD | DS_CONTROL;
  if (!layout.face.empty()) dialogStyle |= DS_SETFONT;
  TemplateWriter out;
  out.DWord(dialogStyle);
  out.DWord(layout.exStyle);
  out.Word(static_cast<uint16_t>(layout.items.size()));
  out.Word(static_cast<uint16_t>(layout.x));
  out.Word(static_cast<uint16_t>(layout.y));
  out.Word(static_cast<uint16_t>(layout.cx));
  out.Word(static_cast<uint16_t>(layout.cy));
  out.Word(0);  // no menu
  out.Word(0);  // the dialog class
  out.Text(layout.caption);
  if (!layout.face.empty()) {
    out.Word(static_cast<uint16_t>(layout.pointSize));
    out.Text(layout.face);
  }
  for (const DialogTemplateItem& item : layout.items) {
    out.Align4();
    uint32_t itemStyle = item.style | WS_CHILD;
    uint32_t itemExStyle = item.exStyle;
    // Tab pages live in the tab control, and the keyboard goes into them.
    if (item.className == WC_TABCONTROLA) {
      itemStyle |= WS_CLIPCHILDREN;
      itemExStyle |= WS_EX_CONTROLPARENT;
    }
    out.DWord(itemStyle);
    out.DWord(itemExStyle);
    out.Word(static_cast<uint16_t>(item.x));
    out.Word(static_cast<uint16_t>(item.y));
    out.Word(static_cast<uint16_t>(item.cx));
    out.Word(static_cast<uint16_t>(item.cy));
    out.Word(static_cast<uint16_t>(item.id));
    out.Text(NativeClassName(item.className));
    out.Text(item.caption);
    out.Word(0);  // no creation data
  }
  return out;
}

// ---- windows of ours --------------------------------------------------------------------------

// Painting on a device context; a buffer is a bitmap in a memory context of its own.
class GdiSurface : public Surface {
 public:
  explicit GdiSurface(HDC dc) : mDc(dc) {
    SetBkMode(mDc, TRANSPARENT);
    mOldFont = GetCurrentObject(mDc, OBJ_FONT);
  }
  // A buffer of that size, painted like the context it is made for.
  GdiSurface(HDC like, int width, int height)
      : GdiSurface(CreateCompatibleDC(like)) {
    mWidth = std::max(width, 1);
    mHeight = std::max(height, 1);
    mBitmap = CreateCompatibleBitmap(like, mWidth, mHeight);
    mOldBitmap = SelectObject(mDc, mBitmap);
  }
  ~GdiSurface() override {
    SelectObject(mDc, mOldFont);
    if (mBitmap == nullptr) return;
    SelectObject(mDc, mOldBitmap);
    DeleteObject(mBitmap);
    DeleteDC(mDc);
  }
  GdiSurface(const GdiSurface&) = delete;
  GdiSurface& operator=(const GdiSurface&) = delete;

  void FillRect(const Rect& r, Colour colour) override {
    SetDCBrushColor(mDc, ToColorRef(colour));
    RECT area{r.left, r.top, r.right, r.bottom};
    ::FillRect(mDc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  }
  void FrameRect(const Rect& r, Colour colour) override {
    SetDCBrushColor(mDc, ToColorRef(colour));
    RECT area{r.left, r.top, r.right, r.bottom};
    ::FrameRect(mDc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  }
  void Line(Point from, Point to, Colour colour) override {
    HGDIOBJ before = SelectObject(mDc, GetStockObject(DC_PEN));
    SetDCPenColor(mDc, ToColorRef(colour));
    MoveToEx(mDc, from.x, from.y, nullptr);
    LineTo(mDc, to.x, to.y);
    SelectObject(mDc, before);
  }
  void SetFont(const Font& font) override { SelectObject(mDc, FontHandle(font)); }
  void DrawText(const Rect& r, const std::string& text, Colour colour, uint32_t flags) override {
    // The flags are the system's own: centring, word breaks, one line, the ellipses.
    const UINT format = static_cast<UINT>(flags) | DT_NOPREFIX;
    RECT area{r.left, r.top, r.right, r.bottom};
    if ((flags & text::kVCentre) != 0 && (flags & text::kSingleLine) == 0) {
      // The system centres only a single line: the lines' height measured, then placed.
      RECT measured = area;
      ::DrawTextA(mDc, text.c_str(), static_cast<int>(text.size()), &measured, format | DT_CALCRECT);
      area.top += std::max(0, (r.Height() - static_cast<int>(measured.bottom - measured.top)) / 2);
    }
    SetTextColor(mDc, ToColorRef(colour));
    ::DrawTextA(mDc, text.c_str(), static_cast<int>(text.size()), &area, format);
  }
  Point TextExtent(const std::string& text) override {
    SIZE size{};
    GetTextExtentPoint32A(mDc, text.c_str(), static_cast<int>(text.size()), &size);
    return Point{size.cx, size.cy};
  }
  void FocusRect(const Rect& r) override {
    RECT area{r.left, r.top, r.right, r.bottom};
    DrawFocusRect(mDc, &area);
  }
  void PushButton(const Rect& r, bool pressed) override {
    RECT area{r.left, r.top, r.right, r.bottom};
    DrawFrameControl(mDc, &area, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  }
  void DropArrow(const Rect& r, bool pressed) override {
    RECT area{r.left, r.top, r.right, r.bottom};
    DrawFrameControl(mDc, &area, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | (pressed ? DFCS_PUSHED : 0));
  }
  std::unique_ptr<Surface> CreateBuffer(int width, int height) override {
    return std::make_unique<GdiSurface>(mDc, width, height);
  }
  void Blit(Surface& buffer, Point at) override {
    auto* source = dynamic_cast<GdiSurface*>(&buffer);
    if (source != nullptr) BitBlt(mDc, at.x, at.y, source->mWidth, source->mHeight, source->mDc, 0, 0, SRCCOPY);
  }

 private:
  HDC mDc;
  HGDIOBJ mOldFont;
  HBITMAP mBitmap = nullptr;  // a buffer's, with its own context
  HGDIOBJ mOldBitmap = nullptr;
  int mWidth = 0;
  int mHeight = 0;
};

// A window of ours: its messages become the handler's.
LRESULT CALLBACK CustomProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32Window* self = WrapperOf(window);
  if (self == nullptr || self->Handler() == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(window, &paint);
      {
        GdiSurface surface(dc);
        self->Send(msg::kPaint, 0, reinterpret_cast<intptr_t>(static_cast<Surface*>(&surface)));
      }
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the handler paints all of it
    case WM_SIZE:
      self->Send(msg::kSize, 0, PackPoint(Point{LOWORD(lParam), HIWORD(lParam)}));
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
      self->Send(message, 0, lParam);  // the same numbers and the same packed point
      return 0;
    case WM_MOUSEWHEEL:
      self->Send(msg::kMouseWheel, static_cast<uintptr_t>(static_cast<intptr_t>(GET_WHEEL_DELTA_WPARAM(wParam))), 0);
      return 0;
    case WM_KEYDOWN:
      self->Send(msg::kKeyDown, wParam, 0);
      return 0;
    case WM_CHAR:
      if (wParam >= 32) self->Send(msg::kChar, wParam, 0);
      return 0;
    case WM_SETFOCUS:
      self->Send(msg::kSetFocus, 0, 0);
      return 0;
    case WM_KILLFOCUS:
      self->Send(msg::kKillFocus, 0, 0);
      return 0;
    case WM_GETDLGCODE: {
      // Arrows and characters are the grid's; Enter too, which it turns into the dialog's OK.
      const auto* key = reinterpret_cast<const MSG*>(lParam);
      LRESULT wanted = DLGC_WANTARROWS | DLGC_WANTCHARS;
      if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) wanted |= DLGC_WANTMESSAGE;
      return wanted;
    }
    case WM_SETCURSOR:
      if (self->SizingCursor() && LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
        return TRUE;
      }
      break;
    case WM_VSCROLL: {
      SCROLLINFO info{};
      info.cbSize = sizeof(info);
      info.fMask = SIF_ALL;
      GetScrollInfo(window, SB_VERT, &info);
      int position = info.nPos;
      const int page = static_cast<int>(info.nPage);
      switch (LOWORD(wParam)) {
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: position = info.nTrackPos; break;
        case SB_LINEUP: position -= 16; break;
        case SB_LINEDOWN: position += 16; break;
        case SB_PAGEUP: position -= page; break;
        case SB_PAGEDOWN: position += page; break;
        default: return 0;
      }
      self->Send(msg::kVScroll, static_cast<uintptr_t>(std::max(position, 0)), 0);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// A popup list or calendar: closes without a choice when it loses the activation (a click
// elsewhere) or on Escape; its handler then gets kDestroy.
void CancelPopup(Win32Window& popup) {
  if (popup.chosen || popup.Gone()) return;
  MessageHandler* handler = popup.Handler();
  popup.SetHandler(nullptr);  // told once, whichever way it closes
  if (handler != nullptr) handler->OnMessage(popup, msg::kDestroy, 0, 0);
  popup.DestroyWindow();
}

void ChoosePopup(Win32Window& popup, uintptr_t value) {
  if (popup.chosen || popup.Gone()) return;
  popup.chosen = true;
  popup.Send(msg::kCommand, value, 0);
}

LRESULT CALLBACK PopupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32Window* self = WrapperOf(window);
  if (self != nullptr) {
    if (message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE) CancelPopup(*self);
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(MCN_SELECT)) {
      ChoosePopup(*self, 0);
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The list or calendar in a popup: a click, Enter or the execute key choose, Escape cancels.
LRESULT CALLBACK PopupContentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  Win32Window* popup = WrapperOf(GetParent(window));
  if (message == WM_NCDESTROY) RemoveWindowSubclass(window, PopupContentProc, kSubclassId);
  if (popup == nullptr) return DefSubclassProc(window, message, wParam, lParam);
  const bool list = ClassOf(window) == "ListBox";
  switch (message) {
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        CancelPopup(*popup);
        return 0;
      }
      if (wParam == VK_RETURN || wParam == VK_EXECUTE) {
        const LRESULT selected = list ? ::SendMessageA(window, LB_GETCURSEL, 0, 0) : 0;
        if (selected != LB_ERR) ChoosePopup(*popup, static_cast<uintptr_t>(selected));
        return 0;
      }
      break;
    case WM_LBUTTONDOWN:
      popup->pressed = true;
      break;
    case WM_LBUTTONUP:
      if (list && popup->pressed) {
        const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        const LRESULT hit = ::SendMessageA(window, LB_ITEMFROMPOINT, 0, lParam);
        if (HIWORD(hit) == 0) ChoosePopup(*popup, LOWORD(hit));
        return result;
      }
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    RECT area{};
    ::GetClientRect(window, &area);
    ::FillRect(reinterpret_cast<HDC>(wParam), &area, GetSysColorBrush(COLOR_BTNFACE));
    return 1;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterClasses() {
  WNDCLASSEXA custom{};
  custom.cbSize = sizeof(custom);
  custom.style = CS_DBLCLKS;
  custom.lpfnWndProc = CustomProc;
  custom.hInstance = gInstance;
  custom.hCursor = LoadCursor(nullptr, IDC_ARROW);
  custom.lpszClassName = kCustomClass;
  RegisterClassExA(&custom);
  WNDCLASSEXA popup = custom;
  popup.style = CS_DROPSHADOW;
  popup.lpfnWndProc = PopupProc;
  popup.lpszClassName = kPopupClass;
  RegisterClassExA(&popup);
  WNDCLASSEXA page = custom;
  page.style = 0;
  page.lpfnWndProc = PageProc;
  page.lpszClassName = kPageClass;
  RegisterClassExA(&page);
}

// ---- the toolkit ------------------------------------------------------------------------------

// Style bits of the controls, as the dialogs give them.
constexpr uint32_t kStatusBarOwnStyles = 0x0003;  // on the parent's bottom edge

class Win32Toolkit : public Toolkit {
 public:
  void* AllocMovable(std::size_t size) override { return LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, size > 0 ? size : 1); }
  void* LockMovable(void* memory) override { return LocalLock(static_cast<HLOCAL>(memory)); }
  void FreeMovable(void* memory) override {
    HLOCAL handle = static_cast<HLOCAL>(memory);
    while ((LocalFlags(handle) & LMEM_LOCKCOUNT) != 0 && LocalUnlock(handle)) {
    }
    LocalFree(handle);
  }

  void MessageBox(Window* owner, const std::string& text, const std::string& caption, MessageIcon icon) override {
    UINT type = MB_OK;
    if (icon == MessageIcon::kInformation) type |= MB_ICONINFORMATION;
    if (icon == MessageIcon::kExclamation) type |= MB_ICONEXCLAMATION;
    if (icon == MessageIcon::kError) type |= MB_ICONERROR;
    MessageBoxA(HandleOf(owner), text.c_str(), caption.empty() ? "KorvexEjector" : caption.c_str(), type);
  }

  Window* GetMainWindow() override { return nullptr; }

  Window* HostWindow(uintptr_t handle) override {
    HWND window = reinterpret_cast<HWND>(handle);
    if (handle == 0 || !IsWindow(window)) return nullptr;
    mHosts.push_back(std::make_unique<Win32Window>(window, style::kVisible, nullptr, true));
    return mHosts.back().get();
  }

  intptr_t DialogFromTemplate(const void* bytes, std::size_t size, Window* parent, MessageHandler& handler,
                              bool modal) override {
    DialogTemplate layout;
    if (!ReadDialogTemplate(bytes, size, layout)) return modal ? -1 : 0;
    const bool child = (layout.style & style::kChild) != 0 && Ours(parent) != nullptr;
    const TemplateWriter native = NativeTemplate(layout, child);
    PendingDialog pending{&handler, layout.style, Font{layout.face, layout.pointSize}, !layout.face.empty(),
                          modal && !child};
    PendingDialog* outer = gPending;
    gPending = &pending;
    intptr_t result = 0;
    if (modal && !child) {
      result = DialogBoxIndirectParamA(gInstance, native.Get(), HandleOf(parent), DialogProc, 0);
    } else {
      HWND made = CreateDialogIndirectParamA(gInstance, native.Get(), HandleOf(parent), DialogProc, 0);
      if (made != nullptr && !child) ::ShowWindow(made, SW_SHOW);
      result = made != nullptr ? 1 : 0;
    }
    gPending = outer;
    return result;
  }

  Window* CreateControl(const std::string& className, const std::string& caption, uint32_t style, uint32_t exStyle,
                        const Rect& rect, Window* parent, int id) override {
    HWND owner = HandleOf(parent);
    if (owner == nullptr) return nullptr;
    uint32_t native = style | WS_CHILD;
    if (className == STATUSCLASSNAMEA) native |= kStatusBarOwnStyles;
    HWND control = CreateWindowExA(exStyle, NativeClassName(className).c_str(), caption.c_str(), native, rect.left,
                                   rect.top, rect.Width(), rect.Height(), owner,
                                   reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), gInstance, nullptr);
    if (control == nullptr) return nullptr;  // a class the system does not have
    return Win32Window::Wrap(control, style, nullptr);
  }

  Window* AddTabPage(Window& tabControl, const std::string& label, Point pageSize) override {
    Win32Window* tabs = Ours(&tabControl);
    if (tabs == nullptr || ClassOf(tabs->Handle()) != WC_TABCONTROLA) return nullptr;
    HWND control = tabs->Handle();
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    std::string text = label;
    item.pszText = &text[0];
    const int index = static_cast<int>(::SendMessageA(control, TCM_GETITEMCOUNT, 0, 0));
    if (::SendMessageA(control, TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) < 0) {
      return nullptr;
    }
    // The control grows so that the page fits its display area.
    RECT needed{0, 0, pageSize.x, pageSize.y};
    ::SendMessageA(control, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&needed));
    const Rect now = tabs->GetWindowRect();
    const int width = std::max(now.Width(), static_cast<int>(needed.right - needed.left));
    const int height = std::max(now.Height(), static_cast<int>(needed.bottom - needed.top));
    HWND page = CreateWindowExA(WS_EX_CONTROLPARENT, kPageClass, "", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, pageSize.x,
                                pageSize.y, control, nullptr, gInstance, nullptr);
    if (page == nullptr) return nullptr;
    tabs->Pages().push_back(page);
    ::SetWindowPos(control, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceTabPages(*tabs);
    Win32Window* made = Win32Window::Wrap(page, style::kChild | style::kVisible, nullptr);
    if (tabs->GetParent() != nullptr && tabs->GetParent()->GetFont() != nullptr) {
      made->RememberFont(*tabs->GetParent()->GetFont());
    }
    return made;
  }

  Rect MapDialogRect(const Window& dialog, const Rect& units) override {
    const auto* self = dynamic_cast<const Win32Window*>(&dialog);
    if (self == nullptr) return units;
    RECT r{units.left, units.top, units.right, units.bottom};
    ::MapDialogRect(self->Handle(), &r);
    return Rect{r.left, r.top, r.right, r.bottom};
  }

  Window* CreateCustomWindow(Window* parent, const Rect& rect, int id, MessageHandler& handler) override {
    HWND window = CreateWindowExA(0, kCustomClass, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, rect.left, rect.top,
                                  rect.Width(), rect.Height(), HandleOf(parent),
                                  reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), gInstance, nullptr);
    if (window == nullptr) return nullptr;
    Win32Window* self = Win32Window::Wrap(window, style::kChild | style::kVisible, &handler);
    self->Send(msg::kCreate, 0, 0);
    return self;
  }

  SystemLook GetSystemLook() override {
    SystemLook look;
    look.windowText = FromColorRef(GetSysColor(COLOR_WINDOWTEXT));
    look.window = FromColorRef(GetSysColor(COLOR_WINDOW));
    look.buttonFace = FromColorRef(GetSysColor(COLOR_BTNFACE));
    look.highlight = FromColorRef(GetSysColor(COLOR_HIGHLIGHT));
    look.highlightText = FromColorRef(GetSysColor(COLOR_HIGHLIGHTTEXT));
    look.grayText = FromColorRef(GetSysColor(COLOR_GRAYTEXT));
    // The window's scroll bar is outside its client area: the rows take the whole client width.
    look.scrollBarWidth = 0;
    return look;
  }

  Point ClientToScreen(const Window& window, Point point) override {
    const auto* self = dynamic_cast<const Win32Window*>(&window);
    POINT at{point.x, point.y};
    if (self != nullptr) ::ClientToScreen(self->Handle(), &at);
    return Point{at.x, at.y};
  }

  void HookControl(Window& control, MessageHandler& handler) override {
    Win32Window* self = Ours(&control);
    if (self == nullptr) return;
    self->SetHook(&handler);
    // An editor opens with its text selected, so that what the user types replaces it.
    if (ClassOf(self->Handle()) == "Edit") ::SendMessageA(self->Handle(), EM_SETSEL, 0, -1);
  }

  Window* CreatePopupList(Window& owner, const Rect& screen, const std::vector<std::string>& entries, int selected,
                          MessageHandler& handler) override {
    Win32Window* popup = MakePopup(owner, screen, handler);
    if (popup == nullptr) return nullptr;
    HWND list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                                0, 0, screen.Width(), screen.Height(), popup->Handle(), nullptr, gInstance, nullptr);
    // The font of the owner, or of the nearest window around it that has one (the dialog's).
    for (Window* around = &owner; around != nullptr; around = around->GetParent()) {
      if (around->GetFont() == nullptr) continue;
      ::SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle(*around->GetFont())), FALSE);
      break;
    }
    for (const std::string& entry : entries) ::SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    if (selected >= 0 && selected < static_cast<int>(entries.size())) ::SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    // The grid asks for one of its text rows an entry; the system's rows may be taller: the list
    // grows to show every entry, as far as the screen allows.
    const int row = static_cast<int>(::SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
    const int wanted = row * static_cast<int>(entries.size()) + 2 * GetSystemMetrics(SM_CYBORDER) + 2;
    const int height = std::min(std::max(wanted, screen.Height()), GetSystemMetrics(SM_CYSCREEN) - screen.top);
    ::SetWindowPos(popup->Handle(), HWND_TOPMOST, screen.left, screen.top, screen.Width(), height, SWP_NOACTIVATE);
    RECT inside{};
    ::GetClientRect(popup->Handle(), &inside);
    ::SetWindowPos(list, nullptr, 0, 0, inside.right, inside.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    return ShowPopup(*popup, list);
  }

  Window* CreatePopupCalendar(Window& owner, const Rect& screen, const DateTime& date,
                              MessageHandler& handler) override {
    Win32Window* popup = MakePopup(owner, screen, handler);
    if (popup == nullptr) return nullptr;
    HWND calendar = CreateWindowExA(0, MONTHCAL_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, popup->Handle(), nullptr,
                                    gInstance, nullptr);
    SYSTEMTIME time = ToSystemTime(date);
    ::SendMessageA(calendar, MCM_SETCURSEL, 0, reinterpret_cast<LPARAM>(&time));
    RECT size{};
    ::SendMessageA(calendar, MCM_GETMINREQRECT, 0, reinterpret_cast<LPARAM>(&size));
    RECT frame = size;
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(popup->Handle(), GWL_STYLE)), FALSE, 0);
    const int width = frame.right - frame.left;
    ::SetWindowPos(calendar, nullptr, 0, 0, size.right, size.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(popup->Handle(), HWND_TOPMOST, screen.right - width, screen.bottom, width, frame.bottom - frame.top,
                   SWP_NOACTIVATE);
    return ShowPopup(*popup, calendar);
  }

  bool FileOpenDialog(Window* owner, const std::string& filter, std::string& path) override {
    // "Text (*.csv)|*.csv||" as the system takes it: the parts apart, two terminators at the end.
    std::string filters = filter.empty() ? "All files (*.*)|*.*||" : filter;
    std::replace(filters.begin(), filters.end(), '|', '\0');
    filters.push_back('\0');
    char file[MAX_PATH] = {};
    std::strncpy(file, path.c_str(), sizeof(file) - 1);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = HandleOf(owner);
    dialog.lpstrFilter = filters.c_str();
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof(file);
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameA(&dialog)) return false;
    path = file;
    return true;
  }

  bool FolderDialog(Window* owner, const std::string& title, std::string& path) override {
    char chosen[MAX_PATH] = {};
    BROWSEINFOA browse{};
    browse.hwndOwner = HandleOf(owner);
    browse.pszDisplayName = chosen;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&browse);
    if (item == nullptr) return false;
    const bool named = SHGetPathFromIDListA(item, chosen) != 0;
    CoTaskMemFree(item);
    if (!named) return false;
    path = chosen;
    return true;
  }

  bool ColourDialog(Window* owner, Colour& colour) override {
    static COLORREF custom[16] = {};
    CHOOSECOLORA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = HandleOf(owner);
    dialog.rgbResult = ToColorRef(colour);
    dialog.lpCustColors = custom;
    dialog.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!ChooseColorA(&dialog)) return false;
    colour = FromColorRef(dialog.rgbResult);
    return true;
  }

  bool FontDialog(Window* owner, Font& font) override {
    LOGFONTA logFont{};
    GetObjectA(FontHandle(font), sizeof(logFont), &logFont);
    CHOOSEFONTA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = HandleOf(owner);
    dialog.lpLogFont = &logFont;
    dialog.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT;
    if (!ChooseFontA(&dialog)) return false;
    font = Font{logFont.lfFaceName, dialog.iPointSize / 10, 0, logFont.lfWeight >= FW_BOLD ? 700 : 400, logFont.lfItalic != 0};
    return true;
  }

  bool SaveScreenshot(Window& window, const std::string& pngPath) override {
    Win32Window* self = Ours(&window);
    if (self == nullptr) return false;
    // Shown and painted first: what is pending on this thread runs before the picture.
    RedrawWindow(self->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    for (int i = 0; i < 30; ++i) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
      Sleep(10);
    }
    RECT r{};
    ::GetWindowRect(self->Handle(), &r);
    return SaveScreenPicture(r.left, r.top, r.right - r.left, r.bottom - r.top, pngPath);
  }

 private:
  Win32Window* MakePopup(Window& owner, const Rect& screen, MessageHandler& handler) {
    HWND top = GetAncestor(HandleOf(&owner), GA_ROOT);
    HWND popup = CreateWindowExA(WS_EX_TOOLWINDOW, kPopupClass, "", WS_POPUP | WS_BORDER, screen.left, screen.top,
                                 screen.Width(), screen.Height(), top, nullptr, gInstance, nullptr);
    return popup != nullptr ? Win32Window::Wrap(popup, style::kVisible, &handler) : nullptr;
  }

  // Shown and active, with the keyboard in its content; it closes once it is no longer active.
  Window* ShowPopup(Win32Window& popup, HWND content) {
    SetWindowSubclass(content, PopupContentProc, kSubclassId, 0);
    ::ShowWindow(popup.Handle(), SW_SHOW);
    ::SetFocus(content);
    return &popup;
  }

  std::vector<std::unique_ptr<Win32Window>> mHosts;  // handed out for the life of the module
};

// Windows always has a desktop; Wine without an X display has one that shows no window.
bool DesktopShowsWindows() {
  HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, gInstance, nullptr);
  if (probe == nullptr) return false;
  ::DestroyWindow(probe);
  return true;
}

class Win32Module : public UiModule {
 public:
  bool Call(const std::function<void(Toolkit&)>& work) override {
    std::lock_guard<std::recursive_mutex> serial(mSerial);
    if (!mReady) {
      HMODULE self = nullptr;
      GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&RegisterClasses), &self);
      gInstance = self;
      INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_TAB_CLASSES |
                                                          ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS};
      InitCommonControlsEx(&controls);
      LoadLibraryA("riched32.dll");  // "RICHEDIT", kept for the life of the process
      RegisterClasses();
      mReady = true;
    }
    if (!DesktopShowsWindows()) return false;
    work(mToolkit);
    return true;
  }
  // The dialogs run on the host's own threads: there is no thread of ours to end.
  void Shutdown() override {}

 private:
  std::recursive_mutex mSerial;
  bool mReady = false;  // guarded by mSerial
  Win32Toolkit mToolkit;
};

}  // namespace

}  // namespace win32
}  // namespace ui

extern "C" __declspec(dllexport) ui::UiModule* KorvexUiModule() {
  static ui::win32::Win32Module module;
  return &module;
}
