#include "console/commands.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "console/input_error.h"
#include "console/program.h"
#include "core/common/command_line.h"
#include "core/common/directory.h"
#include "core/common/messages.h"
#include "core/common/text_output.h"
#include "core/macos/disks/dismount_command.h"

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

// Frees the RAM disk mounted at the directory `path`, named `shown` in
// every message.
void DelVolumeAt(const std::string& path, const std::string& shown) {
  if (!DirectoryExists(path))
    throw EInputError(FormatMessage(messages::kNoVolumesNamed, shown));
  const std::optional<TRamDisk> disk = RamDiskMountedAt(path);
  if (!disk)
    throw EInputError(FormatMessage(messages::kNotRamDisk, shown));
  FreeRamDisk(*disk, path);
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
  FreeRamDisk(*disk, device);
}

}  // namespace ramdisk
