#include "core/macos/disks/dismount_command.h"

namespace ramdisk {

TDismountCommand::TDismountCommand() : TDismountCommand(RunningImageTool()) {}

TDismountCommand::TDismountCommand(ImageTool tool) : TCommand(ImageToolName(tool)), tool_(tool) {}

void TDismountCommand::Execute() {
  if (tool_ == ImageTool::kHdiutil) {
    TStringArray args = {"detach", MountPoint};
    if (Force)
      args.push_back("-force");
    Execute(args);
    return;
  }
  // eject has no force of its own.
  if (Force)
    Execute({"unmountDisk", "force", MountPoint});
  Execute({"eject", MountPoint});
}

}  // namespace ramdisk
