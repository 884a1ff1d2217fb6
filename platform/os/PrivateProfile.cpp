#include "PrivateProfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
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

// False when the file is missing, is no regular file or cannot be read.
bool ReadWholeFile(const char* fileName, std::string& content) {
  content.clear();
  const int fd = open(fileName, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  char chunk[4096];
  while (ok) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    content.append(chunk, static_cast<std::size_t>(n));
  }
  close(fd);
  return ok;
}

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
bool FindSection(const IniLines& ini, const char* section, std::size_t& begin, std::size_t& end) {
  std::string name;
  for (std::size_t i = 0; i < ini.lines.size(); ++i) {
    if (!SectionOf(ini.lines[i], name) || !SameName(name, section)) continue;
    begin = i;
    end = i + 1;
    while (end < ini.lines.size() && !SectionOf(ini.lines[end], name)) ++end;
    return true;
  }
  return false;
}

// Index of the key's line inside the section, or `end` when it has none.
std::size_t FindKey(const IniLines& ini, std::size_t begin, std::size_t end, const char* key) {
  std::string name, value;
  for (std::size_t i = begin + 1; i < end; ++i) {
    if (KeyOf(ini.lines[i], name, value) && SameName(name, key)) return i;
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

bool WriteReplacing(const char* fileName, const std::string& content) {
  const std::string target(fileName);
  std::string pattern = target + ".XXXXXX";
  std::vector<char> tempName(pattern.begin(), pattern.end());
  tempName.push_back('\0');
  const int fd = mkstemp(tempName.data());
  if (fd < 0) return false;

  struct stat existing {};
  const mode_t mode = stat(fileName, &existing) == 0 ? (existing.st_mode & 07777) : 0644;
  bool ok = fchmod(fd, mode) == 0;
  std::size_t written = 0;
  while (ok && written < content.size()) {
    const ssize_t n = write(fd, content.data() + written, content.size() - written);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) written += static_cast<std::size_t>(n);
  }
  ok = ok && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  ok = ok && std::rename(tempName.data(), fileName) == 0;
  if (!ok) std::remove(tempName.data());
  return ok;
}

}  // namespace

std::size_t GetPrivateProfileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                                    std::size_t size, const char* fileName) {
  if (buffer == nullptr || size == 0) return 0;
  std::string result = defaultValue != nullptr ? defaultValue : "";
  std::string content;
  if (section != nullptr && key != nullptr && fileName != nullptr && ReadWholeFile(fileName, content)) {
    const IniLines ini = SplitLines(content);
    std::size_t begin = 0, end = 0;
    if (FindSection(ini, section, begin, end)) {
      const std::size_t line = FindKey(ini, begin, end, key);
      std::string name, value;
      if (line < end && KeyOf(ini.lines[line], name, value)) result = Unquoted(value);
    }
  }
  const std::size_t count = result.size() < size - 1 ? result.size() : size - 1;
  std::memcpy(buffer, result.data(), count);
  buffer[count] = '\0';
  return count;
}

std::vector<std::string> GetPrivateProfileSectionNames(const char* fileName) {
  std::vector<std::string> names;
  std::string content;
  if (fileName == nullptr || !ReadWholeFile(fileName, content)) return names;
  std::string name;
  for (const std::string& line : SplitLines(content).lines) {
    if (!SectionOf(line, name)) continue;
    bool seen = false;
    for (const std::string& known : names) seen = seen || SameName(known, name.c_str());
    if (!seen) names.push_back(name);
  }
  return names;
}

std::vector<std::pair<std::string, std::string>> GetPrivateProfileSection(const char* section, const char* fileName) {
  std::vector<std::pair<std::string, std::string>> keys;
  std::string content;
  if (section == nullptr || fileName == nullptr || !ReadWholeFile(fileName, content)) return keys;
  const IniLines ini = SplitLines(content);
  std::size_t begin = 0, end = 0;
  if (!FindSection(ini, section, begin, end)) return keys;
  std::string name, value;
  for (std::size_t i = begin + 1; i < end; ++i) {
    if (KeyOf(ini.lines[i], name, value)) keys.emplace_back(name, Unquoted(value));
  }
  return keys;
}

bool WritePrivateProfileString(const char* section, const char* key, const char* value, const char* fileName) {
  if (section == nullptr || *section == '\0' || fileName == nullptr || *fileName == '\0') return false;
  if (HasLineBreak(section) || std::strchr(section, ']') != nullptr) return false;
  if (key != nullptr && (*key == '\0' || HasLineBreak(key) || std::strchr(key, '=') != nullptr)) return false;

  std::string cleanValue;
  if (value != nullptr) {
    cleanValue = value;
    for (char& c : cleanValue) {
      if (c == '\r' || c == '\n') c = ' ';
    }
  }

  std::lock_guard<std::mutex> guard(gWriteMutex);
  std::string content;
  struct stat existing {};
  // A file that exists but cannot be read must not be replaced by one holding only this key.
  if (!ReadWholeFile(fileName, content) && stat(fileName, &existing) == 0) return false;
  IniLines ini = SplitLines(content);

  std::size_t begin = 0, end = 0;
  const bool found = FindSection(ini, section, begin, end);
  if (key == nullptr) {
    if (!found) return true;
    ini.lines.erase(ini.lines.begin() + static_cast<std::ptrdiff_t>(begin),
                    ini.lines.begin() + static_cast<std::ptrdiff_t>(end));
  } else if (!found) {
    if (value == nullptr) return true;
    ini.lines.push_back(std::string("[") + section + "]");
    ini.lines.push_back(std::string(key) + "=" + cleanValue);
  } else {
    const std::size_t line = FindKey(ini, begin, end, key);
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

  std::string output;
  for (const std::string& line : ini.lines) output += line + ini.newline;
  return WriteReplacing(fileName, output);
}

}  // namespace os
