// Where the system has no statfs() that names a mount point, the stand-in
// reports the path itself, so the stand-in world compares exact bytes.

#include "core/macos/disks/mount_point.h"

namespace ramdisk {

std::string MountPointHolding(const std::string& path) { return path; }

}  // namespace ramdisk
