#pragma once
// The control classes the dialogs may use, by their class codes. Codes 128 to 133 are also the
// ordinals by which the platform's dialog templates name those six classes.

#include <cstddef>

namespace ui {

struct ControlClass {
  int code;
  const char* name;
};

constexpr ControlClass kControlClasses[] = {
    {128, "BUTTON"},          {129, "EDIT"},           {130, "STATIC"},           {131, "LISTBOX"},
    {132, "SCROLLBAR"},       {133, "COMBOBOX"},       {134, "msctls_updown32"}, {135, "msctls_progress32"},
    {136, "msctls_trackbar32"}, {137, "msctls_hotkey32"}, {138, "SysListView32"},  {139, "SysTreeView32"},
    {140, "SysTabControl32"}, {141, "SysAnimate32"},   {142, "RICHEDIT"},         {143, "SysDateTimePick32"},
    {144, "SysMonthCal32"},   {145, "SysIPAddress32"}, {146, "ComboBoxEx32"},
};

// The class of a code, or null for a code not in the table.
inline const char* ClassNameOfCode(int code) {
  for (const ControlClass& entry : kControlClasses) {
    if (entry.code == code) return entry.name;
  }
  return nullptr;
}

}  // namespace ui
