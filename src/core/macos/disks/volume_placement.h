#ifndef RAMDISK_CORE_MACOS_DISKS_VOLUME_PLACEMENT_H_
#define RAMDISK_CORE_MACOS_DISKS_VOLUME_PLACEMENT_H_

#include <chrono>
#include <string>

namespace ramdisk {

// The steps that move a freshly formatted volume out of sight or to a
// folder of the user's choice. Each raises EVolumeError, or the runner's
// errors, with the one-line message of the step that failed.

// How often, and how far apart, the listing is read while a mount shows.
inline constexpr int kMountChecks = 50;
inline constexpr std::chrono::milliseconds kMountCheckInterval{100};

// Writes the empty files ".metadata_never_index" (Spotlight leaves the
// volume alone) and ".fseventsd/no_log" (no file-system event log) at
// `root`, the mount point of a volume; both are read when it is mounted.
// Raises "Cannot write PATH: REASON" for the first that cannot be written.
void WriteQuietMarkers(const std::string& root);

// The node of the volume that the listing (ListRamDisks) shows mounted at
// `mount_point` on the RAM disk whose whole disk is `device`: for APFS the
// volume ("/dev/disk5s1"), for other kinds `device` itself. A mount point
// matches when it names the same directory (NamesSameDirectory). Raises
// "No device is mounted at MOUNT_POINT" when there is none.
std::string VolumeNodeAt(const std::string& device, const std::string& mount_point);

// Reads the listing until it shows `node` of `device` mounted at
// `mount_point`, at most kMountChecks times with a Pause of
// kMountCheckInterval between two reads. Raises "Volume was not mounted at
// MOUNT_POINT" when it never does.
void AwaitMount(const std::string& device, const std::string& node, const std::string& mount_point);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_DISKS_VOLUME_PLACEMENT_H_
