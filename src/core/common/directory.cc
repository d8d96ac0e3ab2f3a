#include "core/common/directory.h"

#include <sys/stat.h>

#include "core/common/file_tree.h"

namespace ramdisk {

namespace {

bool StatDirectory(const std::string& path, struct stat& info) {
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool DirectoryExists(const std::string& path) {
  struct stat info;
  return StatDirectory(path, info);
}

bool IsEmptyDirectory(const std::string& path) {
  int error = 0;
  return EntryNames(path, error).empty() && error == 0;
}

bool IsMountPoint(const std::string& path) {
  struct stat self, parent;
  if (!StatDirectory(path, self) || !StatDirectory(path + "/..", parent))
    return false;
  return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

bool NamesSameDirectory(const std::string& a, const std::string& b) {
  if (a == b)
    return true;
  struct stat first, second;
  return StatDirectory(a, first) && StatDirectory(b, second) && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

}  // namespace ramdisk
