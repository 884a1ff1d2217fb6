#pragma once
// .ini files read and written one key at a time, with the rules people rely on in Windows'
// private-profile functions:
// - section and key names match without regard to case; blanks around names and values are ignored;
// - lines may end in LF or CR LF; a value in a matching pair of quotes is read without them;
// - a write replaces one key and keeps every other line (comments, unknown keys and sections) as it
//   was and where it was; the file and the section are created by the first write to them.
// Unlike Windows, a write never leaves a torn file: the new file is written beside the old one and
// renamed over it; a temporary file left by a writer that was killed is removed by the next write.
// Writes within the process are serialised, so two threads or two cameras writing
// keys of one file never lose each other's keys. Any thread may call these.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace os {

// A whole .ini text read once and looked up as the functions below look up a file: for a reader of
// many keys, and for text that was never a file.
class ProfileText {
 public:
  ProfileText() = default;
  explicit ProfileText(const std::string& content);
  // False (and no lines) when the file is missing, is no regular file or cannot be read.
  bool ReadFile(const char* fileName);
  // The key's value, or `defaultValue` (null: "") without trailing spaces when the section or key
  // is missing.
  std::string Get(const char* section, const char* key, const char* defaultValue) const;
  std::vector<std::string> SectionNames() const;
  std::vector<std::pair<std::string, std::string>> Section(const char* section) const;

 private:
  std::vector<std::string> mLines;  // without their line ends
};

// Copies the key's value, or `defaultValue` (null: "", trailing spaces cut) when the file, section
// or key is missing, into `buffer`, cut to size - 1 characters and terminated. Returns the
// characters copied.
std::size_t GetPrivateProfileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                                    std::size_t size, const char* fileName);

// The names of the file's sections in file order (each once); empty when the file cannot be read.
std::vector<std::string> GetPrivateProfileSectionNames(const char* fileName);

// The section's keys and values in file order, read as GetPrivateProfileString reads them; empty
// when the file or the section is missing.
std::vector<std::pair<std::string, std::string>> GetPrivateProfileSection(const char* section, const char* fileName);

// The value of the first key of that name in a section read by GetPrivateProfileSection, matched
// as GetPrivateProfileString matches it; null when there is none.
const std::string* FindPrivateProfileKey(const std::vector<std::pair<std::string, std::string>>& keys,
                                         const char* key);

// Sets key=value in the section. A null value removes the key; a null key removes the section.
// Line breaks inside the value become blanks, so a value can never add lines of its own.
// False when the arguments are unusable or the file cannot be written; the old file then stays.
bool WritePrivateProfileString(const char* section, const char* key, const char* value, const char* fileName);

struct ProfileEntry {
  std::string section;
  std::string key;
  std::string value;
};
// Sets every key=value as WritePrivateProfileString does, in order, with one rewrite of the file.
// False, and the file untouched, when one entry is unusable or the file cannot be written.
bool WritePrivateProfileStrings(const char* fileName, const std::vector<ProfileEntry>& entries);

}  // namespace os
