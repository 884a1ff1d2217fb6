#pragma once
// Reads an in-memory dialog template in the platform's layout: the header (style, extended style,
// item count, position and size in dialog units), menu, class, caption, and with the set-font
// style the point size and face name; then each item at a 4-byte boundary (style, extended style,
// position, size, 16-bit id, class as 0xFFFF and an ordinal or as a name, caption, creation data).
// The toolkits build their dialogs from what this reads.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ui {

constexpr uint32_t kDialogSetFont = 0x00000040;

struct DialogTemplateItem {
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  int id = 0;
  int classCode = 0;      // the ordinal, 0 when the class was given by name
  std::string className;  // the name for the ordinal when it is a known class
  std::string caption;    // ANSI
};

struct DialogTemplate {
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::string caption;
  int pointSize = 0;
  std::string face;
  std::vector<DialogTemplateItem> items;
};

// False when the bytes end before the template does.
bool ReadDialogTemplate(const void* bytes, std::size_t size, DialogTemplate& out);

}  // namespace ui
