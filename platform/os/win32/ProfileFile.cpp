#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "../ProfileFile.h"

namespace os {

bool ReadWholeFile(const char* fileName, std::string& content) {
  content.clear();
  HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileType(file) == FILE_TYPE_DISK && !(GetFileAttributesA(fileName) & FILE_ATTRIBUTE_DIRECTORY);
  char chunk[4096];
  while (ok) {
    DWORD n = 0;
    ok = ReadFile(file, chunk, sizeof chunk, &n, nullptr) != FALSE;
    if (!ok || n == 0) break;
    content.append(chunk, n);
  }
  CloseHandle(file);
  return ok;
}

bool FileExists(const char* fileName) { return GetFileAttributesA(fileName) != INVALID_FILE_ATTRIBUTES; }

namespace {

// "<file>.XXXXXX" with six letters or digits: a temporary file of ours for the file.
std::string TemporaryName(const std::string& target) {
  static std::atomic<uint32_t> counter{0};
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  uint64_t seed = GetTickCount64() * 0x9E3779B97F4A7C15ull ^ (uint64_t{GetCurrentProcessId()} << 32) ^ counter++;
  std::string name = target + ".";
  for (int i = 0; i < 6; ++i, seed /= 36) name += kDigits[seed % 36];
  return name;
}

// A writer killed between making its temporary file and renaming it leaves the file behind. A
// writer holds its temporary file open without sharing until just before the rename, so one that
// can be deleted and is older than that moment belongs to a writer gone.
void RemoveStaleTemporaries(const std::string& target) {
  const std::string::size_type slash = target.find_last_of("\\/");
  const std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((target + ".??????").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  FILETIME nowFile{};
  GetSystemTimeAsFileTime(&nowFile);
  const auto ticks = [](const FILETIME& time) {
    return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;  // 100 ns steps
  };
  do {
    const std::string name = found.cFileName;
    const bool ours = IsTemporaryOf(name, base);
    if (ours && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        ticks(nowFile) - ticks(found.ftLastWriteTime) >= 20000000) {
      DeleteFileA((directory + name).c_str());
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

}  // namespace

bool WriteReplacing(const char* fileName, const std::string& content) {
  const std::string target(fileName);
  RemoveStaleTemporaries(target);
  std::string temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 16 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = TemporaryName(target);
    file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  std::size_t written = 0;
  while (ok && written < content.size()) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(content.size() - written < 0x10000000 ? content.size() - written : 0x10000000);
    ok = WriteFile(file, content.data() + written, chunk, &n, nullptr) != FALSE && n > 0;
    written += n;
  }
  ok = ok && FlushFileBuffers(file) != FALSE;
  ok = CloseHandle(file) != FALSE && ok;
  // A reader that holds the file open without letting it be deleted (a host's own reader, an
  // editor) blocks the replacement for as long as it reads: tried again for up to a second.
  for (int attempt = 0; ok; ++attempt) {
    if (MoveFileExA(temporary.c_str(), fileName, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) break;
    const DWORD error = GetLastError();
    ok = (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) && attempt < 100;
    if (ok) ::Sleep(10);
  }
  if (!ok) DeleteFileA(temporary.c_str());
  return ok;
}

}  // namespace os
