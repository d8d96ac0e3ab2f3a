#ifndef RAMDISK_CORE_MACOS_DISKS_RAM_DISK_LIST_H_
#define RAMDISK_CORE_MACOS_DISKS_RAM_DISK_LIST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/string_array.h"
#include "core/macos/xml/xml_document.h"

namespace ramdisk {

// One RAM disk as "hdiutil info -plist" lists it.
struct TRamDisk {
  // The node path of the image's whole disk, such as "/dev/disk4"; empty
  // when the image names no device.
  std::string Device;
  // 512 bytes for each sector of "ram://N"; none when N is not a plain
  // decimal number or the bytes would exceed 2^64 - 1.
  std::optional<std::uint64_t> Size;
  // The mount points of the image's entities, in the order listed; empty
  // when none of them is mounted.
  TStringArray MountPoints;
  // For each of MountPoints, the "dev-entry" of the entity mounted there
  // ("/dev/disk5s1" for an APFS volume); empty when it names none.
  TStringArray MountedDevices;
};

// Whether `device` is the node path of a whole disk: "/dev/disk" and one or
// more decimal digits, nothing else.
bool IsWholeDiskNode(std::string_view device);

// The RAM disks in `info`, the property list of "hdiutil info -plist", in
// the order listed: the entries of the top-level "images" array whose
// "image-path" begins with "ram://". The whole disk is the first entity
// whose "dev-entry" is "/dev/disk" and digits, passing over APFS containers
// that the system synthesised on top (their "content-hint" is the APFS
// container type); failing that, the first entity with a "dev-entry".
// Raises EVolumeError "Unexpected XML output" for a document that is not a
// "plist" holding a "dict", and EXPathError "Operation limit exceeded" when
// reading takes more than XmlDocument::kMaxXPathOperations steps in all.
std::vector<TRamDisk> ReadRamDisks(const XmlDocument& info);

// Runs "hdiutil info -plist" and reads its RAM disks. Raises the runner's
// errors for a failed run or output that is not XML, then those of
// ReadRamDisks.
std::vector<TRamDisk> ListRamDisks();

// The RAM disk that ListRamDisks shows mounted where the file system that
// holds `path` is mounted (MountPointHolding), byte for byte; none when no
// RAM disk with a device is mounted there. Raises what ListRamDisks raises.
std::optional<TRamDisk> RamDiskMountedAt(const std::string& path);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_DISKS_RAM_DISK_LIST_H_
