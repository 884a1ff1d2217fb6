// The window system on wxWidgets (GTK 3): the module the driver loads on its first dialog.
//
// Threads: wxWidgets is driven from one thread for the life of the process. A host that is not a
// wxWidgets program gets a user-interface thread that the module starts on the first Call and
// ends in Shutdown; each Call hands its work to that thread and waits. A host that runs
// wxWidgets itself is served on its own main thread. mLock guards the thread's state and the work
// handed over; the toolkit and every window are the user-interface thread's alone.

#include <wx/calctrl.h>
#include <wx/datectrl.h>
#include <wx/timectrl.h>
#include <wx/wx.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "ui/AnsiText.h"
#include "ui/DialogTemplate.h"
#include "ui/Ui.h"

namespace ui {
namespace wx {

namespace {

wxString ToWx(const std::string& ansi) { return wxString::FromUTF8(AnsiToUtf8(ansi)); }
std::string FromWx(const wxString& text) { return Utf8ToAnsi(std::string(text.utf8_str())); }

wxFont ToWxFont(const Font& font) {
  wxFontInfo info(font.height > 0 ? font.height : 8);
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
      if (child->GetId() == id) return WrapperOf(child);
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
    return FromWx(mWindow->GetLabel());
  }
  void SetText(const std::string& text) override {
    if (auto* edit = dynamic_cast<wxTextCtrl*>(mWindow)) edit->ChangeValue(ToWx(text));
    else mWindow->SetLabel(ToWx(text));
  }
  Rect GetClientRect() const override {
    const wxSize size = mWindow->GetClientSize();
    return Rect{0, 0, size.GetWidth(), size.GetHeight()};
  }
  bool SetWindowPos(const Rect& rect) override {
    mWindow->SetSize(rect.left, rect.top, rect.Width(), rect.Height());
    return true;
  }
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
    mWindow->Destroy();
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

 private:
  wxWindow* mWindow;
  uint32_t mStyle;
  MessageHandler* mHandler;
  Font mFont;
  bool mHasFont = false;
};

// Style bits of the controls, as the dialogs give them.
constexpr uint32_t kEditMultiLine = 0x0004;
constexpr uint32_t kScrollBarVertical = 0x0001;
constexpr uint32_t kComboDropDownList = 0x0003;
constexpr uint32_t kButtonGroupBox = 0x0007;

class WxToolkit : public Toolkit {
 public:
  void* AllocMovable(std::size_t size) override { return std::calloc(size > 0 ? size : 1, 1); }
  void* LockMovable(void* memory) override { return memory; }
  void FreeMovable(void* memory) override { std::free(memory); }

  void MessageBox(Window* owner, const std::string& text) override {
    auto* parent = dynamic_cast<WxWindow*>(owner);
    wxMessageBox(ToWx(text), wxT("KorvexEjector"), wxOK, parent != nullptr ? parent->Native() : nullptr);
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
    auto* dialog = new wxDialog(owner != nullptr ? owner->Native() : nullptr, wxID_ANY, ToWx(layout.caption),
                                wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    WxWindow* self = WxWindow::Wrap(dialog, layout.style, &handler);
    if (!layout.face.empty()) self->SetFont(Font{layout.face, layout.pointSize});
    dialog->SetClientSize(dialog->ConvertDialogToPixels(wxSize(layout.cx, layout.cy)));
    // Buttons, Escape and closing the window all arrive as the command of their id.
    dialog->Bind(wxEVT_BUTTON, [self](wxCommandEvent& event) {
      self->SendMessage(msg::kCommand, static_cast<uintptr_t>(event.GetId()), 0);
    });
    dialog->Bind(wxEVT_CLOSE_WINDOW, [self](wxCloseEvent&) { self->SendMessage(msg::kCommand, kIdCancel, 0); });
    dialog->SetEscapeId(kIdCancel);
    dialog->SetAffirmativeId(kIdOk);
    self->SendMessage(msg::kCreate, 0, 0);
    for (const DialogTemplateItem& item : layout.items) {
      const Rect units{item.x, item.y, item.x + item.cx, item.y + item.cy};
      if (Window* control = CreateControl(item.className, item.caption, item.style, item.exStyle, units, self, item.id)) {
        control->SetWindowPos(MapDialogRect(*self, units));
        if (self->GetFont() != nullptr) control->SetFont(*self->GetFont());
      }
    }
    self->SendMessage(msg::kInitDialog, 0, 0);
    if (auto* ok = dynamic_cast<wxButton*>(dialog->FindWindow(kIdOk))) ok->SetDefault();
    if (!modal) {
      dialog->Show();
      return 1;
    }
    const int result = dialog->ShowModal();
    dialog->Destroy();
    return result;
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
    }
    if (control == nullptr) return nullptr;  // a class this toolkit does not make
    if ((style & style::kVisible) == 0) control->Hide();
    return WxWindow::Wrap(control, style, nullptr);
  }

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
  bool Call(const std::function<void(Toolkit&)>& work) override {
    // A host running wxWidgets itself: its main thread serves.
    if (wxTheApp != nullptr && !mOwnApp) return CallOnHostThread(work);
    std::unique_lock<std::mutex> lock(mLock);
    if (!mRunning && !Start(lock)) return false;
    bool done = false;
    wxTheApp->CallAfter([&] {
      Run(work);
      std::lock_guard<std::mutex> guard(mLock);
      done = true;
      mDone.notify_all();
    });
    mDone.wait(lock, [&] { return done; });
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
  void Run(const std::function<void(Toolkit&)>& work) { work(mToolkit); }

  bool CallOnHostThread(const std::function<void(Toolkit&)>& work) {
    if (wxIsMainThread()) {
      Run(work);
      return true;
    }
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    wxTheApp->CallAfter([&] {
      Run(work);
      std::lock_guard<std::mutex> guard(lock);
      finished = true;
      done.notify_all();
    });
    std::unique_lock<std::mutex> wait(lock);
    done.wait(wait, [&] { return finished; });
    return true;
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
