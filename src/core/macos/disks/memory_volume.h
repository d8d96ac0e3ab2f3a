#ifndef RAMDISK_CORE_MACOS_DISKS_MEMORY_VOLUME_H_
#define RAMDISK_CORE_MACOS_DISKS_MEMORY_VOLUME_H_

#include <cstdint>
#include <string>

#include "core/common/exception.h"
#include "core/common/file_system.h"
#include "core/macos/disks/image_tool.h"

namespace ramdisk {

// The property list of the image tool named no device.
class EVolumeError : public Exception {
 public:
  using Exception::Exception;
};

// The XPath query that reads the new device's node path out of the property
// list of an attach ("hdiutil attach -plist", "diskutil image attach
// --plist"): the "dev-entry" string of each entity under "system-entities";
// the first in document order is the device.
extern const char kDeviceQuery[];

// What every volume request carries. A new one is zero: fsRAW, 0 bytes.
class TBasicVolume {
 public:
  TFileSystem FileSystem = fsRAW;
  std::uint64_t Size = 0;
};

// A request for a RAM-backed volume. The caller fills Size, FileSystem (APFS
// unless set) and Name, then calls CreateVolume once.
class TMemoryVolume : public TBasicVolume {
 public:
  TMemoryVolume() { FileSystem = fsAPFS; }

  // Attaches Size / 512 sectors of RAM as a device with the image tool of
  // the running release (RunningImageTool), stores its node path in Device
  // and formats it with "diskutil" under Name. When the format fails the
  // device is detached again and the format's error raised; if that detach
  // fails too, its error is raised instead. Nothing is undone when the
  // attach or the device lookup fails.
  //
  // The format runs "apfs" "create" Device Name for fsAPFS, and "quiet"
  // "erasevolume" FileSystemName[FileSystem] Name Device for every other
  // kind.
  //
  // "hdiutil" runs "attach" "-plist" "-nomount" "ram://N", undone by
  // "detach" Device. "diskutil" runs "image" "attach" "--plist" "--noMount"
  // "ram://N", undone by "eject" Device; a device it reports by its bare
  // identifier ("disk4") is taken as its node path ("/dev/disk4").
  void CreateVolume();

  std::string Device;
  std::string Name;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_DISKS_MEMORY_VOLUME_H_
