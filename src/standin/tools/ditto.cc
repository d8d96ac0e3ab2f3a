// Stand-in for macOS "ditto SRC DST": copies a file, a link or a tree, the
// contents of a folder SRC merged into DST, which is made if missing. Modes,
// times and, as root, owners are kept; links are copied as links, never
// followed. Extended attributes, ACLs and resource forks, which this system
// may lack, are not copied.
//
// Failure injection: RAMDISK_STANDIN_FAIL_DITTO and RAMDISK_STANDIN_SIGNAL_DITTO
// as for every verb; RAMDISK_STANDIN_DITTO_HALFWAY="STATUS:TEXT" copies half
// of SRC's files and links (rounded up), then writes TEXT to standard error
// and exits with STATUS, as a copy that runs out of space does.

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "standin/tools/standin.h"

namespace {

std::size_t copies_left = static_cast<std::size_t>(-1);
std::string halfway;

timespec AccessTime(const struct stat& info) {
#if defined(__APPLE__)
  return info.st_atimespec;
#else
  return info.st_atim;
#endif
}

timespec ModifyTime(const struct stat& info) {
#if defined(__APPLE__)
  return info.st_mtimespec;
#else
  return info.st_mtim;
#endif
}

[[noreturn]] void Failed(const std::string& path) {
  standin::Fail(1, "ditto: " + path + ": " + std::strerror(errno));
}

std::size_t CountCopies(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    return 1;
  std::size_t count = 0;
  for (const std::string& name : standin::Entries(path))
    count += CountCopies(path + "/" + name);
  return count;
}

// Owner, mode and times of `source` onto `target`, the link itself for a link.
void KeepAttributes(const std::string& target, const struct stat& info) {
  if (::geteuid() == 0 && ::lchown(target.c_str(), info.st_uid, info.st_gid) != 0)
    Failed(target);
  if (!S_ISLNK(info.st_mode) && ::chmod(target.c_str(), info.st_mode & 07777) != 0)
    Failed(target);
  const timespec times[2] = {AccessTime(info), ModifyTime(info)};
  if (::utimensat(AT_FDCWD, target.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
    Failed(target);
}

[[noreturn]] void FailHalfway() {
  std::string::size_type colon = halfway.find(':');
  standin::Fail(std::atoi(halfway.substr(0, colon).c_str()),
                colon == std::string::npos ? "" : halfway.substr(colon + 1));
}

void CountOne() {
  if (copies_left-- == 0)
    FailHalfway();
}

void CopyFile(const std::string& source, const std::string& target) {
  const int in = ::open(source.c_str(), O_RDONLY);
  if (in < 0)
    Failed(source);
  const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (out < 0)
    Failed(target);
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      Failed(source);
    if (n == 0)
      break;
    for (ssize_t done = 0; done < n;) {
      ssize_t written = ::write(out, buffer + done, static_cast<std::size_t>(n - done));
      if (written < 0 && errno == EINTR)
        continue;
      if (written < 0)
        Failed(target);
      done += written;
    }
  }
  ::close(in);
  if (::close(out) != 0)
    Failed(target);
}

void Copy(const std::string& source, const std::string& target) {
  struct stat info;
  if (::lstat(source.c_str(), &info) != 0)
    Failed(source);
  if (S_ISDIR(info.st_mode)) {
    struct stat existing;
    if (::lstat(target.c_str(), &existing) != 0 && ::mkdir(target.c_str(), 0700) != 0)
      Failed(target);
    for (const std::string& name : standin::Entries(source))
      Copy(source + "/" + name, target + "/" + name);
  } else {
    CountOne();
    ::unlink(target.c_str());
    if (S_ISLNK(info.st_mode)) {
      std::vector<char> link(static_cast<std::size_t>(info.st_size) + 1);
      ssize_t size = ::readlink(source.c_str(), link.data(), link.size());
      if (size < 0)
        Failed(source);
      if (::symlink(std::string(link.data(), static_cast<std::size_t>(size)).c_str(),
                    target.c_str()) != 0)
        Failed(target);
    } else if (S_ISREG(info.st_mode)) {
      CopyFile(source, target);
    } else {
      standin::Fail(1, "ditto: " + source + ": not a file, folder or link");
    }
  }
  KeepAttributes(target, info);
}

}  // namespace

int main(int argc, char** argv) {
  standin::Begin(argc, argv, "ditto");
  if (argc != 3)
    standin::Fail(1, "usage: ditto src dst (the only form of this stand-in)");
  if (const char* value = std::getenv("RAMDISK_STANDIN_DITTO_HALFWAY"); value && *value) {
    halfway = value;
    copies_left = (CountCopies(argv[1]) + 1) / 2;
  }
  Copy(argv[1], argv[2]);
  if (!halfway.empty())
    FailHalfway();
  return 0;
}
