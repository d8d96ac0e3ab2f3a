#ifndef RAMDISK_CORE_MACOS_DISKS_MOUNT_POINT_H_
#define RAMDISK_CORE_MACOS_DISKS_MOUNT_POINT_H_

#include <cstring>
#include <string>

namespace ramdisk {

// The mount point of the file system that holds `path`, as the system
// reports it: statfs()'s f_mntonname on macOS, which settles letter case,
// Unicode normalisation and symbolic links the way the file system does;
// a plain directory below /Volumes gives the mount point of the volume
// that holds /Volumes. `path` itself where statfs() fails. The platform
// stand-in of other systems answers `path` itself.
std::string MountPointHolding(const std::string& path);

// What MountPointHolding answers for `path` from statfs()'s answer: `path`
// itself when the call failed (`status` not 0), else the name that
// f_mntonname, the `size` bytes at `mounted_on`, holds before its first
// zero byte, or all of them when none is zero.
inline std::string MountPointFromStatfs(const std::string& path, int status, const char* mounted_on,
                                        std::size_t size) {
  if (status != 0)
    return path;
  const void* end = std::memchr(mounted_on, 0, size);
  return std::string(mounted_on, end ? static_cast<const char*>(end) - mounted_on : size);
}

// For tests: while alive, MountPointHolding answers `path` itself on the
// calling thread, as the platform stand-in does, whatever the system.
class PretendMountPointsArePaths {
 public:
  PretendMountPointsArePaths() { ++Depth(); }
  ~PretendMountPointsArePaths() { --Depth(); }
  PretendMountPointsArePaths(const PretendMountPointsArePaths&) = delete;
  PretendMountPointsArePaths& operator=(const PretendMountPointsArePaths&) = delete;

  static bool Active() { return Depth() > 0; }

 private:
  static int& Depth() {
    static thread_local int depth = 0;
    return depth;
  }
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_DISKS_MOUNT_POINT_H_
