#include "CDynDialogEx.h"

#include <cstring>

#include "ui/AnsiText.h"
#include "ui/ControlClasses.h"

namespace {

constexpr uint32_t kButtonStyle = 0x50010000;  // child, visible, tab stop

std::size_t Align4(std::size_t size) { return (size + 3) & ~static_cast<std::size_t>(3); }

// Little-endian fields into the template.
class Bytes {
 public:
  void Word(uint16_t value) {
    mBytes.push_back(static_cast<unsigned char>(value & 0xFF));
    mBytes.push_back(static_cast<unsigned char>(value >> 8));
  }
  void DWord(uint32_t value) {
    Word(static_cast<uint16_t>(value & 0xFFFF));
    Word(static_cast<uint16_t>(value >> 16));
  }
  void Text(const std::u16string& text) {
    for (char16_t c : text) Word(c);
    Word(0);
  }
  void Align() { mBytes.resize(Align4(mBytes.size()), 0); }
  std::vector<unsigned char>& Get() { return mBytes; }

 private:
  std::vector<unsigned char> mBytes;
};

}  // namespace

CDynDialogEx::CDynDialogEx(ui::Window* parent) : mParent(parent) {}

CDynDialogEx::~CDynDialogEx() {
  // Last first, then the font if the dialog made it.
  while (!mItems.empty()) mItems.pop_back();
  mOwnedFont.reset();
}

int CDynDialogEx::Add(const std::string& className, int classCode, const std::string& caption, uint32_t style,
                      uint32_t exStyle, const ui::Rect* rect, BoundVariable bound, int id, bool byName,
                      bool inTemplate) {
  ui::Rect placed = rect != nullptr ? *rect : ui::Rect{10, mNextY, byName ? 120 + 150 : 120, mNextY + 12};
  mNextY += 12;
  // The dialog grows to hold the control, with a margin of 5 to the right and below.
  if (placed.left < mHeader.x) mHeader.x = static_cast<int16_t>(placed.left);
  if (placed.top < mHeader.y) mHeader.y = static_cast<int16_t>(placed.top);
  if (placed.right > mHeader.cx) mHeader.cx = static_cast<int16_t>(placed.right + 5);
  if (placed.bottom > mHeader.cy) mHeader.cy = static_cast<int16_t>(placed.bottom + 5);
  mItems.push_back(
      std::make_unique<CDynDialogItemEx>(className, classCode, caption, style, exStyle, placed, bound, id, inTemplate));
  if (inTemplate) ++mHeader.count;
  return mItems.back()->GetControlId();
}

int CDynDialogEx::AddControl(int classCode, const std::string& caption, uint32_t style, uint32_t exStyle,
                             const ui::Rect* rect, BoundVariable bound, int id) {
  const char* name = ui::ClassNameOfCode(classCode);
  return Add(name != nullptr ? name : "", name != nullptr ? classCode : 0, caption, style, exStyle, rect, bound, id,
             false, false);
}

int CDynDialogEx::AddControlByName(const std::string& className, const std::string& caption, uint32_t style,
                                   uint32_t exStyle, const ui::Rect* rect, BoundVariable bound, int id) {
  return Add(className, CDynDialogItemEx::ClassCodeOf(className), caption, style, exStyle, rect, bound, id, true,
             false);
}

int CDynDialogEx::AddTemplateControl(const std::string& className, const std::string& caption, uint32_t style,
                                     uint32_t exStyle, const ui::Rect* rect, int id) {
  return Add(className, CDynDialogItemEx::ClassCodeOf(className), caption, style, exStyle, rect, {}, id, true, true);
}

std::vector<unsigned char> CDynDialogEx::TemplateBytes(const std::string& face) const {
  Bytes out;
  out.DWord(mHeader.style);
  out.DWord(mHeader.exStyle);
  out.Word(mHeader.count);
  out.Word(static_cast<uint16_t>(mHeader.x));
  out.Word(static_cast<uint16_t>(mHeader.y));
  out.Word(static_cast<uint16_t>(mHeader.cx));
  out.Word(static_cast<uint16_t>(mHeader.cy));
  out.Word(0);  // no menu
  out.Word(0);  // the default class
  out.Text(ui::AnsiToUtf16(mCaption));
  out.Word(mPointSize);
  out.Text(ui::AnsiToUtf16(face));
  for (const auto& item : mItems) {
    if (!item->IsInTemplate()) continue;
    out.Align();
    const ui::Rect& r = item->GetRect();
    out.DWord(item->GetStyle());
    out.DWord(item->GetExStyle());
    out.Word(static_cast<uint16_t>(r.left));
    out.Word(static_cast<uint16_t>(r.top));
    out.Word(static_cast<uint16_t>(r.Width()));
    out.Word(static_cast<uint16_t>(r.Height()));
    out.Word(static_cast<uint16_t>(item->GetControlId()));
    out.Word(0xFFFF);
    out.Word(static_cast<uint16_t>(item->GetType()));
    out.Text(ui::AnsiToUtf16(item->GetCaption()));
    out.Word(0);  // no creation data
  }
  return std::move(out.Get());
}

intptr_t CDynDialogEx::DoModal() {
  ui::Toolkit* toolkit = ui::GetToolkit();
  if (toolkit == nullptr) return -1;
  // OK and Cancel, when the dialog asks for them.
  if (mAddOkCancel) {
    mNextY += 6;
    const ui::Rect ok{10, mNextY, 60, mNextY + 14};
    const ui::Rect cancel{65, mNextY, 115, mNextY + 14};
    AddControlByName("BUTTON", "OK", kButtonStyle, 0, &ok, {}, ui::kIdOk);
    AddControlByName("BUTTON", "Annuleren", kButtonStyle, 0, &cancel, {}, ui::kIdCancel);
  }
  // The font: the one set, else the toolkit's dialog font.
  const ui::Font* font = mFont;
  if (font == nullptr && mParent != nullptr) font = mParent->GetFont();
  if (font == nullptr && toolkit->GetMainWindow() != nullptr) font = toolkit->GetMainWindow()->GetFont();
  const std::string face = font != nullptr ? font->face : "MS Sans Serif";
  const int height = font != nullptr ? font->height : 8;
  if (mPointSize == 0) mPointSize = static_cast<uint16_t>(height);
  // 3. and 5. (the bytes are written whole, then copied into the platform's memory)
  const std::vector<unsigned char> bytes = TemplateBytes(face);
  // The template in movable memory, as the toolkit takes it.
  void* memory = toolkit->AllocMovable(bytes.size());
  if (memory == nullptr) {
    toolkit->MessageBox(mParent, "CDynDialogEx::DoModal() : LocalAllock Failed");
    return -1;
  }
  void* locked = toolkit->LockMovable(memory);
  if (locked == nullptr) {
    toolkit->FreeMovable(memory);
    toolkit->MessageBox(mParent, "CDynDialogEx::DoModal() : LocalLock Failed");
    return -1;
  }
  std::memcpy(locked, bytes.data(), bytes.size());
  // Shown, modal or not.
  const intptr_t result = toolkit->DialogFromTemplate(locked, bytes.size(), mParent, *this, !mModeless);
  // The template's memory goes once the dialog is made.
  toolkit->FreeMovable(memory);
  if (!mModeless) ForgetWindow();
  return result;
}

void CDynDialogEx::ForgetWindow() {
  for (const auto& item : mItems) item->Attach(nullptr);
  mWindow = nullptr;
}

intptr_t CDynDialogEx::OnMessage(ui::Window& self, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case ui::msg::kCreate:
      OnCreate(self);
      return 0;
    case ui::msg::kInitDialog:
      OnInitDialog(self);
      return 1;
    case ui::msg::kCommand:
      OnCommand(self, wParam, lParam);
      return 0;
    case ui::msg::kDestroy:
      mWindow = nullptr;
      return 0;
    default:
      return 0;
  }
}

void CDynDialogEx::OnCreate(ui::Window& self) {
  mWindow = &self;
  ui::Toolkit& toolkit = *ui::GetToolkit();
  if (mFont == nullptr) {
    mOwnedFont = std::make_unique<ui::Font>(ui::Font{"MS Sans Serif", 8});
    mFont = mOwnedFont.get();
  }
  for (const auto& item : mItems) {
    if (item->IsInTemplate() || item->GetType() == 0) continue;
    if (!item->CreateEx(toolkit, self)) {
      toolkit.MessageBox(&self, "Failed to create DlgItem.");
      continue;
    }
    item->GetWindow()->SetFont(*mFont);
  }
}

void CDynDialogEx::OnInitDialog(ui::Window& self) {
  ui::Toolkit& toolkit = *ui::GetToolkit();
  for (const auto& item : mItems) {
    if (item->IsInTemplate()) {
      item->Attach(self.GetDlgItem(item->GetControlId()));  // made by the window system from the template
      continue;
    }
    if (item->GetWindow() == nullptr) continue;
    if (!item->GetWindow()->SetWindowPos(toolkit.MapDialogRect(self, item->GetRect()))) {
      toolkit.MessageBox(&self, "Failed SetWindowPos for control " + item->GetClassName() + ".");
    }
  }
  // The base initialisation: the values into the controls, and the dialog centred (a child
  // dialog stays where its parent put it).
  DoDataExchange(false);
  if ((mHeader.style & ui::style::kChild) == 0) self.CenterWindow();
}

void CDynDialogEx::OnCommand(ui::Window& self, uintptr_t wParam, intptr_t lParam) {
  const int id = static_cast<int>(wParam & 0xFFFF);
  if (id != ui::kIdOk && id != ui::kIdCancel) {
    if (id != 0 && mParent != nullptr) mParent->SendMessage(ui::msg::kCommand, wParam, lParam);
    return;
  }
  if (mModeless) {
    self.DestroyWindow();
    return;
  }
  if (id == ui::kIdOk) DoDataExchange(true);
  self.EndDialog(id);
}

void CDynDialogEx::DoDataExchange(bool save) {
  for (auto item = mItems.rbegin(); item != mItems.rend(); ++item) (*item)->DoDataExchange(save);
}
