#include "HeadlessToolkit.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ui {
namespace headless {

namespace {

bool Listed(const std::vector<std::string>& classes, const std::string& name) {
  return std::find(classes.begin(), classes.end(), name) != classes.end();
}

// A movable block: its bytes and whether it is locked.
struct Movable {
  std::vector<unsigned char> bytes;
};

}  // namespace

HeadlessWindow::HeadlessWindow(std::string className, HeadlessWindow* parent, int id, uint32_t style,
                               MessageHandler* handler)
    : mClassName(std::move(className)),
      mParent(parent),
      mId(id),
      mStyle(style),
      mHandler(handler),
      mVisible(parent == nullptr || (style & style::kVisible) != 0) {}

Window* HeadlessWindow::GetDlgItem(int id) const {
  for (const auto& child : mChildren) {
    if (child->mId == id && !child->mDestroyed) return child.get();
  }
  return nullptr;
}

Window* HeadlessWindow::GetNextSibling() const {
  if (mParent == nullptr) return nullptr;
  const auto& siblings = mParent->mChildren;
  for (std::size_t i = 0; i + 1 < siblings.size(); ++i) {
    if (siblings[i].get() == this) return siblings[i + 1].get();
  }
  return nullptr;
}

bool HeadlessWindow::SetWindowPos(const Rect& rect) {
  if (mRefuseMoves) return false;
  mRect = rect;
  return true;
}

void HeadlessWindow::SetFont(const Font& font) {
  mFont = font;
  mHasFont = true;
}

intptr_t HeadlessWindow::SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return mHandler != nullptr ? mHandler->OnMessage(*this, message, wParam, lParam) : 0;
}

void HeadlessWindow::EndDialog(int result) {
  mEnded = true;
  mResult = result;
}

void HeadlessWindow::DestroyWindow() {
  if (mDestroyed) return;
  mDestroyed = true;
  SendMessage(msg::kDestroy, 0, 0);
  mHook = nullptr;
  mHandler = nullptr;
}

void HeadlessWindow::SetVScroll(bool visible, int range, int page, int position) {
  mScrollVisible = visible;
  mScrollRange = range;
  mScrollPage = page;
  mScroll = position;
}

intptr_t HeadlessWindow::PressKey(int key, bool ctrl) {
  return mHook != nullptr ? mHook->OnMessage(*this, msg::kKeyDown, static_cast<uintptr_t>(key), ctrl ? 1 : 0) : 0;
}

void HeadlessWindow::LoseFocus() {
  if (mHook != nullptr) mHook->OnMessage(*this, msg::kKillFocus, 0, 0);
}

void HeadlessWindow::Choose(int index) {
  selected = index;
  SendMessage(msg::kCommand, static_cast<uintptr_t>(index), 0);
}

void HeadlessWindow::ChooseDate(const DateTime& date) {
  mDateTime = date;
  SendMessage(msg::kCommand, 0, 0);
}

void HeadlessWindow::Dismiss() { DestroyWindow(); }

HeadlessWindow* HeadlessWindow::AddChild(std::unique_ptr<HeadlessWindow> child) {
  mChildren.push_back(std::move(child));
  return mChildren.back().get();
}

bool HeadlessUiModule::Call(const std::function<void(Toolkit&)>& work) {
  std::lock_guard<std::mutex> guard(mLock);
  if (!display) return false;
  work(toolkit);
  return true;
}

void HeadlessUiModule::Shutdown() {
  std::lock_guard<std::mutex> guard(mLock);
  ++shutdowns;
}

HeadlessToolkit::HeadlessToolkit() = default;

void* HeadlessToolkit::AllocMovable(std::size_t size) {
  if (failAlloc) return nullptr;
  Movable* block = new (std::nothrow) Movable();
  if (block == nullptr) return nullptr;
  block->bytes.assign(size, 0);
  ++movableBlocks;
  return block;
}

void* HeadlessToolkit::LockMovable(void* memory) {
  if (failLock || memory == nullptr) return nullptr;
  return static_cast<Movable*>(memory)->bytes.data();
}

void HeadlessToolkit::FreeMovable(void* memory) {
  if (memory == nullptr) return;
  delete static_cast<Movable*>(memory);
  --movableBlocks;
}

void HeadlessToolkit::MessageBox(Window*, const std::string& text, const std::string& caption, MessageIcon icon) {
  messageBoxes.push_back(text);
  messageBoxCaptions.push_back(caption);
  messageBoxIcons.push_back(icon);
}

Window* HeadlessToolkit::HostWindow(uintptr_t handle) {
  if (handle == 0 || std::find(missingHosts.begin(), missingHosts.end(), handle) != missingHosts.end()) return nullptr;
  hosts.push_back(std::make_unique<HeadlessWindow>("host", nullptr, static_cast<int>(handle), style::kVisible, nullptr));
  return hosts.back().get();
}

Window* HeadlessToolkit::AddTabPage(Window& tabControl, const std::string& label, Point pageSize) {
  auto* tabs = dynamic_cast<HeadlessWindow*>(&tabControl);
  if (tabs == nullptr) return nullptr;
  const Rect at = tabs->WindowRect();
  const int width = std::max(at.Width(), pageSize.x + 2 * tabBorder);
  const int height = std::max(at.Height(), pageSize.y + tabStrip + 2 * tabBorder);
  tabs->Place(Rect{at.left, at.top, at.left + width, at.top + height});
  auto page = std::make_unique<HeadlessWindow>("tab-page", tabs, 0, style::kChild | style::kVisible, nullptr);
  page->SetText(label);
  page->Place(Rect{tabBorder, tabStrip + tabBorder, width - tabBorder, height - tabBorder});
  return tabs->AddChild(std::move(page));
}

intptr_t HeadlessToolkit::DialogFromTemplate(const void* dialogTemplate, std::size_t size, Window* parent,
                                             MessageHandler& handler, bool modal) {
  if (dialogTemplate == nullptr) return modal ? -1 : 0;
  const unsigned char* bytes = static_cast<const unsigned char*>(dialogTemplate);
  lastTemplate.assign(bytes, bytes + size);
  if (!ReadDialogTemplate(dialogTemplate, size, lastDialog)) return modal ? -1 : 0;
  auto* owner = dynamic_cast<HeadlessWindow*>(parent);
  const bool child = (lastDialog.style & style::kChild) != 0 && owner != nullptr;
  auto dialog = std::make_unique<HeadlessWindow>("#32770", owner, 0, lastDialog.style, &handler);
  dialog->SetText(lastDialog.caption);
  if (!lastDialog.face.empty()) dialog->SetFont(Font{lastDialog.face, lastDialog.pointSize});
  dialog->Place(MapDialogRect(*dialog, Rect{0, 0, lastDialog.cx, lastDialog.cy}));
  // As the window system does: the window, then its template controls, then the initialisation.
  dialog->SendMessage(msg::kCreate, 0, 0);
  for (const DialogTemplateItem& item : lastDialog.items) {
    Window* control = CreateControl(item.className, item.caption, item.style, item.exStyle,
                                    Rect{item.x, item.y, item.x + item.cx, item.y + item.cy}, dialog.get(), item.id);
    if (control != nullptr) {
      control->SetWindowPos(MapDialogRect(*dialog, Rect{item.x, item.y, item.x + item.cx, item.y + item.cy}));
    }
  }
  dialog->SendMessage(msg::kInitDialog, 0, 0);
  if (child) {
    owner->AddChild(std::move(dialog));
    return 1;
  }
  if (!modal) {
    modeless.push_back(std::move(dialog));
    return 1;
  }
  if (onModal && !dialog->Ended()) onModal(*dialog);
  const int result = dialog->Ended() ? dialog->Result() : kIdCancel;
  dialog->DestroyWindow();
  return result;
}

Window* HeadlessToolkit::CreateControl(const std::string& className, const std::string& caption, uint32_t style,
                                       uint32_t, const Rect& rect, Window* parent, int id) {
  HeadlessWindow* owner = dynamic_cast<HeadlessWindow*>(parent);
  if (owner == nullptr || Listed(failCreate, className)) return nullptr;
  auto control = std::make_unique<HeadlessWindow>(className, owner, id, style, nullptr);
  control->SetText(caption);
  control->Place(rect);
  if (Listed(failMove, className)) control->RefuseMoves();
  return owner->AddChild(std::move(control));
}

Window* HeadlessToolkit::CreateCustomWindow(Window* parent, const Rect& rect, int id, MessageHandler& handler) {
  auto window = std::make_unique<HeadlessWindow>("custom", dynamic_cast<HeadlessWindow*>(parent), id,
                                                 style::kChild | style::kVisible, &handler);
  window->Place(rect);
  HeadlessWindow* made = window.get();
  if (auto* owner = dynamic_cast<HeadlessWindow*>(parent)) {
    owner->AddChild(std::move(window));
  } else {
    modeless.push_back(std::move(window));
  }
  made->SendMessage(msg::kCreate, 0, 0);
  return made;
}

Point HeadlessToolkit::ClientToScreen(const Window& window, Point point) {
  for (const auto* at = dynamic_cast<const HeadlessWindow*>(&window); at != nullptr;
       at = dynamic_cast<const HeadlessWindow*>(at->GetParent())) {
    point.x += at->WindowRect().left;
    point.y += at->WindowRect().top;
  }
  return point;
}

void HeadlessToolkit::HookControl(Window& control, MessageHandler& handler) {
  if (auto* window = dynamic_cast<HeadlessWindow*>(&control)) window->SetHook(&handler);
}

Window* HeadlessToolkit::CreatePopupList(Window&, const Rect& screen, const std::vector<std::string>& entries,
                                         int selected, MessageHandler& handler) {
  auto popup = std::make_unique<HeadlessWindow>("popup-list", nullptr, 0, style::kVisible, &handler);
  popup->Place(screen);
  popup->entries = entries;
  popup->selected = selected;
  popups.push_back(popup.get());
  modeless.push_back(std::move(popup));
  return popups.back();
}

Window* HeadlessToolkit::CreatePopupCalendar(Window&, const Rect& screen, const DateTime& date,
                                             MessageHandler& handler) {
  auto popup = std::make_unique<HeadlessWindow>("popup-calendar", nullptr, 0, style::kVisible, &handler);
  popup->Place(screen);
  popup->SetDateTime(date);
  popups.push_back(popup.get());
  modeless.push_back(std::move(popup));
  return popups.back();
}

bool HeadlessToolkit::FileOpenDialog(Window*, const std::string& filter, std::string& path) {
  dialogsShown.push_back("file " + filter);
  if (accept) path = filePath;
  return accept;
}

bool HeadlessToolkit::FolderDialog(Window*, const std::string& title, std::string& path) {
  dialogsShown.push_back("folder " + title);
  if (accept) path = folderPath;
  return accept;
}

bool HeadlessToolkit::ColourDialog(Window*, Colour& value) {
  dialogsShown.push_back("colour");
  if (accept) value = colour;
  return accept;
}

bool HeadlessToolkit::FontDialog(Window*, Font& value) {
  dialogsShown.push_back("font");
  if (accept) value = font;
  return accept;
}

namespace {

std::string Describe(const Rect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

std::string Describe(Colour c) {
  return "#" + std::to_string(c.Red()) + "." + std::to_string(c.Green()) + "." + std::to_string(c.Blue());
}

}  // namespace

void RecordingSurface::FillRect(const Rect& rect, Colour colour) {
  mOperations.push_back("fill " + Describe(rect) + " " + Describe(colour));
}
void RecordingSurface::FrameRect(const Rect& rect, Colour colour) {
  mOperations.push_back("frame " + Describe(rect) + " " + Describe(colour));
}
void RecordingSurface::Line(Point from, Point to, Colour colour) {
  mOperations.push_back("line " + Describe(Rect{from.x, from.y, to.x, to.y}) + " " + Describe(colour));
}
void RecordingSurface::SetFont(const Font& font) {
  mOperations.push_back("font " + font.face + (font.weight >= 700 ? " bold" : ""));
}
void RecordingSurface::DrawText(const Rect& rect, const std::string& text, Colour colour, uint32_t flags) {
  mOperations.push_back("text " + Describe(rect) + " " + Describe(colour) + " " + std::to_string(flags) + " [" + text +
                        "]");
}
Point RecordingSurface::TextExtent(const std::string& text) {
  return Point{static_cast<int>(text.size()) * mCharWidth, mCharHeight};
}
void RecordingSurface::FocusRect(const Rect& rect) { mOperations.push_back("focus " + Describe(rect)); }
void RecordingSurface::PushButton(const Rect& rect, bool pressed) {
  mOperations.push_back(std::string("button ") + Describe(rect) + (pressed ? " pressed" : ""));
}
void RecordingSurface::DropArrow(const Rect& rect, bool pressed) {
  mOperations.push_back(std::string("arrow ") + Describe(rect) + (pressed ? " pressed" : ""));
}
std::unique_ptr<Surface> RecordingSurface::CreateBuffer(int width, int height) {
  mOperations.push_back("buffer " + std::to_string(width) + "x" + std::to_string(height));
  return std::make_unique<RecordingSurface>(mCharWidth, mCharHeight);
}
void RecordingSurface::Blit(Surface& buffer, Point at) {
  auto& recorded = static_cast<RecordingSurface&>(buffer);
  mOperations.insert(mOperations.end(), recorded.mOperations.begin(), recorded.mOperations.end());
  mOperations.push_back("blit " + std::to_string(at.x) + "," + std::to_string(at.y));
}
std::vector<std::string> RecordingSurface::Find(const std::string& part) const {
  std::vector<std::string> found;
  for (const std::string& operation : mOperations) {
    if (operation.find(part) != std::string::npos) found.push_back(operation);
  }
  return found;
}

Rect HeadlessToolkit::MapDialogRect(const Window&, const Rect& units) {
  return Rect{units.left * charWidth / 4, units.top * charHeight / 8, units.right * charWidth / 4,
              units.bottom * charHeight / 8};
}

}  // namespace headless
}  // namespace ui
