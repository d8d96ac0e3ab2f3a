#ifndef RAMDISK_CORE_MACOS_DISKS_DISMOUNT_COMMAND_H_
#define RAMDISK_CORE_MACOS_DISKS_DISMOUNT_COMMAND_H_

#include <string>

#include "core/macos/disks/image_tool.h"
#include "core/macos/runner/command.h"

namespace ramdisk {

// Detaches the disk image whose whole disk MountPoint names ("/dev/disk4"),
// with its volumes, forced when Force is set. The caller fills both fields,
// then calls Execute().
class TDismountCommand : public TCommand {
 public:
  // Runs the image tool of the running release (RunningImageTool).
  TDismountCommand();

  using TCommand::Execute;
  // With "hdiutil": "detach" MountPoint, and "-force" when forced. With
  // "diskutil": "unmountDisk" "force" MountPoint when forced, then "eject"
  // MountPoint. A failed run raises the runner's error, and nothing after
  // it runs.
  void Execute();

  bool Force = false;
  std::string MountPoint;

 private:
  explicit TDismountCommand(ImageTool tool);

  const ImageTool tool_;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_DISKS_DISMOUNT_COMMAND_H_
