#include "console/commands.h"

#include "console/input_error.h"
#include "console/program.h"
#include "core/common/command_line.h"
#include "core/common/directory.h"
#include "core/common/messages.h"
#include "core/common/text_output.h"
#include "core/macos/dismount_command.h"

namespace ramdisk {

void DelDisk(const std::string& name, const std::string& volumes) {
  const std::string mount_point = MountPointPath(volumes, name);
  if (!DirectoryExists(mount_point))
    throw EInputError(FormatMessage(messages::kNoVolumesNamed, name));

  TDismountCommand command;
  StdOut().WriteLine("Removing memory volume...");
  command.MountPoint = mount_point;
  command.Force = FindCmdLineSwitch("force");
  command.Execute();
  StdOut().WriteLine("Removed memory volume " + mount_point);
}

}  // namespace ramdisk
