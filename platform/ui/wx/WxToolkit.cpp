// The window system on wxWidgets (GTK 3): the module the driver loads on its first dialog.
//
// Threads: wxWidgets is driven from one thread for the life of the process. A host that is not a
// wxWidgets program gets a user-interface thread that the module starts on the first Call and
// ends in Shutdown; each Call hands its work to that thread and waits. A host that runs
// wxWidgets itself is served on its own main thread. mLock guards our thread's state and is held
// across a call handed to it, so that Shutdown waits for a dialog to end; the toolkit and every
// window are the user-interface thread's alone.

#include <wx/calctrl.h>
#include <wx/notebook.h>
#include <wx/colordlg.h>
#include <wx/datectrl.h>
#include <wx/dcbuffer.h>
#include <wx/fontdlg.h>
#include <wx/popupwin.h>
#include <wx/renderer.h>
#include <wx/settings.h>
#include <wx/spinbutt.h>
#include <wx/timectrl.h>
#include <wx/wx.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "ui/AnsiText.h"
#include "ui/DialogTemplate.h"
#include "ui/Ui.h"

// Last: the X11 headers define macros (Bool, Status, True, False, None) that other headers use as names.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#undef Bool
#undef Status
#undef True
#undef False
#undef None

namespace ui {
namespace wx {

namespace {

wxString ToWx(const std::string& ansi) { return wxString::FromUTF8(AnsiToUtf8(ansi)); }
std::string FromWx(const wxString& text) { return Utf8ToAnsi(std::string(text.utf8_str())); }
wxString FileNameToWx(const std::string& name) { return wxString(name.c_str(), *wxConvFileName); }
std::string FileNameFromWx(const wxString& name) {
  const wxCharBuffer bytes = name.fn_str();
  return bytes.data() != nullptr ? std::string(bytes.data()) : std::string();
}

wxFont ToWxFont(const Font& font) {
  wxFontInfo info(font.tenths > 0 ? font.tenths / 10.0 : (font.height > 0 ? font.height : 8));
  if (!font.face.empty()) info.FaceName(ToWx(font.face));  // a face the desktop lacks falls back to its own
  if (font.weight >= 700) info.Bold();
  if (font.italic) info.Italic();
  return wxFont(info);
}

DateTime FromWxDate(const wxDateTime& value) {
  if (!value.IsValid()) return DateTime{};
  return DateTime{value.GetYear(), static_cast<int>(value.GetMonth()) + 1, value.GetDay(),
                  value.GetHour(), value.GetMinute(),  value.GetSecond()};
}

wxDateTime ToWxDate(const DateTime& value) {
  return wxDateTime(static_cast<wxDateTime::wxDateTime_t>(value.day), static_cast<wxDateTime::Month>(value.month - 1),
                    value.year, static_cast<wxDateTime::wxDateTime_t>(value.hour),
                    static_cast<wxDateTime::wxDateTime_t>(value.minute),
                    static_cast<wxDateTime::wxDateTime_t>(value.second));
}

// GTK's time picker (a text field and a spin button) needs more room than a template made for a
// native one gives it: widened to show the whole time, the window with it.
void ShowWholeTime(wxTimePickerCtrl& time, wxWindow& window) {
  const wxRect place = time.GetRect();
  // Its own best size leaves the text a sliver beside GTK's wide -/+ buttons: the time's text
  // with the entry's margins, and the buttons beside it.
  int best = time.GetTextExtent("88:88:88").GetWidth() + 24;
  for (wxWindow* part : time.GetChildren()) {
    if (dynamic_cast<wxSpinButton*>(part) != nullptr) best += part->GetBestSize().GetWidth();
  }
  best = std::max(best, time.GetBestSize().GetWidth());
  if (best <= place.GetWidth()) return;
  time.SetSize(best, place.GetHeight());
  const wxSize client = window.GetClientSize();
  const int overflow = place.GetLeft() + best + 4 - client.GetWidth();
  if (overflow > 0) window.SetClientSize(wxSize(client.GetWidth() + overflow, client.GetHeight()));
}

class WxWindow;

// Our wrappers of wxWidgets windows, each deleted with its window.
std::map<wxWindow*, std::unique_ptr<WxWindow>>& Wrappers() {
  static std::map<wxWindow*, std::unique_ptr<WxWindow>> wrappers;
  return wrappers;
}

WxWindow* WrapperOf(wxWindow* window) {
  const auto found = Wrappers().find(window);
  return found != Wrappers().end() ? found->second.get() : nullptr;
}

class WxWindow : public Window {
 public:
  WxWindow(wxWindow* window, uint32_t style, MessageHandler* handler)
      : mWindow(window), mStyle(style), mHandler(handler) {}

  static WxWindow* Wrap(wxWindow* window, uint32_t style, MessageHandler* handler) {
    auto wrapper = std::make_unique<WxWindow>(window, style, handler);
    WxWindow* raw = wrapper.get();
    Wrappers()[window] = std::move(wrapper);
    window->Bind(wxEVT_DESTROY, [window](wxWindowDestroyEvent& event) {
      if (event.GetWindow() == window) Wrappers().erase(window);
      event.Skip();
    });
    return raw;
  }

  wxWindow* Native() const { return mWindow; }
  int GetId() const override { return mWindow->GetId(); }
  Window* GetParent() const override { return WrapperOf(mWindow->GetParent()); }
  Window* GetDlgItem(int id) const override {
    for (wxWindow* child : mWindow->GetChildren()) {
      WxWindow* wrapper = child->GetId() == id ? WrapperOf(child) : nullptr;
      if (wrapper != nullptr && !wrapper->mDestroyed) return wrapper;
    }
    return nullptr;
  }
  Window* GetNextSibling() const override {
    wxWindow* next = mWindow->GetNextSibling();
    return next != nullptr ? WrapperOf(next) : nullptr;
  }
  uint32_t GetStyle() const override { return mStyle; }
  std::string GetText() const override {
    if (auto* text = dynamic_cast<wxTextCtrl*>(mWindow)) return FromWx(text->GetValue());
    if (auto* bar = dynamic_cast<wxStatusBar*>(mWindow)) return FromWx(bar->GetStatusText());
    if (dynamic_cast<wxStaticText*>(mWindow) != nullptr) return mLabel;
    return FromWx(mWindow->GetLabel());
  }
  void SetText(const std::string& text) override {
    if (auto* edit = dynamic_cast<wxTextCtrl*>(mWindow)) {
      edit->ChangeValue(ToWx(text));
    } else if (auto* bar = dynamic_cast<wxStatusBar*>(mWindow)) {
      bar->SetStatusText(ToWx(text));
    } else if (dynamic_cast<wxStaticText*>(mWindow) != nullptr) {
      mLabel = text;
      Rewrap();
    } else {
      mWindow->SetLabel(ToWx(text));
    }
  }
  // A label breaks its text at words to fit its width, as a static control does.
  void Rewrap() {
    auto* label = dynamic_cast<wxStaticText*>(mWindow);
    if (label == nullptr) return;
    const wxSize size = label->GetSize();
    label->SetLabel(ToWx(mLabel));
    if (size.GetWidth() > 0) {
      label->Wrap(size.GetWidth());
      label->SetSize(size);  // the label keeps its place; wrapping asks for its best size
    }
  }
  Rect GetClientRect() const override {
    const wxSize size = mWindow->GetClientSize();
    return Rect{0, 0, size.GetWidth(), size.GetHeight()};
  }
  Rect GetWindowRect() const override {
    const wxRect at = mWindow->GetRect();
    return Rect{at.GetLeft(), at.GetTop(), at.GetLeft() + at.GetWidth(), at.GetTop() + at.GetHeight()};
  }
  bool SetWindowPos(const Rect& rect) override {
    mWindow->SetSize(rect.left, rect.top, rect.Width(), rect.Height());
    if (auto* time = dynamic_cast<wxTimePickerCtrl*>(mWindow); time != nullptr && mWindow->GetParent() != nullptr) {
      ShowWholeTime(*time, *mWindow->GetParent());
    }
    Rewrap();
    return true;
  }
  void SetClientSize(int width, int height) override { mWindow->SetClientSize(width, height); }
  void ShowWindow(bool show) override { mWindow->Show(show); }
  bool IsVisible() const override { return mWindow->IsShown(); }
  void EnableWindow(bool enable) override { mWindow->Enable(enable); }
  bool IsEnabled() const override { return mWindow->IsThisEnabled(); }
  void CenterWindow() override { mWindow->CentreOnParent(); }
  const Font* GetFont() const override { return mHasFont ? &mFont : nullptr; }
  void SetFont(const Font& font) override {
    mFont = font;
    mHasFont = true;
    mWindow->SetFont(ToWxFont(font));
  }
  intptr_t SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    return mHandler != nullptr ? mHandler->OnMessage(*this, message, wParam, lParam) : 0;
  }
  void EndDialog(int result) override {
    if (auto* dialog = dynamic_cast<wxDialog*>(mWindow); dialog != nullptr && dialog->IsModal()) dialog->EndModal(result);
  }
  void DestroyWindow() override {
    if (mHandler != nullptr) mHandler->OnMessage(*this, msg::kDestroy, 0, 0);
    DetachTree(mWindow);
    if (mWindow->IsTopLevel()) {
      mWindow->Destroy();  // wxWidgets deletes top-level windows once idle
      return;
    }
    // A control may be destroyed from its own event (an editor closing on its Enter key), and
    // wxWidgets still uses it when the handler returns: it goes once the loop is idle.
    mDestroyed = true;
    mWindow->Hide();
    wxTheApp->ScheduleForDestruction(mWindow);
  }
  // The window and its children send nothing more: wxWidgets deletes windows later, and their
  // handlers may be gone by then.
  static void DetachTree(wxWindow* window) {
    if (WxWindow* wrapper = WrapperOf(window)) {
      wrapper->mHandler = nullptr;
      wrapper->mHook = nullptr;
    }
    for (wxWindow* child : window->GetChildren()) DetachTree(child);
  }
  int GetCheck() const override {
    if (auto* box = dynamic_cast<wxCheckBox*>(mWindow)) return box->GetValue() ? 1 : 0;
    if (auto* radio = dynamic_cast<wxRadioButton*>(mWindow)) return radio->GetValue() ? 1 : 0;
    return 0;
  }
  void SetCheck(int state) override {
    if (auto* box = dynamic_cast<wxCheckBox*>(mWindow)) box->SetValue(state != 0);
    if (auto* radio = dynamic_cast<wxRadioButton*>(mWindow)) radio->SetValue(state != 0);
  }
  int GetScrollPos() const override {
    auto* bar = dynamic_cast<wxScrollBar*>(mWindow);
    return bar != nullptr ? bar->GetThumbPosition() : 0;
  }
  void SetScrollPos(int position) override {
    if (auto* bar = dynamic_cast<wxScrollBar*>(mWindow)) bar->SetThumbPosition(position);
  }
  int GetSliderPos() const override {
    auto* slider = dynamic_cast<wxSlider*>(mWindow);
    return slider != nullptr ? slider->GetValue() : 0;
  }
  void SetSliderPos(int position) override {
    if (auto* slider = dynamic_cast<wxSlider*>(mWindow)) slider->SetValue(position);
  }
  DateTime GetDateTime() const override {
    for (wxWindow* child : mWindow->GetChildren()) {  // a popup's calendar
      if (auto* calendar = dynamic_cast<wxCalendarCtrl*>(child)) return FromWxDate(calendar->GetDate());
    }
    if (auto* date = dynamic_cast<wxDatePickerCtrl*>(mWindow)) return FromWxDate(date->GetValue());
    if (auto* time = dynamic_cast<wxTimePickerCtrl*>(mWindow)) return FromWxDate(time->GetValue());
    if (auto* calendar = dynamic_cast<wxCalendarCtrl*>(mWindow)) return FromWxDate(calendar->GetDate());
    return DateTime{};
  }
  void SetDateTime(const DateTime& value) override {
    if (auto* date = dynamic_cast<wxDatePickerCtrl*>(mWindow)) date->SetValue(ToWxDate(value));
    if (auto* time = dynamic_cast<wxTimePickerCtrl*>(mWindow)) time->SetValue(ToWxDate(value));
    if (auto* calendar = dynamic_cast<wxCalendarCtrl*>(mWindow)) calendar->SetDate(ToWxDate(value));
  }
  void Invalidate() override { mWindow->Refresh(false); }
  void UpdateNow() override;
  void SetVScroll(bool visible, int range, int page, int position) override {
    if (visible) mWindow->SetScrollbar(wxVERTICAL, position, page, range);
    else mWindow->SetScrollbar(wxVERTICAL, 0, 0, 0);
  }
  void SetSizingCursor(bool on) override { mWindow->SetCursor(on ? wxCursor(wxCURSOR_SIZEWE) : wxNullCursor); }
  void CaptureMouse(bool on) override {
    if (on && !mWindow->HasCapture()) mWindow->CaptureMouse();
    if (!on && mWindow->HasCapture()) mWindow->ReleaseMouse();
  }
  void SetFocus() override { mWindow->SetFocus(); }
  MessageHandler* Hook() const { return mHook; }
  void SetHook(MessageHandler* hook) { mHook = hook; }

 private:
  wxWindow* mWindow;
  uint32_t mStyle;
  MessageHandler* mHandler;
  MessageHandler* mHook = nullptr;  // gets the keys and the focus loss of a native control first
  std::string mLabel;               // a label's text before it is wrapped
  bool mDestroyed = false;          // gone for the dialog, deleted by wxWidgets once idle
  Font mFont;
  bool mHasFont = false;
};

wxColour ToWxColour(Colour c) { return wxColour(static_cast<unsigned char>(c.Red()), static_cast<unsigned char>(c.Green()),
                                                static_cast<unsigned char>(c.Blue())); }
Colour FromWxColour(const wxColour& c) { return Rgb(c.Red(), c.Green(), c.Blue()); }

// Painting on a device context; buffers are bitmaps with a memory context of their own.
class WxSurface : public Surface {
 public:
  WxSurface(wxWindow* window, wxDC& dc) : mWindow(window), mDc(dc) {}
  void FillRect(const Rect& r, Colour colour) override {
    mDc.SetPen(*wxTRANSPARENT_PEN);
    mDc.SetBrush(wxBrush(ToWxColour(colour)));
    mDc.DrawRectangle(r.left, r.top, r.Width(), r.Height());
  }
  void FrameRect(const Rect& r, Colour colour) override {
    mDc.SetPen(wxPen(ToWxColour(colour)));
    mDc.SetBrush(*wxTRANSPARENT_BRUSH);
    mDc.DrawRectangle(r.left, r.top, r.Width(), r.Height());
  }
  void Line(Point from, Point to, Colour colour) override {
    mDc.SetPen(wxPen(ToWxColour(colour)));
    mDc.DrawLine(from.x, from.y, to.x, to.y);
  }
  void SetFont(const Font& font) override { mDc.SetFont(ToWxFont(font)); }
  void DrawText(const Rect& r, const std::string& text, Colour colour, uint32_t flags) override {
    mDc.SetTextForeground(ToWxColour(colour));
    wxString shown = ToWx(text);
    if ((flags & text::kSingleLine) != 0) {
      shown.Replace("\r", " ");
      shown.Replace("\n", " ");
    }
    if ((flags & text::kWordBreak) != 0) {
      // Word wrap: words onto lines no wider than the rectangle, then each line laid out.
      wxString wrapped, line;
      for (const wxString& word : wxSplit(shown, ' ')) {
        const wxString candidate = line.empty() ? word : line + " " + word;
        if (!line.empty() && mDc.GetTextExtent(candidate).GetWidth() > r.Width()) {
          wrapped += line + "\n";
          line = word;
        } else {
          line = candidate;
        }
      }
      shown = wrapped + line;
    } else if ((flags & text::kPathEllipsis) != 0) {
      shown = PathEllipsis(shown, r.Width());
    } else if ((flags & text::kEndEllipsis) != 0) {
      shown = wxControl::Ellipsize(shown, mDc, wxELLIPSIZE_END, r.Width());
    }
    int align = (flags & text::kCentre) != 0 ? wxALIGN_CENTRE_HORIZONTAL : wxALIGN_LEFT;
    align |= (flags & text::kVCentre) != 0 ? wxALIGN_CENTRE_VERTICAL : wxALIGN_TOP;
    mDc.DrawLabel(shown, wxRect(r.left, r.top, r.Width(), r.Height()), align);
  }
  // The folders in the middle give way first ("/home/op/.../lut.csv"); a file name that does not
  // fit alone keeps its end.
  wxString PathEllipsis(const wxString& path, int width) {
    if (mDc.GetTextExtent(path).GetWidth() <= width) return path;
    const size_t cut = path.find_last_of("/\\");
    const wxString name = cut == wxString::npos ? path : path.Mid(cut);
    const int room = width - mDc.GetTextExtent(name).GetWidth();
    if (cut == wxString::npos || room <= mDc.GetTextExtent("...").GetWidth()) {
      return wxControl::Ellipsize(path, mDc, wxELLIPSIZE_START, width);
    }
    return wxControl::Ellipsize(path.Left(cut), mDc, wxELLIPSIZE_END, room) + name;
  }
  Point TextExtent(const std::string& text) override {
    const wxSize size = mDc.GetTextExtent(ToWx(text));
    return Point{size.GetWidth(), size.GetHeight()};
  }
  void FocusRect(const Rect& r) override {
    wxRendererNative::Get().DrawFocusRect(mWindow, mDc, wxRect(r.left, r.top, r.Width(), r.Height()));
  }
  void PushButton(const Rect& r, bool pressed) override {
    wxRendererNative::Get().DrawPushButton(mWindow, mDc, wxRect(r.left, r.top, r.Width(), r.Height()),
                                           pressed ? static_cast<int>(wxCONTROL_PRESSED) : 0);
  }
  void DropArrow(const Rect& r, bool pressed) override {
    wxRendererNative::Get().DrawComboBoxDropButton(mWindow, mDc, wxRect(r.left, r.top, r.Width(), r.Height()),
                                                   pressed ? static_cast<int>(wxCONTROL_PRESSED) : 0);
  }
  std::unique_ptr<Surface> CreateBuffer(int width, int height) override;
  void Blit(Surface& buffer, Point at) override;
  wxDC& Dc() { return mDc; }

 private:
  wxWindow* mWindow;
  wxDC& mDc;
};

class BufferSurface : public WxSurface {
 public:
  BufferSurface(wxWindow* window, int width, int height)
      : WxSurface(window, mMemory), mBitmap(std::max(width, 1), std::max(height, 1)), mMemory(mBitmap) {}
  wxMemoryDC& Memory() { return mMemory; }
  int Width() const { return mBitmap.GetWidth(); }
  int Height() const { return mBitmap.GetHeight(); }

 private:
  wxBitmap mBitmap;
  wxMemoryDC mMemory;
};

std::unique_ptr<Surface> WxSurface::CreateBuffer(int width, int height) {
  return std::make_unique<BufferSurface>(mWindow, width, height);
}

void WxSurface::Blit(Surface& buffer, Point at) {
  auto& source = static_cast<BufferSurface&>(buffer);
  mDc.Blit(at.x, at.y, source.Width(), source.Height(), &source.Memory(), 0, 0);
}

// Virtual key codes of the keys our windows read.
int VirtualKey(int code) {
  switch (code) {
    case WXK_LEFT: return 0x25;
    case WXK_UP: return 0x26;
    case WXK_RIGHT: return 0x27;
    case WXK_DOWN: return 0x28;
    case WXK_RETURN: return 0x0D;
    case WXK_ESCAPE: return 0x1B;
    case WXK_TAB: return 0x09;
    case WXK_PAGEUP: return 0x21;
    case WXK_PAGEDOWN: return 0x22;
    case WXK_F2: return 0x71;
    default: return code;
  }
}

// A window of ours: its events become the handler's messages.
class CustomWindow : public wxWindow {
 public:
  CustomWindow(wxWindow* parent, int id, const wxPoint& at, const wxSize& size)
      : wxWindow(parent, id, at, size, wxWANTS_CHARS | wxVSCROLL | wxFULL_REPAINT_ON_RESIZE) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);  // the handler paints all of it
    // A scroll bar that is always there, not one that shows while the pointer is over it.
    if (GTK_IS_SCROLLED_WINDOW(GetHandle())) {
      gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(GetHandle()), FALSE);
    }
    Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
      wxPaintDC dc(this);
      WxSurface surface(this, dc);
      Send(msg::kPaint, 0, reinterpret_cast<intptr_t>(static_cast<Surface*>(&surface)));
    });
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
      const wxSize client = GetClientSize();
      Send(msg::kSize, 0, PackPoint(Point{client.GetWidth(), client.GetHeight()}));
      event.Skip();
    });
    const auto mouse = [this](uint32_t message) {
      return [this, message](wxMouseEvent& event) {
        Send(message, 0, PackPoint(Point{event.GetX(), event.GetY()}));
        event.Skip();
      };
    };
    Bind(wxEVT_LEFT_DOWN, mouse(msg::kLButtonDown));
    Bind(wxEVT_LEFT_UP, mouse(msg::kLButtonUp));
    Bind(wxEVT_LEFT_DCLICK, mouse(msg::kLButtonDblClk));
    Bind(wxEVT_MOTION, mouse(msg::kMouseMove));
    Bind(wxEVT_MOUSEWHEEL, [this](wxMouseEvent& event) {
      Send(msg::kMouseWheel, static_cast<uintptr_t>(static_cast<intptr_t>(event.GetWheelRotation())), 0);
    });
    Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& event) {
      if (event.GetKeyCode() == WXK_TAB) {  // on to the dialog's next control, as from any other
        Navigate(event.ShiftDown() ? wxNavigationKeyEvent::IsBackward : wxNavigationKeyEvent::IsForward);
        return;
      }
      Send(msg::kKeyDown, static_cast<uintptr_t>(VirtualKey(event.GetKeyCode())), 0);
      event.Skip();  // characters follow
    });
    Bind(wxEVT_CHAR, [this](wxKeyEvent& event) {
      if (event.GetUnicodeKey() != WXK_NONE && event.GetUnicodeKey() >= 32) {
        Send(msg::kChar, static_cast<uintptr_t>(event.GetUnicodeKey()), 0);
      }
    });
    Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& event) {
      Send(msg::kSetFocus, 0, 0);
      event.Skip();
    });
    Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
      Send(msg::kKillFocus, 0, 0);
      event.Skip();
    });
    const auto scroll = [this](wxScrollWinEvent& event) {
      int position = GetScrollPos(wxVERTICAL);
      const int page = GetScrollThumb(wxVERTICAL);
      const wxEventType type = event.GetEventType();
      if (type == wxEVT_SCROLLWIN_THUMBTRACK || type == wxEVT_SCROLLWIN_THUMBRELEASE) position = event.GetPosition();
      else if (type == wxEVT_SCROLLWIN_LINEUP) position -= 16;
      else if (type == wxEVT_SCROLLWIN_LINEDOWN) position += 16;
      else if (type == wxEVT_SCROLLWIN_PAGEUP) position -= page;
      else if (type == wxEVT_SCROLLWIN_PAGEDOWN) position += page;
      Send(msg::kVScroll, static_cast<uintptr_t>(std::max(position, 0)), 0);
    };
    Bind(wxEVT_SCROLLWIN_THUMBTRACK, scroll);
    Bind(wxEVT_SCROLLWIN_THUMBRELEASE, scroll);
    Bind(wxEVT_SCROLLWIN_LINEUP, scroll);
    Bind(wxEVT_SCROLLWIN_LINEDOWN, scroll);
    Bind(wxEVT_SCROLLWIN_PAGEUP, scroll);
    Bind(wxEVT_SCROLLWIN_PAGEDOWN, scroll);
  }

 private:
  void Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (WxWindow* self = WrapperOf(this)) self->SendMessage(message, wParam, lParam);
  }
};

// A popup that closes when the user clicks elsewhere; its wrapper's handler then gets kDestroy.
class PopupWindow : public wxPopupTransientWindow {
 public:
  explicit PopupWindow(wxWindow* owner) : wxPopupTransientWindow(owner, wxBORDER_SIMPLE) {}
  ~PopupWindow() override { LetGoOfKeyboard(); }
  void Choose(uintptr_t value) {
    mChosen = true;
    LetGoOfKeyboard();
    if (WxWindow* self = WrapperOf(this)) self->SendMessage(msg::kCommand, value, 0);
  }
  // Closed without a choice (Escape), the owner told as for a click outside.
  void Cancel() { DismissAndNotify(); }
  bool pressed = false;  // the left button went down inside
  // Shown with the keyboard: X sends keys to the focused top-level window, which a popup never is,
  // so the keys are grabbed for it while it shows (arrows, Enter and Escape belong to the list).
  void PopupWithKeys(wxWindow* focus) {
    Popup(focus);
    GdkWindow* own = gtk_widget_get_window(GetHandle());
    GdkSeat* seat = own != nullptr ? gdk_display_get_default_seat(gdk_window_get_display(own)) : nullptr;
    if (seat != nullptr &&
        gdk_seat_grab(seat, own, GDK_SEAT_CAPABILITY_KEYBOARD, TRUE, nullptr, nullptr, nullptr, nullptr) ==
            GDK_GRAB_SUCCESS) {
      mGrabbed = seat;
    }
  }

 protected:
  void OnDismiss() override {
    LetGoOfKeyboard();
    if (mChosen) return;
    if (WxWindow* self = WrapperOf(this)) self->SendMessage(msg::kDestroy, 0, 0);
  }

 private:
  // The seat's grab goes whole: the pointer's too, which the popup gives up as it closes anyway.
  void LetGoOfKeyboard() {
    if (mGrabbed != nullptr) gdk_seat_ungrab(mGrabbed);
    mGrabbed = nullptr;
  }

  bool mChosen = false;
  GdkSeat* mGrabbed = nullptr;  // the keyboard grabbed while shown
};

// A window of ours paints at once on its client area; GTK would otherwise paint at its next frame.
void WxWindow::UpdateNow() {
  if (dynamic_cast<CustomWindow*>(mWindow) == nullptr || !mWindow->IsShownOnScreen()) {
    mWindow->Update();
    return;
  }
  wxClientDC dc(mWindow);
  WxSurface surface(mWindow, dc);
  SendMessage(msg::kPaint, 0, reinterpret_cast<intptr_t>(static_cast<Surface*>(&surface)));
}

// A host's X11 window: only a place for our dialogs to stay above.
class HostX11Window : public Window {
 public:
  explicit HostX11Window(unsigned long xid) : mXid(xid) {}
  unsigned long Xid() const { return mXid; }
  int GetId() const override { return 0; }
  Window* GetParent() const override { return nullptr; }
  Window* GetDlgItem(int) const override { return nullptr; }
  Window* GetNextSibling() const override { return nullptr; }
  uint32_t GetStyle() const override { return style::kVisible; }
  std::string GetText() const override { return std::string(); }
  void SetText(const std::string&) override {}
  Rect GetClientRect() const override { return Rect{}; }
  Rect GetWindowRect() const override { return Rect{}; }
  bool SetWindowPos(const Rect&) override { return false; }
  void SetClientSize(int, int) override {}
  void ShowWindow(bool) override {}
  bool IsVisible() const override { return true; }
  void EnableWindow(bool) override {}
  bool IsEnabled() const override { return true; }
  void CenterWindow() override {}
  const Font* GetFont() const override { return nullptr; }
  void SetFont(const Font&) override {}
  intptr_t SendMessage(uint32_t, uintptr_t, intptr_t) override { return 0; }
  void EndDialog(int) override {}
  void DestroyWindow() override {}
  int GetCheck() const override { return 0; }
  void SetCheck(int) override {}
  int GetScrollPos() const override { return 0; }
  void SetScrollPos(int) override {}
  int GetSliderPos() const override { return 0; }
  void SetSliderPos(int) override {}
  DateTime GetDateTime() const override { return DateTime{}; }
  void SetDateTime(const DateTime&) override {}
  void Invalidate() override {}
  void UpdateNow() override {}
  void SetVScroll(bool, int, int, int) override {}
  void SetSizingCursor(bool) override {}
  void CaptureMouse(bool) override {}
  void SetFocus() override {}

 private:
  unsigned long mXid;
};

// Keeps a dialog of ours above the host's window on an X11 desktop.
void MakeTransientFor(wxWindow* dialog, const HostX11Window& host) {
  GtkWidget* widget = dialog->GetHandle();
  if (widget == nullptr) return;
  gtk_widget_realize(widget);
  GdkWindow* own = gtk_widget_get_window(widget);
  if (own == nullptr) return;
  GdkDisplay* display = gdk_window_get_display(own);
  if (!GDK_IS_X11_DISPLAY(display)) return;
  GdkWindow* foreign = gdk_x11_window_foreign_new_for_display(display, host.Xid());
  if (foreign == nullptr) return;  // gone since it was looked up
  gdk_window_set_transient_for(own, foreign);
  g_object_unref(foreign);
}

// Style bits of the controls, as the dialogs give them.
constexpr uint32_t kEditMultiLine = 0x0004;
constexpr uint32_t kScrollBarVertical = 0x0001;
constexpr uint32_t kComboDropDownList = 0x0003;
constexpr uint32_t kButtonGroupBox = 0x0007;

wxWindow* NativeOf(Window* window) {
  auto* self = dynamic_cast<WxWindow*>(window);
  return self != nullptr ? self->Native() : nullptr;
}

class WxToolkit : public Toolkit {
 public:
  void* AllocMovable(std::size_t size) override { return std::calloc(size > 0 ? size : 1, 1); }
  void* LockMovable(void* memory) override { return memory; }
  void FreeMovable(void* memory) override { std::free(memory); }

  void MessageBox(Window* owner, const std::string& text, const std::string& caption, MessageIcon icon) override {
    auto* parent = dynamic_cast<WxWindow*>(owner);
    long style = wxOK;
    if (icon == MessageIcon::kInformation) style |= wxICON_INFORMATION;
    if (icon == MessageIcon::kExclamation) style |= wxICON_EXCLAMATION;
    if (icon == MessageIcon::kError) style |= wxICON_ERROR;
    wxMessageDialog box(parent != nullptr ? parent->Native() : nullptr, ToWx(text),
                        caption.empty() ? wxString(wxT("KorvexEjector")) : ToWx(caption), style);
    if (auto* host = dynamic_cast<HostX11Window*>(owner)) MakeTransientFor(&box, *host);
    box.ShowModal();
  }

  Window* HostWindow(uintptr_t handle) override {
    if (handle == 0) return nullptr;
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) return nullptr;
    GdkWindow* foreign = gdk_x11_window_foreign_new_for_display(display, static_cast<::Window>(handle));
    if (foreign == nullptr) return nullptr;  // no such window
    g_object_unref(foreign);
    mHosts.push_back(std::make_unique<HostX11Window>(static_cast<unsigned long>(handle)));
    return mHosts.back().get();
  }

  Window* AddTabPage(Window& tabControl, const std::string& label, Point pageSize) override {
    auto* self = dynamic_cast<WxWindow*>(&tabControl);
    auto* tabs = self != nullptr ? dynamic_cast<wxNotebook*>(self->Native()) : nullptr;
    if (tabs == nullptr) return nullptr;
    auto* page = new wxPanel(tabs, wxID_ANY);
    tabs->AddPage(page, ToWx(label));
    const wxSize needed = tabs->CalcSizeFromPage(wxSize(pageSize.x, pageSize.y));
    const wxSize now = tabs->GetSize();
    tabs->SetSize(std::max(now.GetWidth(), needed.GetWidth()), std::max(now.GetHeight(), needed.GetHeight()));
    return WxWindow::Wrap(page, style::kChild | style::kVisible, nullptr);
  }

  Window* GetMainWindow() override {
    wxWindow* top = wxTheApp != nullptr ? wxTheApp->GetTopWindow() : nullptr;
    return top != nullptr ? WrapperOf(top) : nullptr;
  }

  intptr_t DialogFromTemplate(const void* bytes, std::size_t size, Window* parent, MessageHandler& handler,
                              bool modal) override {
    DialogTemplate layout;
    if (!ReadDialogTemplate(bytes, size, layout)) return modal ? -1 : 0;
    auto* owner = dynamic_cast<WxWindow*>(parent);
    if ((layout.style & style::kChild) != 0 && owner != nullptr) return ChildFromTemplate(layout, *owner, handler);
    auto* dialog = new wxDialog(owner != nullptr ? owner->Native() : nullptr, wxID_ANY, ToWx(layout.caption),
                                wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    WxWindow* self = WxWindow::Wrap(dialog, layout.style, &handler);
    if (!layout.face.empty()) self->SetFont(Font{layout.face, layout.pointSize});
    dialog->SetClientSize(dialog->ConvertDialogToPixels(wxSize(layout.cx, layout.cy)));
    if (auto* host = dynamic_cast<HostX11Window*>(parent)) MakeTransientFor(dialog, *host);
    // Buttons, Escape and closing the window all arrive as the command of their id.
    dialog->Bind(wxEVT_BUTTON, [self](wxCommandEvent& event) {
      self->SendMessage(msg::kCommand, static_cast<uintptr_t>(event.GetId()), 0);
    });
    dialog->Bind(wxEVT_CLOSE_WINDOW, [self](wxCloseEvent&) { self->SendMessage(msg::kCommand, kIdCancel, 0); });
    dialog->SetEscapeId(kIdCancel);
    dialog->SetAffirmativeId(kIdOk);
    self->SendMessage(msg::kCreate, 0, 0);
    CreateTemplateControls(layout, *self);
    self->SendMessage(msg::kInitDialog, 0, 0);
    if (auto* ok = dynamic_cast<wxButton*>(dialog->FindWindow(kIdOk))) ok->SetDefault();
    if (!modal) {
      dialog->Show();
      return 1;
    }
    const int result = dialog->ShowModal();
    WxWindow::DetachTree(dialog);
    dialog->Destroy();
    return result;
  }

  void CreateTemplateControls(const DialogTemplate& layout, WxWindow& self) {
    for (const DialogTemplateItem& item : layout.items) {
      const Rect units{item.x, item.y, item.x + item.cx, item.y + item.cy};
      if (Window* control = CreateControl(item.className, item.caption, item.style, item.exStyle, units, &self, item.id)) {
        if (self.GetFont() != nullptr) control->SetFont(*self.GetFont());
        control->SetWindowPos(MapDialogRect(self, units));
      }
    }
  }

  // A property page: a panel in the parent, its controls, and the messages a dialog gets.
  intptr_t ChildFromTemplate(const DialogTemplate& layout, WxWindow& owner, MessageHandler& handler) {
    auto* panel = new wxPanel(owner.Native(), wxID_ANY);
    WxWindow* self = WxWindow::Wrap(panel, layout.style, &handler);
    if (!layout.face.empty()) self->SetFont(Font{layout.face, layout.pointSize});
    panel->SetSize(panel->ConvertDialogToPixels(wxSize(layout.cx, layout.cy)));
    panel->Bind(wxEVT_BUTTON, [self](wxCommandEvent& event) {
      self->SendMessage(msg::kCommand, static_cast<uintptr_t>(event.GetId()), 0);
    });
    self->SendMessage(msg::kCreate, 0, 0);
    CreateTemplateControls(layout, *self);
    self->SendMessage(msg::kInitDialog, 0, 0);
    if ((layout.style & style::kVisible) == 0) panel->Hide();
    return 1;
  }

  Window* CreateControl(const std::string& className, const std::string& caption, uint32_t style, uint32_t,
                        const Rect& rect, Window* parent, int id) override {
    auto* owner = dynamic_cast<WxWindow*>(parent);
    if (owner == nullptr) return nullptr;
    wxWindow* host = owner->Native();
    const wxString text = ToWx(caption);
    const wxPoint at(rect.left, rect.top);
    const wxSize extent(rect.Width(), rect.Height());
    wxWindow* control = nullptr;
    if (className == "BUTTON") {
      const uint32_t type = style & style::kButtonTypeMask;
      if (type == 2 || type == 3 || type == 5 || type == 6) {
        control = new wxCheckBox(host, id, text, at, extent);
      } else if (type == 4 || type == 9) {
        control = new wxRadioButton(host, id, text, at, extent, (style & style::kGroup) != 0 ? wxRB_GROUP : 0);
      } else if (type == kButtonGroupBox) {
        control = new wxStaticBox(host, id, text, at, extent);
      } else {
        control = new wxButton(host, id, text, at, extent);
      }
    } else if (className == "EDIT" || className == "RICHEDIT") {
      const long flags = (style & kEditMultiLine) != 0 ? wxTE_MULTILINE : 0;
      control = new wxTextCtrl(host, id, text, at, extent, flags);
    } else if (className == "STATIC") {
      control = new wxStaticText(host, id, text, at, extent);
    } else if (className == "LISTBOX") {
      control = new wxListBox(host, id, at, extent);
    } else if (className == "COMBOBOX" || className == "ComboBoxEx32") {
      const long flags = (style & 0x3) == kComboDropDownList ? wxCB_READONLY : 0;
      control = new wxComboBox(host, id, text, at, extent, 0, nullptr, flags);
    } else if (className == "SCROLLBAR") {
      control = new wxScrollBar(host, id, at, extent, (style & kScrollBarVertical) != 0 ? wxSB_VERTICAL : wxSB_HORIZONTAL);
    } else if (className == "msctls_trackbar32") {
      control = new wxSlider(host, id, 0, 0, 100, at, extent);
    } else if (className == "msctls_progress32") {
      control = new wxGauge(host, id, 100, at, extent);
    } else if (className == "SysDateTimePick32") {
      if ((style & style::kDateTimeTimeFormat) == style::kDateTimeTimeFormat) {
        control = new wxTimePickerCtrl(host, id, wxDefaultDateTime, at, extent);
      } else {
        control = new wxDatePickerCtrl(host, id, wxDefaultDateTime, at, extent);
      }
    } else if (className == "SysMonthCal32") {
      control = new wxCalendarCtrl(host, id, wxDefaultDateTime, at, extent);
    } else if (className == "SysTabControl32") {
      control = new wxNotebook(host, id, at, extent);
    } else if (className == "msctls_statusbar32") {
      auto* bar = new wxStatusBar(host, id, wxSTB_SHOW_TIPS | wxSTB_ELLIPSIZE_END | wxFULL_REPAINT_ON_RESIZE);
      const int styles[] = {wxSB_SUNKEN};  // an empty bar still shows where its text goes
      bar->SetStatusStyles(1, styles);
      const int height = rect.Height() > 0 ? rect.Height() : bar->GetBestSize().GetHeight();
      bar->SetSize(rect.left, rect.top, rect.Width(), height);
      control = bar;
    }
    if (control == nullptr) return nullptr;  // a class this toolkit does not make
    if ((style & style::kVisible) == 0) control->Hide();
    WxWindow* made = WxWindow::Wrap(control, style, nullptr);
    if (className == "STATIC") made->SetText(caption);
    return made;
  }

  Window* CreateCustomWindow(Window* parent, const Rect& rect, int id, MessageHandler& handler) override {
    auto* owner = dynamic_cast<WxWindow*>(parent);
    auto* window = new CustomWindow(owner != nullptr ? owner->Native() : nullptr, id, wxPoint(rect.left, rect.top),
                                    wxSize(rect.Width(), rect.Height()));
    WxWindow* self = WxWindow::Wrap(window, style::kChild | style::kVisible, &handler);
    self->SendMessage(msg::kCreate, 0, 0);
    return self;
  }

  Point ClientToScreen(const Window& window, Point point) override {
    const auto* self = dynamic_cast<const WxWindow*>(&window);
    if (self == nullptr) return point;
    const wxPoint at = self->Native()->ClientToScreen(wxPoint(point.x, point.y));
    return Point{at.x, at.y};
  }

  void HookControl(Window& control, MessageHandler& handler) override {
    auto* self = dynamic_cast<WxWindow*>(&control);
    if (self == nullptr) return;
    self->SetHook(&handler);
    wxWindow* native = self->Native();
    // Keys come before the dialog's own navigation, so that Enter, Tab and Escape reach the editor.
    native->Bind(wxEVT_CHAR_HOOK, [native](wxKeyEvent& event) {
      WxWindow* wrapper = WrapperOf(native);
      MessageHandler* hook = wrapper != nullptr ? wrapper->Hook() : nullptr;
      if (hook != nullptr && hook->OnMessage(*wrapper, msg::kKeyDown, static_cast<uintptr_t>(VirtualKey(event.GetKeyCode())),
                                             event.ControlDown() ? 1 : 0) != 0) {
        return;
      }
      event.Skip();
    });
    native->Bind(wxEVT_KILL_FOCUS, [native](wxFocusEvent& event) {
      event.Skip();
      WxWindow* wrapper = WrapperOf(native);
      if (MessageHandler* hook = wrapper != nullptr ? wrapper->Hook() : nullptr) hook->OnMessage(*wrapper, msg::kKillFocus, 0, 0);
    });
  }

  Window* CreatePopupList(Window& owner, const Rect& screen, const std::vector<std::string>& entries, int selected,
                          MessageHandler& handler) override {
    auto* self = dynamic_cast<WxWindow*>(&owner);
    if (self == nullptr) return nullptr;
    auto* popup = new PopupWindow(self->Native());
    wxArrayString choices;
    for (const std::string& entry : entries) choices.Add(ToWx(entry));
    auto* list = new wxListBox(popup, wxID_ANY, wxPoint(0, 0), wxSize(screen.Width(), screen.Height()), choices);
    if (selected >= 0 && selected < static_cast<int>(entries.size())) list->SetSelection(selected);
    if (self->GetFont() != nullptr) list->SetFont(ToWxFont(*self->GetFont()));
    // Only a click, Enter or the execute key (virtual key 43) choose: GTK reports a selection also
    // for the arrow keys and when the list takes the focus, which must not store anything.
    // A click is a press and a release in the list: the release of the click that dropped it down
    // can arrive here too.
    list->Bind(wxEVT_LEFT_DOWN, [popup](wxMouseEvent& event) {
      event.Skip();
      popup->pressed = true;
    });
    list->Bind(wxEVT_LEFT_UP, [popup, list](wxMouseEvent& event) {
      event.Skip();
      const int index = list->HitTest(event.GetPosition());
      if (popup->pressed && index != wxNOT_FOUND) popup->Choose(static_cast<uintptr_t>(index));
    });
    // Enter, as GTK's list takes it: the row activated.
    list->Bind(wxEVT_LISTBOX_DCLICK, [popup, list](wxCommandEvent&) {
      if (list->GetSelection() != wxNOT_FOUND) popup->Choose(static_cast<uintptr_t>(list->GetSelection()));
    });
    // Before the dialog's own keys: Escape closes only the list, Enter chooses and does not confirm.
    list->Bind(wxEVT_CHAR_HOOK, [popup, list](wxKeyEvent& event) {
      const bool choose = event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER ||
                          event.GetKeyCode() == WXK_EXECUTE;
      if (choose && list->GetSelection() != wxNOT_FOUND) {
        popup->Choose(static_cast<uintptr_t>(list->GetSelection()));
      } else if (event.GetKeyCode() == WXK_ESCAPE) {
        popup->Cancel();
      } else {
        event.Skip();
      }
    });
    popup->SetSize(screen.left, screen.top, screen.Width(), screen.Height());
    WxWindow* made = WxWindow::Wrap(popup, style::kVisible, &handler);
    popup->PopupWithKeys(list);
    // The grid asks for one of its text rows an entry; the toolkit's rows are taller. Once shown,
    // the list measures its own rows and grows to show every entry (as far as the screen allows).
    const int height = std::min(ListHeight(*list, screen.Height()), wxGetDisplaySize().GetHeight() - screen.top);
    if (height > screen.Height()) {
      list->SetSize(screen.Width(), height);
      popup->SetSize(screen.Width(), height);
    }
    return made;
  }

  // The height that shows every row of the list and its frame, as GTK's tree view lays them out;
  // `fallback` where it cannot tell.
  static int ListHeight(wxListBox& list, int fallback) {
    GtkWidget* rows = GTK_WIDGET(list.m_treeview);
    if (rows == nullptr || list.GetCount() == 0) return fallback;
    gint minimum = 0, natural = 0;
    gtk_widget_get_preferred_height(rows, &minimum, &natural);
    if (natural <= 0) return fallback;
    const int frame = list.GetSize().GetHeight() - list.GetClientSize().GetHeight();
    return natural + std::max(frame, 2);
  }

  Window* CreatePopupCalendar(Window& owner, const Rect& screen, const DateTime& date,
                              MessageHandler& handler) override {
    auto* self = dynamic_cast<WxWindow*>(&owner);
    if (self == nullptr) return nullptr;
    auto* popup = new PopupWindow(self->Native());
    auto* calendar = new wxCalendarCtrl(popup, wxID_ANY, ToWxDate(date), wxPoint(0, 0));
    const wxSize size = calendar->GetBestSize();
    calendar->SetSize(size);
    calendar->Bind(wxEVT_CALENDAR_SEL_CHANGED, [popup](wxCalendarEvent&) { popup->Choose(0); });
    calendar->Bind(wxEVT_CHAR_HOOK, [popup](wxKeyEvent& event) {
      if (event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_EXECUTE) popup->Choose(0);
      else if (event.GetKeyCode() == WXK_ESCAPE) popup->Cancel();
      else event.Skip();
    });
    popup->SetSize(screen.right - size.GetWidth(), screen.bottom, size.GetWidth(), size.GetHeight());
    WxWindow* made = WxWindow::Wrap(popup, style::kVisible, &handler);
    popup->PopupWithKeys(calendar);
    return made;
  }

  bool FileOpenDialog(Window* owner, const std::string& filter, std::string& path) override {
    wxString wildcard = ToWx(filter);
    while (wildcard.EndsWith("|")) wildcard.RemoveLast();  // the filters end with "||"
    // File names go in and out as the file system's bytes: converted to the dialogs' code page, a
    // name that is not ASCII would name no file any more.
    wxFileDialog dialog(NativeOf(owner), wxFileSelectorPromptStr, wxEmptyString, FileNameToWx(path),
                        wildcard.empty() ? wxString(wxFileSelectorDefaultWildcardStr) : wildcard,
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return false;
    path = FileNameFromWx(dialog.GetPath());
    return true;
  }

  bool FolderDialog(Window* owner, const std::string& title, std::string& path) override {
    wxDirDialog dialog(NativeOf(owner), ToWx(title), FileNameToWx(path), wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return false;
    path = FileNameFromWx(dialog.GetPath());
    return true;
  }

  bool ColourDialog(Window* owner, Colour& colour) override {
    wxColourData data;
    data.SetColour(ToWxColour(colour));
    wxColourDialog dialog(NativeOf(owner), &data);
    if (dialog.ShowModal() != wxID_OK) return false;
    colour = FromWxColour(dialog.GetColourData().GetColour());
    return true;
  }

  bool FontDialog(Window* owner, Font& font) override {
    wxFontData data;
    data.SetInitialFont(ToWxFont(font));
    wxFontDialog dialog(NativeOf(owner), data);
    if (dialog.ShowModal() != wxID_OK) return false;
    const wxFont chosen = dialog.GetFontData().GetChosenFont();
    font = Font{FromWx(chosen.GetFaceName()), chosen.GetPointSize(), 0, chosen.GetWeight() >= wxFONTWEIGHT_BOLD ? 700 : 400,
                chosen.GetStyle() == wxFONTSTYLE_ITALIC};
    return true;
  }

  SystemLook GetSystemLook() override {
    SystemLook look;
    look.windowText = FromWxColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT));
    look.window = FromWxColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));
    look.buttonFace = FromWxColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    look.highlight = FromWxColour(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT));
    look.highlightText = FromWxColour(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHTTEXT));
    look.grayText = FromWxColour(wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT));
    // A custom window's scroll bar is its own, outside its client area: the rows take the whole
    // client width, with no strip left for a bar drawn inside.
    look.scrollBarWidth = 0;
    return look;
  }

  bool SaveScreenshot(Window& window, const std::string& pngPath) override {
    auto* self = dynamic_cast<WxWindow*>(&window);
    if (self == nullptr) return false;
    wxWindow* native = self->Native();
    // Shown and drawn first: the window system maps and paints it in its own time.
    for (int i = 0; i < 30; ++i) {
      wxYield();
      wxMilliSleep(10);
    }
    native->Update();
    const wxSize size = native->GetSize();
    wxBitmap bitmap(size.GetWidth(), size.GetHeight());
    {
      wxMemoryDC memory(bitmap);
      wxScreenDC screen;
      const wxPoint origin = native->GetScreenPosition();
      memory.Blit(0, 0, size.GetWidth(), size.GetHeight(), &screen, origin.x, origin.y);
    }
    wxImage::AddHandler(new wxPNGHandler());
    return bitmap.ConvertToImage().SaveFile(ToWx(pngPath), wxBITMAP_TYPE_PNG);
  }

  std::vector<std::unique_ptr<HostX11Window>> mHosts;  // handed out for the life of the module

  Rect MapDialogRect(const Window& dialog, const Rect& units) override {
    const auto* self = dynamic_cast<const WxWindow*>(&dialog);
    if (self == nullptr) return units;
    const wxPoint topLeft = self->Native()->ConvertDialogToPixels(wxPoint(units.left, units.top));
    const wxPoint bottomRight = self->Native()->ConvertDialogToPixels(wxPoint(units.right, units.bottom));
    return Rect{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
  }
};

// The application object of our own user-interface thread.
class ModuleApp : public wxApp {
 public:
  bool OnInit() override {
    SetExitOnFrameDelete(false);
    return true;
  }
};

class WxModule : public UiModule {
 public:
  ~WxModule() override { Shutdown(); }  // a process that ends without the last finalize

  bool Call(const std::function<void(Toolkit&)>& work) override {
    // On the thread that runs wxWidgets (the host's, or ours for a nested call): at once.
    if (wxTheApp != nullptr && wxIsMainThread()) {
      work(mToolkit);
      return true;
    }
    // A host running wxWidgets itself: its main thread serves.
    if (wxTheApp != nullptr && !mOwnApp) {
      RunAndWait(work);
      return true;
    }
    // Ours: held across the call, so that Shutdown waits for a dialog to end.
    std::unique_lock<std::mutex> lock(mLock);
    if (!mRunning && !Start(lock)) return false;
    RunAndWait(work);
    return true;
  }

  void Shutdown() override {
    std::unique_lock<std::mutex> lock(mLock);
    if (!mRunning) return;
    wxTheApp->CallAfter([] { wxTheApp->ExitMainLoop(); });
    lock.unlock();
    mThread.join();
    lock.lock();
    mRunning = false;
  }

 private:
  // Hands the work to the thread that runs wxWidgets and waits until it is done.
  void RunAndWait(const std::function<void(Toolkit&)>& work) {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    wxTheApp->CallAfter([&] {
      work(mToolkit);
      std::lock_guard<std::mutex> guard(lock);
      finished = true;
      done.notify_all();
    });
    std::unique_lock<std::mutex> wait(lock);
    done.wait(wait, [&] { return finished; });
  }

  // With mLock held: starts the user-interface thread and waits until wxWidgets is up on it.
  bool Start(std::unique_lock<std::mutex>& lock) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0')) return false;
    if (mThread.joinable()) mThread.join();
    mStarted = false;
    mFailed = false;
    mThread = std::thread([this] { ThreadMain(); });
    mDone.wait(lock, [&] { return mStarted || mFailed; });
    if (mFailed) {
      lock.unlock();
      mThread.join();
      lock.lock();
      return false;
    }
    mRunning = true;
    return true;
  }

  void ThreadMain() {
    static char name[] = "KorvexEjector";
    static char* arguments[] = {name, nullptr};
    int count = 1;
    mOwnApp = true;
    wxApp::SetInstance(new ModuleApp());
    const bool up = wxEntryStart(count, arguments) && wxTheApp->CallOnInit();
    {
      std::lock_guard<std::mutex> guard(mLock);
      (up ? mStarted : mFailed) = true;
      mDone.notify_all();
    }
    if (up) {
      wxTheApp->OnRun();
      wxTheApp->OnExit();
    }
    wxEntryCleanup();
    mOwnApp = false;
  }

  WxToolkit mToolkit;
  std::mutex mLock;
  std::condition_variable mDone;
  std::thread mThread;
  bool mRunning = false;  // guarded by mLock
  bool mStarted = false;  // guarded by mLock
  bool mFailed = false;   // guarded by mLock
  std::atomic<bool> mOwnApp{false};  // wxTheApp is ours
};

}  // namespace

}  // namespace wx
}  // namespace ui

extern "C" __attribute__((visibility("default"))) ui::UiModule* KorvexUiModule() {
  static ui::wx::WxModule module;
  return &module;
}
