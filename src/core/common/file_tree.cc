#include "core/common/file_tree.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "core/common/unique_fd.h"

namespace ramdisk {

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

int FlushOne(const std::string& path, bool& needs_sync) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) {
    // A file its owner may not read is still written out by sync().
    needs_sync = true;
    return 0;
  }
  while (::fsync(fd.get()) != 0) {
    if (errno != EINTR)
      return errno;
  }
  return 0;
}

int FlushBelow(const std::string& path, bool& needs_sync) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0)
    return errno;
  if (S_ISDIR(info.st_mode)) {
    int error = 0;
    for (const std::string& name : EntryNames(path, error)) {
      if (int child = FlushBelow(path + "/" + name, needs_sync))
        return child;
    }
    if (error != 0)
      return error;
  } else if (!S_ISREG(info.st_mode)) {
    return 0;
  }
  return FlushOne(path, needs_sync);
}

}  // namespace

bool PathExists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

std::vector<std::string> EntryNames(const std::string& path, int& error) {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, DirCloser> dir(::opendir(path.c_str()));
  if (!dir) {
    error = errno;
    return names;
  }
  error = 0;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      error = errno;
      break;
    }
    const std::string name = entry->d_name;
    if (name != "." && name != "..")
      names.push_back(name);
  }
  if (error != 0)
    names.clear();
  return names;
}

int RemoveTree(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0)
    return errno == ENOENT ? 0 : errno;
  if (!S_ISDIR(info.st_mode))
    return ::unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
  if ((info.st_mode & S_IRWXU) != S_IRWXU)
    ::chmod(path.c_str(), (info.st_mode & 07777) | S_IRWXU);
  int error = 0;
  for (const std::string& name : EntryNames(path, error)) {
    if (int child = RemoveTree(path + "/" + name))
      return child;
  }
  if (error != 0)
    return error;
  return ::rmdir(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
}

int FlushTree(const std::string& path) {
  bool needs_sync = false;
  const int error = FlushBelow(path, needs_sync);
  if (needs_sync)
    ::sync();
  return error;
}

}  // namespace ramdisk
