#include "console/commands.h"

#include <algorithm>
#include <vector>

#include "console/input_error.h"
#include "console/keep_folder.h"
#include "console/program.h"
#include "core/common/command_line.h"
#include "core/common/directory.h"
#include "core/common/messages.h"
#include "core/common/text_output.h"
#include "core/macos/disks/dismount_command.h"
#include "core/macos/disks/mount_point.h"

namespace ramdisk {

namespace {

// The first RAM disk that -list shows for which `matches` holds, or null.
// Only a disk with a device can be detached.
template <typename Matches>
const TRamDisk* FindRamDisk(const std::vector<TRamDisk>& disks, Matches matches) {
  auto found = std::find_if(disks.begin(), disks.end(), [&](const TRamDisk& disk) {
    return !disk.Device.empty() && matches(disk);
  });
  return found == disks.end() ? nullptr : &*found;
}

// Detaches the whole disk of `disk`, with its volumes, between the two
// progress lines, which name it `shown`.
void FreeRamDisk(const TRamDisk& disk, const std::string& shown) {
  TDismountCommand command;
  StdOut().WriteLine("Removing memory volume...");
  command.MountPoint = disk.Device;
  command.Force = FindCmdLineSwitch("force");
  command.Execute();
  StdOut().WriteLine("Removed memory volume " + shown);
}

}  // namespace

TRamDisk RamDiskMountedAt(const std::string& name, const std::string& mount_point) {
  if (!DirectoryExists(mount_point))
    throw EInputError(FormatMessage(messages::kNoVolumesNamed, name));
  // Compared as the system names the volume there: a plain directory, a
  // link, or a name in another letter case or normalisation matches no
  // mount point that the listing shows.
  const std::string mounted_on = MountPointHolding(mount_point);
  const std::vector<TRamDisk> disks = ListRamDisks();
  const TRamDisk* disk = FindRamDisk(disks, [&](const TRamDisk& candidate) {
    const TStringArray& points = candidate.MountPoints;
    return std::find(points.begin(), points.end(), mounted_on) != points.end();
  });
  if (disk == nullptr)
    throw EInputError(FormatMessage(messages::kNotRamDisk, name));
  return *disk;
}

void DelDisk(const std::string& name, const std::string& volumes) {
  const std::string mount_point = MountPointPath(volumes, name);
  const TRamDisk disk = RamDiskMountedAt(name, mount_point);
  if (!FindCmdLineSwitch("discard"))
    SaveKeptVolume(mount_point);
  FreeRamDisk(disk, mount_point);
}

void DelDevice(const std::string& device) {
  const std::vector<TRamDisk> disks = ListRamDisks();
  const TRamDisk* disk =
      FindRamDisk(disks, [&](const TRamDisk& candidate) { return candidate.Device == device; });
  if (disk == nullptr)
    throw EInputError(FormatMessage(messages::kNoRamDisk, device));
  if (!FindCmdLineSwitch("discard")) {
    for (const std::string& mount_point : disk->MountPoints)
      SaveKeptVolume(mount_point);
  }
  FreeRamDisk(*disk, device);
}

void SaveDisk(const std::string& name, const std::string& volumes) {
  const std::string mount_point = MountPointPath(volumes, name);
  RamDiskMountedAt(name, mount_point);
  if (!SaveKeptVolume(mount_point))
    throw EInputError(FormatMessage(messages::kNoKeepFolder, name));
}

}  // namespace ramdisk
