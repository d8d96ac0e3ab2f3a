#include "console/mount_path.h"

#include <sys/stat.h>

#include <cstdlib>

#include "console/input_error.h"
#include "core/common/ascii.h"
#include "core/common/directory.h"
#include "core/common/messages.h"

namespace ramdisk {

std::string HomeExpanded(const std::string& given) {
  const char* home = std::getenv("HOME");
  // A HOME that is unset or not absolute gives no absolute path.
  if (!StartsWith(given, "~/") || home == nullptr || !StartsWith(home, "/"))
    return given;
  std::string path = home;
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path + (path == "/" ? "" : "/") + given.substr(2);
}

std::string AbsoluteMountPath(const std::string& given) {
  if (HoldsControlCharacter(given))
    throw EInputError(FormatMessage(messages::kInvalidMountPoint, given));
  std::string path = HomeExpanded(given);
  if (!StartsWith(path, "/") || HoldsControlCharacter(path))
    throw EInputError(FormatMessage(messages::kNotAbsolutePath, given));
  // As the listing names a mount point.
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

void CheckMountFolder(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0)
    throw EInputError(FormatMessage(messages::kMountPointMissing, path));
  if (IsMountPoint(path))
    throw EInputError(FormatMessage(messages::kMountPointInUse, path));
  if (!S_ISDIR(info.st_mode) || !IsEmptyDirectory(path))
    throw EInputError(FormatMessage(messages::kMountPointNotEmpty, path));
}

}  // namespace ramdisk
