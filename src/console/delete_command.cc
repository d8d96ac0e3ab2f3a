#include "console/commands.h"

#include <algorithm>
#include <optional>
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

// The RAM disk mounted at the directory `path`, named `shown` in every
// message.
TRamDisk RamDiskAt(const std::string& path, const std::string& shown) {
  if (!DirectoryExists(path))
    throw EInputError(FormatMessage(messages::kNoVolumesNamed, shown));
  const std::optional<TRamDisk> disk = RamDiskMountedAt(path);
  if (!disk)
    throw EInputError(FormatMessage(messages::kNotRamDisk, shown));
  return *disk;
}

// Frees the RAM disk mounted at the directory `path`, saved first unless
// "-discard" is given; `shown` names it in every message.
void DelVolumeAt(const std::string& path, const std::string& shown) {
  const TRamDisk disk = RamDiskAt(path, shown);
  if (!FindCmdLineSwitch("discard"))
    SaveKeptVolume(MountPointHolding(path));
  FreeRamDisk(disk, path);
}

void SaveVolumeAt(const std::string& path, const std::string& shown) {
  RamDiskAt(path, shown);
  if (!SaveKeptVolume(MountPointHolding(path)))
    throw EInputError(FormatMessage(messages::kNoKeepFolder, shown));
}

}  // namespace

void DelDisk(const std::string& name, const std::string& volumes) {
  DelVolumeAt(MountPointPath(volumes, name), name);
}

void DelPath(const std::string& path) { DelVolumeAt(path, path); }

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
  SaveVolumeAt(MountPointPath(volumes, name), name);
}

void SavePath(const std::string& path) { SaveVolumeAt(path, path); }

}  // namespace ramdisk
