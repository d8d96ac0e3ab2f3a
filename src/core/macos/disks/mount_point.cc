#include "core/macos/disks/mount_point.h"

#include <sys/mount.h>
#include <sys/param.h>

namespace ramdisk {

std::string MountPointHolding(const std::string& path) {
  if (PretendMountPointsArePaths::Active())
    return path;
  struct statfs info = {};
  const int status = ::statfs(path.c_str(), &info);
  return MountPointFromStatfs(path, status, info.f_mntonname, sizeof info.f_mntonname);
}

}  // namespace ramdisk
