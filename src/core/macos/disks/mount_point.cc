#include "core/macos/disks/mount_point.h"

#include <sys/mount.h>
#include <sys/param.h>

#include <cstring>

namespace ramdisk {

std::string MountPointHolding(const std::string& path) {
  struct statfs info;
  if (PretendMountPointsArePaths::Active() || ::statfs(path.c_str(), &info) != 0)
    return path;
  return std::string(info.f_mntonname, ::strnlen(info.f_mntonname, sizeof info.f_mntonname));
}

}  // namespace ramdisk
