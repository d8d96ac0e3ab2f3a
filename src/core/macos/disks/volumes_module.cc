#include "core/macos/disks/volumes_module.h"

namespace ramdisk {

TDiskNotify* DiskNotify = nullptr;

MacOSVolumesModule::MacOSVolumesModule() : disk_notify_(std::make_unique<TDiskNotify>()) {
  DiskNotify = disk_notify_.get();
}

MacOSVolumesModule::~MacOSVolumesModule() { DiskNotify = nullptr; }

}  // namespace ramdisk
