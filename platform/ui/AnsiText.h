#pragma once
// The dialogs' narrow text is in the ANSI code page of the platform they were written for
// (Windows-1252): the bytes of the configuration file shown as they are. These convert it to the
// UTF-16 of dialog templates and to the UTF-8 of the desktop, and back.

#include <string>

namespace ui {

std::u16string AnsiToUtf16(const std::string& text);
std::string Utf16ToAnsi(const std::u16string& text);  // characters outside the code page become '?'
std::string AnsiToUtf8(const std::string& text);
std::string Utf8ToAnsi(const std::string& text);
// A file name as the file system holds it (UTF-8 here), for showing among the dialogs' ANSI text;
// bytes that are not UTF-8 are taken as ANSI already. The name itself travels unconverted.
std::string FileNameToAnsi(const std::string& name);

}  // namespace ui
