#include "DialogTemplate.h"

#include <cstring>

#include "AnsiText.h"
#include "ControlClasses.h"

namespace ui {

namespace {

// Little-endian fields within the template's bounds; every read fails once one ran past the end.
class Reader {
 public:
  Reader(const void* bytes, std::size_t size) : mBytes(static_cast<const unsigned char*>(bytes)), mSize(size) {}
  bool ok() const { return mOk; }
  uint16_t Word() {
    if (mAt + 2 > mSize) return Fail();
    const uint16_t value = static_cast<uint16_t>(mBytes[mAt] | (mBytes[mAt + 1] << 8));
    mAt += 2;
    return value;
  }
  uint32_t DWord() {
    const uint32_t low = Word();
    return low | (static_cast<uint32_t>(Word()) << 16);
  }
  int SignedWord() { return static_cast<int16_t>(Word()); }
  std::u16string String() {
    std::u16string text;
    for (char16_t c = Word(); mOk && c != 0; c = Word()) text += c;
    return text;
  }
  // A field that is either 0xFFFF and an ordinal, or a terminated string.
  void OrdinalOrString(int& ordinal, std::u16string& text) {
    const std::size_t start = mAt;
    if (Word() == 0xFFFF) {
      ordinal = Word();
      return;
    }
    mAt = start;
    ordinal = 0;
    text = String();
  }
  void Skip(std::size_t bytes) {
    if (mAt + bytes > mSize) Fail();
    else mAt += bytes;
  }
  void Align4() { Skip((4 - mAt % 4) % 4); }

 private:
  uint16_t Fail() {
    mOk = false;
    mAt = mSize;
    return 0;
  }
  const unsigned char* mBytes;
  std::size_t mSize;
  std::size_t mAt = 0;
  bool mOk = true;
};

}  // namespace

bool ReadDialogTemplate(const void* bytes, std::size_t size, DialogTemplate& out) {
  if (bytes == nullptr) return false;
  Reader in(bytes, size);
  out = DialogTemplate{};
  out.style = in.DWord();
  out.exStyle = in.DWord();
  const int count = in.Word();
  out.x = in.SignedWord();
  out.y = in.SignedWord();
  out.cx = in.SignedWord();
  out.cy = in.SignedWord();
  int ordinal = 0;
  std::u16string text;
  in.OrdinalOrString(ordinal, text);  // the menu
  in.OrdinalOrString(ordinal, text);  // the window class
  out.caption = Utf16ToAnsi(in.String());
  if ((out.style & kDialogSetFont) != 0) {
    out.pointSize = in.Word();
    out.face = Utf16ToAnsi(in.String());
  }
  for (int i = 0; i < count && in.ok(); ++i) {
    in.Align4();
    DialogTemplateItem item;
    item.style = in.DWord();
    item.exStyle = in.DWord();
    item.x = in.SignedWord();
    item.y = in.SignedWord();
    item.cx = in.SignedWord();
    item.cy = in.SignedWord();
    item.id = in.Word();
    std::u16string name;
    in.OrdinalOrString(item.classCode, name);
    if (item.classCode != 0) {
      const char* known = ClassNameOfCode(item.classCode);
      item.className = known != nullptr ? known : "";
    } else {
      item.className = Utf16ToAnsi(name);
    }
    int captionOrdinal = 0;
    std::u16string caption;
    in.OrdinalOrString(captionOrdinal, caption);
    item.caption = Utf16ToAnsi(caption);
    const int creationData = in.Word();  // its size counts the size word itself
    if (creationData > 2) in.Skip(static_cast<std::size_t>(creationData - 2));
    out.items.push_back(item);
  }
  return in.ok();
}

}  // namespace ui
