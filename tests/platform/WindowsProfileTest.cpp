// The project's own .ini reader beside Windows' GetPrivateProfileStringA on the same files: every
// difference is listed.

#include <windows.h>
// The system's ANSI function goes by a macro of our function's name.
#undef GetPrivateProfileString

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "os/PrivateProfile.h"

namespace {

struct Query {
  const char* section;
  const char* key;
  const char* defaultValue;
  std::size_t size;
};

struct Case {
  const char* name;
  const char* content;
  std::vector<Query> queries;
};

std::string Shown(const std::string& text) {
  std::string shown = "\"";
  for (char c : text) shown += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
  return shown + "\"";
}

TEST(WindowsProfile, ReadsAsWindowsReads) {
  const std::string longValue(300, 'x');
  const std::string longFile = "[S]\r\nLong=" + longValue + "\r\n";
  const std::vector<Case> cases = {
      {"names in any case, CR LF", "[General]\r\nKey=Value\r\n",
       {{"general", "KEY", "d", 64}, {"GENERAL", "key", "d", 64}, {"General", "Other", "d", 64}}},
      {"blanks and tabs around names and values", "  [ Cam A ]  \n  Width  =  1024  \n\tTab\t=\tv\t\nEmpty=\nBlank=   \n",
       {{"Cam A", "width", "d", 64}, {"Cam A", "Tab", "d", 64}, {"Cam A", "Empty", "d", 64}, {"Cam A", "Blank", "d", 64}}},
      {"quotes", "[Q]\nA=\"quoted\"\nB='single'\nC=\"unbalanced\nD=\"a\"b\"\nE=\" spaced \"\nF=\"\"\n",
       {{"Q", "A", "d", 64}, {"Q", "B", "d", 64}, {"Q", "C", "d", 64}, {"Q", "D", "d", 64}, {"Q", "E", "d", 64},
        {"Q", "F", "d", 64}}},
      {"comments", "; comment\n[S]\n;K=commented\nK=1 ; after the value\n#Hash=2\n",
       {{"S", "K", "d", 64}, {"S", ";K", "d", 64}, {"S", "#Hash", "d", 64}}},
      {"values longer than the buffer", longFile.c_str(),
       {{"S", "Long", "d", 256}, {"S", "Long", "d", 1024}, {"S", "Long", "d", 2}, {"S", "Long", "d", 1}}},
      {"repeated keys and sections", "[S]\nK=first\nK=second\n[S]\nL=other\n",
       {{"S", "K", "d", 64}, {"S", "L", "d", 64}}},
      {"lines without '=' and '=' in values", "[S]\nLonely\nK=a=b\n= no key\n",
       {{"S", "Lonely", "d", 64}, {"S", "K", "d", 64}, {"S", "", "d", 64}}},
      {"a section line with more after it", "[S] trailing\nK=v\n[T\nL=w\n", {{"S", "K", "d", 64}, {"T", "L", "d", 64}}},
      {"defaults", "[S]\nK=v\n",
       {{"S", "Missing", "default", 64}, {"S", "Missing", "default  ", 64}, {"S", "Missing", "", 64},
        {"None", "K", "default", 4}}},
      {"no line end at the end", "[S]\nK=last", {{"S", "K", "d", 64}}},
  };
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "korvex-windows-profile.ini";
  std::vector<std::string> differences;
  for (const Case& c : cases) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << c.content;
    for (const Query& q : c.queries) {
      std::vector<char> ours(q.size + 1, '#'), windows(q.size + 1, '#');
      const std::size_t ourCount =
          os::GetPrivateProfileString(q.section, q.key, q.defaultValue, ours.data(), q.size, file.string().c_str());
      const DWORD windowsCount = GetPrivateProfileStringA(q.section, q.key, q.defaultValue, windows.data(),
                                                          static_cast<DWORD>(q.size), file.string().c_str());
      const std::string ourText(ours.data()), windowsText(windows.data());
      if (ourText != windowsText || ourCount != windowsCount) {
        differences.push_back(std::string(c.name) + ": [" + q.section + "] " + q.key + " (buffer " +
                              std::to_string(q.size) + "): ours " + Shown(ourText) + " (" + std::to_string(ourCount) +
                              "), Windows " + Shown(windowsText) + " (" + std::to_string(windowsCount) + ")");
      }
    }
  }
  std::filesystem::remove(file);
  std::string listed;
  for (const std::string& difference : differences) listed += "\n  " + difference;
  EXPECT_TRUE(differences.empty()) << differences.size() << " differences:" << listed;
}

}  // namespace
