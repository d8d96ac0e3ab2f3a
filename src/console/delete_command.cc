#include "console/commands.h"

#include <algorithm>
#include <vector>

#include "console/input_error.h"
#include "console/program.h"
#include "core/common/command_line.h"
#include "core/common/directory.h"
#include "core/common/messages.h"
#include "core/common/text_output.h"
#include "core/macos/dismount_command.h"

namespace ramdisk {

namespace {

// Detaches the image behind `target`, a mount point or a whole disk, between
// the two progress lines.
void Dismount(const std::string& target) {
  TDismountCommand command;
  StdOut().WriteLine("Removing memory volume...");
  command.MountPoint = target;
  command.Force = FindCmdLineSwitch("force");
  command.Execute();
  StdOut().WriteLine("Removed memory volume " + target);
}

}  // namespace

void DelDisk(const std::string& name, const std::string& volumes) {
  const std::string mount_point = MountPointPath(volumes, name);
  if (!DirectoryExists(mount_point))
    throw EInputError(FormatMessage(messages::kNoVolumesNamed, name));
  Dismount(mount_point);
}

void DelDevice(const std::string& device) {
  const std::vector<TRamDisk> disks = ListRamDisks();
  if (std::none_of(disks.begin(), disks.end(),
                   [&](const TRamDisk& disk) { return disk.Device == device; }))
    throw EInputError(FormatMessage(messages::kNoRamDisk, device));
  Dismount(device);
}

}  // namespace ramdisk
