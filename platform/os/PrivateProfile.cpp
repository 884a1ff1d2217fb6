#include "PrivateProfile.h"

#include "ProfileFile.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

namespace os {

namespace {

std::mutex gWriteMutex;  // one read-modify-write at a time within the process

struct IniLines {
  std::vector<std::string> lines;  // without their line ends
  std::string newline = "\n";      // the file's own line end, kept for the lines we add
};

IniLines SplitLines(const std::string& content) {
  IniLines ini;
  if (content.find("\r\n") != std::string::npos) ini.newline = "\r\n";
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ini.lines.push_back(std::move(line));
    start = end + 1;
  }
  return ini;
}

std::string Trim(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && (text[first] == ' ' || text[first] == '\t')) ++first;
  while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t')) --last;
  return text.substr(first, last - first);
}

bool SameName(const std::string& a, const char* b) {
  const std::size_t length = std::strlen(b);
  if (a.size() != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// The section name of a "[name]" line, or false for any other line.
bool SectionOf(const std::string& line, std::string& name) {
  const std::string trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() != '[') return false;
  const std::size_t close = trimmed.find(']');
  if (close == std::string::npos) return false;
  name = Trim(trimmed.substr(1, close - 1));
  return true;
}

// The key of a "key=value" line; false for lines without '='.
bool KeyOf(const std::string& line, std::string& key, std::string& value) {
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos) return false;
  key = Trim(line.substr(0, equals));
  value = Trim(line.substr(equals + 1));
  return true;
}

// Lines [begin, end) of the first section with that name; begin is the header line. False if none.
bool FindSection(const std::vector<std::string>& lines, const char* section, std::size_t& begin, std::size_t& end) {
  std::string name;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!SectionOf(lines[i], name) || !SameName(name, section)) continue;
    begin = i;
    end = i + 1;
    while (end < lines.size() && !SectionOf(lines[end], name)) ++end;
    return true;
  }
  return false;
}

// Index of the key's line inside the section, or `end` when it has none.
std::size_t FindKey(const std::vector<std::string>& lines, std::size_t begin, std::size_t end, const char* key) {
  std::string name, value;
  for (std::size_t i = begin + 1; i < end; ++i) {
    if (KeyOf(lines[i], name, value) && SameName(name, key)) return i;
  }
  return end;
}

// A value in a matching pair of quotes, without them.
std::string Unquoted(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

bool HasLineBreak(const char* text) { return std::strpbrk(text, "\r\n") != nullptr; }

}  // namespace

ProfileText::ProfileText(const std::string& content) : mLines(SplitLines(content).lines) {}

bool ProfileText::ReadFile(const char* fileName) {
  std::string content;
  const bool read = fileName != nullptr && ReadWholeFile(fileName, content);
  mLines = SplitLines(content).lines;
  return read;
}

std::string ProfileText::Get(const char* section, const char* key, const char* defaultValue) const {
  std::size_t begin = 0, end = 0;
  if (section != nullptr && key != nullptr && FindSection(mLines, section, begin, end)) {
    const std::size_t line = FindKey(mLines, begin, end, key);
    std::string name, value;
    if (line < end && KeyOf(mLines[line], name, value)) return Unquoted(value);
  }
  // As Windows gives a default: without its trailing spaces.
  std::string fallback = defaultValue != nullptr ? defaultValue : "";
  while (!fallback.empty() && fallback.back() == ' ') fallback.pop_back();
  return fallback;
}

std::vector<std::string> ProfileText::SectionNames() const {
  std::vector<std::string> names;
  std::string name;
  for (const std::string& line : mLines) {
    if (!SectionOf(line, name)) continue;
    bool seen = false;
    for (const std::string& known : names) seen = seen || SameName(known, name.c_str());
    if (!seen) names.push_back(name);
  }
  return names;
}

std::vector<std::pair<std::string, std::string>> ProfileText::Section(const char* section) const {
  std::vector<std::pair<std::string, std::string>> keys;
  std::size_t begin = 0, end = 0;
  if (section == nullptr || !FindSection(mLines, section, begin, end)) return keys;
  std::string name, value;
  for (std::size_t i = begin + 1; i < end; ++i) {
    if (KeyOf(mLines[i], name, value)) keys.emplace_back(name, Unquoted(value));
  }
  return keys;
}

std::size_t GetPrivateProfileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                                    std::size_t size, const char* fileName) {
  if (buffer == nullptr || size == 0) return 0;
  ProfileText text;
  text.ReadFile(fileName);
  const std::string result = text.Get(section, key, defaultValue);
  const std::size_t count = result.size() < size - 1 ? result.size() : size - 1;
  std::memcpy(buffer, result.data(), count);
  buffer[count] = '\0';
  return count;
}

std::vector<std::string> GetPrivateProfileSectionNames(const char* fileName) {
  ProfileText text;
  text.ReadFile(fileName);
  return text.SectionNames();
}

const std::string* FindPrivateProfileKey(const std::vector<std::pair<std::string, std::string>>& keys,
                                         const char* key) {
  if (key == nullptr) return nullptr;
  for (const auto& entry : keys) {
    if (SameName(entry.first, key)) return &entry.second;
  }
  return nullptr;
}

std::vector<std::pair<std::string, std::string>> GetPrivateProfileSection(const char* section, const char* fileName) {
  ProfileText text;
  text.ReadFile(fileName);
  return text.Section(section);
}

namespace {

// False for arguments no file can hold.
bool Writable(const char* section, const char* key) {
  if (section == nullptr || *section == '\0') return false;
  if (HasLineBreak(section) || std::strchr(section, ']') != nullptr) return false;
  return key == nullptr || (*key != '\0' && !HasLineBreak(key) && std::strchr(key, '=') == nullptr);
}

// One key's change in the lines, as WritePrivateProfileString describes it.
void Edit(IniLines& ini, const char* section, const char* key, const char* value) {
  std::string cleanValue;
  if (value != nullptr) {
    cleanValue = value;
    for (char& c : cleanValue) {
      if (c == '\r' || c == '\n') c = ' ';
    }
  }
  std::size_t begin = 0, end = 0;
  const bool found = FindSection(ini.lines, section, begin, end);
  if (key == nullptr) {
    if (!found) return;
    ini.lines.erase(ini.lines.begin() + static_cast<std::ptrdiff_t>(begin),
                    ini.lines.begin() + static_cast<std::ptrdiff_t>(end));
  } else if (!found) {
    if (value == nullptr) return;
    ini.lines.push_back(std::string("[") + section + "]");
    ini.lines.push_back(std::string(key) + "=" + cleanValue);
  } else {
    const std::size_t line = FindKey(ini.lines, begin, end, key);
    if (line < end) {
      if (value == nullptr) {
        ini.lines.erase(ini.lines.begin() + static_cast<std::ptrdiff_t>(line));
      } else {
        ini.lines[line] = std::string(key) + "=" + cleanValue;
      }
    } else if (value != nullptr) {
      // After the section's last non-blank line, so that a blank line before the next section stays.
      std::size_t insert = end;
      while (insert > begin + 1 && Trim(ini.lines[insert - 1]).empty()) --insert;
      ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(insert), std::string(key) + "=" + cleanValue);
    }
  }
}

// Reads the file, applies `edit` to its lines and writes it back once.
template <typename F>
bool Rewrite(const char* fileName, F edit) {
  std::lock_guard<std::mutex> guard(gWriteMutex);
  std::string content;
  // A file that exists but cannot be read must not be replaced by one holding only these keys.
  if (!ReadWholeFile(fileName, content) && FileExists(fileName)) return false;
  IniLines ini = SplitLines(content);
  edit(ini);
  std::string output;
  for (const std::string& line : ini.lines) output += line + ini.newline;
  return WriteReplacing(fileName, output);
}

}  // namespace

bool WritePrivateProfileString(const char* section, const char* key, const char* value, const char* fileName) {
  if (fileName == nullptr || *fileName == '\0' || !Writable(section, key)) return false;
  return Rewrite(fileName, [&](IniLines& ini) { Edit(ini, section, key, value); });
}

bool WritePrivateProfileStrings(const char* fileName, const std::vector<ProfileEntry>& entries) {
  if (fileName == nullptr || *fileName == '\0') return false;
  for (const ProfileEntry& entry : entries) {
    if (!Writable(entry.section.c_str(), entry.key.c_str())) return false;
  }
  return Rewrite(fileName, [&](IniLines& ini) {
    for (const ProfileEntry& entry : entries) Edit(ini, entry.section.c_str(), entry.key.c_str(), entry.value.c_str());
  });
}

}  // namespace os
