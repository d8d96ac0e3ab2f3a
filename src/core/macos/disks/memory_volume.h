#ifndef RAMDISK_CORE_MACOS_DISKS_MEMORY_VOLUME_H_
#define RAMDISK_CORE_MACOS_DISKS_MEMORY_VOLUME_H_

#include <cstdint>
#include <functional>
#include <string>

#include "core/common/exception.h"
#include "core/common/file_system.h"
#include "core/macos/disks/image_tool.h"

namespace ramdisk {

// The property list of the image tool named no device, or a new volume
// could not be put where it was asked for.
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
// unless set) and Name, for a quiet volume or one at a folder of its
// choice also Hidden, MountPoint and SystemMountPoint, then calls
// CreateVolume once.
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
  // The format runs "apfs" "create" Device Name for fsAPFS, "quiet"
  // "eraseDisk" "APFSX" Name Device for fsAPFSX, and "quiet" "erasevolume"
  // FileSystemName[FileSystem] Name Device for every other kind.
  //
  // "hdiutil" runs "attach" "-plist" "-nomount" "ram://N", undone by
  // "detach" Device. "diskutil" runs "image" "attach" "--plist" "--noMount"
  // "ram://N", undone by "eject" Device; a device it reports by its bare
  // identifier ("disk4") is taken as its node path ("/dev/disk4").
  //
  // With Hidden or a MountPoint, the formatted volume, which the system
  // mounted at SystemMountPoint, is placed (volume_placement.h): with
  // Hidden the quiet markers are written at SystemMountPoint; the volume's
  // node is looked up there (VolumeNodeAt); "diskutil" "unmount" node and
  // "diskutil" "mount" ["nobrowse" with Hidden] ["-mountPoint" MountPoint]
  // node run; and AwaitMount waits until the listing shows it at
  // MountedAt. Then OnMounted runs, when set. When any of these fails, the
  // whole RAM disk is detached, forced (TDismountCommand), and the failed
  // step's error raised, or the detach's when that fails too.
  void CreateVolume();

  std::string Device;
  std::string Name;
  // Whether the volume is mounted "nobrowse", out of Finder's sight, and
  // never indexed or logged.
  bool Hidden = false;
  // The existing, empty folder to mount the volume at; empty for the
  // system's choice, SystemMountPoint.
  std::string MountPoint;
  // Where the system mounts the volume when it is formatted: "/Volumes/" +
  // Name for the tool.
  std::string SystemMountPoint;
  // Where the volume is mounted once CreateVolume has placed it:
  // MountPoint, else SystemMountPoint. Empty again when it fails.
  std::string MountedAt;
  // A last step, with the volume at MountedAt, that the same undo covers.
  std::function<void()> OnMounted;

 private:
  void Place();
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_DISKS_MEMORY_VOLUME_H_
