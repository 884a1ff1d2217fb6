#pragma once
// The window system as a test double: windows that keep their text, position, font and control
// values, dialogs built from their templates without a display, and hooks for what a user would do
// while a modal dialog runs. Never loaded by the product.
//
// Threads: the test's thread only.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ui/DialogTemplate.h"
#include "ui/Ui.h"

namespace ui {
namespace headless {

class HeadlessWindow : public Window {
 public:
  HeadlessWindow(std::string className, HeadlessWindow* parent, int id, uint32_t style, MessageHandler* handler);

  int GetId() const override { return mId; }
  Window* GetParent() const override { return mParent; }
  Window* GetDlgItem(int id) const override;
  Window* GetNextSibling() const override;
  uint32_t GetStyle() const override { return mStyle; }
  std::string GetText() const override { return mText; }
  void SetText(const std::string& text) override { mText = text; }
  Rect GetClientRect() const override { return Rect{0, 0, mRect.Width(), mRect.Height()}; }
  Rect GetWindowRect() const override { return mRect; }
  bool SetWindowPos(const Rect& rect) override;
  void SetClientSize(int width, int height) override {
    mRect.right = mRect.left + width;
    mRect.bottom = mRect.top + height;
  }
  void ShowWindow(bool show) override { mVisible = show; }
  bool IsVisible() const override { return mVisible; }
  void EnableWindow(bool enable) override { mEnabled = enable; }
  bool IsEnabled() const override { return mEnabled; }
  void CenterWindow() override { mCentred = true; }
  const Font* GetFont() const override { return mHasFont ? &mFont : nullptr; }
  void SetFont(const Font& font) override;
  intptr_t SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void EndDialog(int result) override;
  void DestroyWindow() override;
  int GetCheck() const override { return mCheck; }
  void SetCheck(int state) override { mCheck = state; }
  int GetScrollPos() const override { return mScroll; }
  void SetScrollPos(int position) override { mScroll = position; }
  int GetSliderPos() const override { return mSlider; }
  void SetSliderPos(int position) override { mSlider = position; }
  DateTime GetDateTime() const override { return mDateTime; }
  void SetDateTime(const DateTime& value) override { mDateTime = value; }
  void Invalidate() override { ++mInvalidations; }
  void UpdateNow() override {}
  void SetVScroll(bool visible, int range, int page, int position) override;
  void SetSizingCursor(bool on) override { mSizingCursor = on; }
  void CaptureMouse(bool on) override { mCaptured = on; }
  void SetFocus() override { mFocused = true; }

  // What a window of ours was told.
  int Invalidations() const { return mInvalidations; }
  bool ScrollVisible() const { return mScrollVisible; }
  int ScrollRange() const { return mScrollRange; }
  int ScrollPage() const { return mScrollPage; }
  bool SizingCursor() const { return mSizingCursor; }
  bool Captured() const { return mCaptured; }

  // For the tests.
  const std::string& ClassName() const { return mClassName; }
  MessageHandler* Handler() const { return mHandler; }
  Rect WindowRect() const { return mRect; }
  bool Centred() const { return mCentred; }
  bool Ended() const { return mEnded; }
  int Result() const { return mResult; }
  bool Destroyed() const { return mDestroyed; }
  const std::vector<std::unique_ptr<HeadlessWindow>>& Children() const { return mChildren; }
  HeadlessWindow* Child(int id) const { return static_cast<HeadlessWindow*>(GetDlgItem(id)); }
  // A click on a button of the dialog: the command its id sends.
  void Click(int id) { SendMessage(msg::kCommand, static_cast<uintptr_t>(id), 0); }
  HeadlessWindow* AddChild(std::unique_ptr<HeadlessWindow> child);
  // What a user does to a hooked control or a popup: a key (virtual key code), the focus going
  // elsewhere, a choice in a popup list or calendar, a popup closed without one.
  void SetHook(MessageHandler* hook) { mHook = hook; }
  intptr_t PressKey(int key, bool ctrl = false);
  void LoseFocus();
  void Choose(int index);
  void ChooseDate(const DateTime& date);
  void Dismiss();
  std::vector<std::string> entries;  // a popup list's
  int selected = -1;                 // a popup list's
  void Place(const Rect& rect) { mRect = rect; }
  void RefuseMoves() { mRefuseMoves = true; }

 private:
  std::string mClassName;
  HeadlessWindow* mParent;
  int mId;
  uint32_t mStyle;
  MessageHandler* mHandler;
  std::vector<std::unique_ptr<HeadlessWindow>> mChildren;
  std::string mText;
  Rect mRect;
  Font mFont;
  bool mHasFont = false;
  bool mCentred = false;
  bool mVisible;
  bool mEnabled = true;
  bool mRefuseMoves = false;
  bool mEnded = false;
  bool mDestroyed = false;
  int mResult = 0;
  int mCheck = 0;
  int mScroll = 0;
  int mSlider = 0;
  DateTime mDateTime;
  int mInvalidations = 0;
  bool mScrollVisible = false;
  int mScrollRange = 0;
  int mScrollPage = 0;
  bool mSizingCursor = false;
  bool mCaptured = false;
  bool mFocused = false;
  MessageHandler* mHook = nullptr;
};

// A surface that keeps what was drawn, one line of text per operation, and measures text at a
// fixed character size.
class RecordingSurface : public Surface {
 public:
  explicit RecordingSurface(int charWidth = 6, int charHeight = 13) : mCharWidth(charWidth), mCharHeight(charHeight) {}
  void FillRect(const Rect& rect, Colour colour) override;
  void FrameRect(const Rect& rect, Colour colour) override;
  void Line(Point from, Point to, Colour colour) override;
  void SetFont(const Font& font) override;
  void DrawText(const Rect& rect, const std::string& text, Colour colour, uint32_t flags) override;
  Point TextExtent(const std::string& text) override;
  void FocusRect(const Rect& rect) override;
  void PushButton(const Rect& rect, bool pressed) override;
  void DropArrow(const Rect& rect, bool pressed) override;
  std::unique_ptr<Surface> CreateBuffer(int width, int height) override;
  void Blit(Surface& buffer, Point at) override;

  const std::vector<std::string>& Operations() const { return mOperations; }
  // The operations that contain `part`.
  std::vector<std::string> Find(const std::string& part) const;
  void Clear() { mOperations.clear(); }

 private:
  int mCharWidth;
  int mCharHeight;
  std::vector<std::string> mOperations;
};

class HeadlessToolkit : public Toolkit {
 public:
  HeadlessToolkit();

  void* AllocMovable(std::size_t size) override;
  void* LockMovable(void* memory) override;
  void FreeMovable(void* memory) override;
  void MessageBox(Window* owner, const std::string& text, const std::string& caption = "",
                  MessageIcon icon = MessageIcon::kNone) override;
  Window* GetMainWindow() override { return mainWindow; }
  // A window of class "host" whose id is the handle; none for 0 or a handle in `missingHosts`.
  Window* HostWindow(uintptr_t handle) override;
  Window* AddTabPage(Window& tabControl, const std::string& label, Point pageSize) override;
  intptr_t DialogFromTemplate(const void* dialogTemplate, std::size_t size, Window* parent, MessageHandler& handler,
                              bool modal) override;
  Window* CreateControl(const std::string& className, const std::string& caption, uint32_t style, uint32_t exStyle,
                        const Rect& rect, Window* parent, int id) override;
  Rect MapDialogRect(const Window& dialog, const Rect& units) override;
  Window* CreateCustomWindow(Window* parent, const Rect& rect, int id, MessageHandler& handler) override;
  SystemLook GetSystemLook() override { return look; }
  Point ClientToScreen(const Window& window, Point point) override;
  void HookControl(Window& control, MessageHandler& handler) override;
  Window* CreatePopupList(Window& owner, const Rect& screen, const std::vector<std::string>& entries, int selected,
                          MessageHandler& handler) override;
  Window* CreatePopupCalendar(Window& owner, const Rect& screen, const DateTime& date,
                              MessageHandler& handler) override;
  bool FileOpenDialog(Window* owner, const std::string& filter, std::string& path) override;
  bool FolderDialog(Window* owner, const std::string& title, std::string& path) override;
  bool ColourDialog(Window* owner, Colour& colour) override;
  bool FontDialog(Window* owner, Font& font) override;
  // The common dialogs: each shown is noted ("file FILTER", "folder TITLE", "colour", "font");
  // with `accept` set they answer these values, else they are cancelled.
  std::vector<std::string> dialogsShown;
  bool accept = false;
  std::string filePath;
  std::string folderPath;
  Colour colour;
  Font font;
  // The popups made, the newest last.
  std::vector<HeadlessWindow*> popups;
  bool SaveScreenshot(Window&, const std::string&) override { return false; }
  SystemLook look;

  // What the user does while a modal dialog runs, in place of its message loop; a dialog the hook
  // leaves open ends as if closed (IDCANCEL).
  std::function<void(HeadlessWindow& dialog)> onModal;
  // Every message box shown, in order, and their captions and icons.
  std::vector<std::string> messageBoxes;
  std::vector<std::string> messageBoxCaptions;
  std::vector<MessageIcon> messageBoxIcons;
  std::vector<uintptr_t> missingHosts;
  std::vector<std::unique_ptr<HeadlessWindow>> hosts;
  // A tab control's display area lies this far inside it on each side, below a strip this high.
  int tabBorder = 2;
  int tabStrip = 20;
  // Faults: the movable memory, and the creation or placement of controls of these classes.
  bool failAlloc = false;
  bool failLock = false;
  std::vector<std::string> failCreate;
  std::vector<std::string> failMove;
  // The dialog font's average character size in pixels.
  int charWidth = 6;
  int charHeight = 13;
  // The application's main window; none unless a test sets one.
  Window* mainWindow = nullptr;
  // The last template handed over: its bytes and what they read as.
  std::vector<unsigned char> lastTemplate;
  DialogTemplate lastDialog;
  // Modeless dialogs stay here until the test ends.
  std::vector<std::unique_ptr<HeadlessWindow>> modeless;
  int movableBlocks = 0;  // allocated and not yet freed
};

// The headless toolkit as a window-system module: each call runs on the caller's thread, one at a
// time, as a module's calls run on its one user-interface thread.
class HeadlessUiModule : public UiModule {
 public:
  bool Call(const std::function<void(Toolkit&)>& work) override;
  void Shutdown() override;

  HeadlessToolkit toolkit;
  bool display = true;  // false: every call fails as without a display
  int shutdowns = 0;

 private:
  std::mutex mLock;
};

}  // namespace headless
}  // namespace ui
