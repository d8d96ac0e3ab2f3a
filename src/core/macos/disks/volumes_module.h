#ifndef RAMDISK_CORE_MACOS_DISKS_VOLUMES_MODULE_H_
#define RAMDISK_CORE_MACOS_DISKS_VOLUMES_MODULE_H_

#include <memory>

#include "core/macos/disks/disk_notify.h"

namespace ramdisk {

// The disk-change notifier of module Core.MacOS.Volumes while the module is
// started, null before and after. Owned by the module object.
extern TDiskNotify* DiskNotify;

// Start-up (construction) and shutdown (destruction) of module
// Core.MacOS.Volumes: creates DiskNotify on the calling thread, which is
// then the thread its events would arrive on, and frees it again. One
// instance at a time, on the main thread, around the main block.
class MacOSVolumesModule {
 public:
  MacOSVolumesModule();
  ~MacOSVolumesModule();

  MacOSVolumesModule(const MacOSVolumesModule&) = delete;
  MacOSVolumesModule& operator=(const MacOSVolumesModule&) = delete;

 private:
  std::unique_ptr<TDiskNotify> disk_notify_;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_DISKS_VOLUMES_MODULE_H_
