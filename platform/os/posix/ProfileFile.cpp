#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

#include "../ProfileFile.h"

namespace os {

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

bool FileExists(const char* fileName) {
  struct stat existing {};
  return stat(fileName, &existing) == 0;
}

namespace {

// A writer killed between making its temporary file and renaming it leaves the file behind. Every
// writer holds a lock on its temporary file until the rename, so one that nobody holds (and that
// is older than the moment between its making and its locking) belongs to a writer gone.
void RemoveStaleTemporaries(const std::string& target) {
  const std::size_t slash = target.find_last_of('/');
  const std::string directory = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  DIR* listing = opendir(directory.c_str());
  if (listing == nullptr) return;
  const time_t now = time(nullptr);
  while (const dirent* entry = readdir(listing)) {
    if (!IsTemporaryOf(entry->d_name, base)) continue;
    const std::string path = directory + "/" + entry->d_name;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && now - info.st_mtime >= 2 &&
        flock(fd, LOCK_EX | LOCK_NB) == 0) {
      unlink(path.c_str());
    }
    close(fd);
  }
  closedir(listing);
}

}  // namespace

bool WriteReplacing(const char* fileName, const std::string& content) {
  const std::string target(fileName);
  RemoveStaleTemporaries(target);
  std::string pattern = target + ".XXXXXX";
  std::vector<char> tempName(pattern.begin(), pattern.end());
  tempName.push_back('\0');
  const int fd = mkstemp(tempName.data());
  if (fd < 0) return false;
  // Held until the rename: a file of ours that nobody holds is a stale one.
  bool ok = flock(fd, LOCK_EX) == 0;
  struct stat existing {};
  const mode_t mode = stat(fileName, &existing) == 0 ? (existing.st_mode & 07777) : 0644;
  ok = ok && fchmod(fd, mode) == 0;
  std::size_t written = 0;
  while (ok && written < content.size()) {
    const ssize_t n = write(fd, content.data() + written, content.size() - written);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) written += static_cast<std::size_t>(n);
  }
  ok = ok && fsync(fd) == 0;
  ok = ok && std::rename(tempName.data(), fileName) == 0;
  if (!ok) std::remove(tempName.data());
  ok = (close(fd) == 0) && ok;
  return ok;
}

}  // namespace os
