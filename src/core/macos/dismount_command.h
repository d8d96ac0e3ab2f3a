#ifndef RAMDISK_CORE_MACOS_DISMOUNT_COMMAND_H_
#define RAMDISK_CORE_MACOS_DISMOUNT_COMMAND_H_

#include <string>

#include "core/macos/command.h"
#include "core/macos/image_tool.h"

namespace ramdisk {

// Detaches the disk image behind MountPoint, a volume's mount point or the
// node path of a whole disk ("/dev/disk4"), forced when Force is set. The
// caller fills both fields, then calls Execute().
class TDismountCommand : public TCommand {
 public:
  // Runs the image tool of the running release (RunningImageTool).
  TDismountCommand();

  using TCommand::Execute;
  // With "hdiutil": "detach" MountPoint, and "-force" when forced.
  //
  // With "diskutil": a mount point is first asked for the disk behind it,
  // "info" "-plist" MountPoint, which is the first "APFSPhysicalStore" of
  // the "APFSPhysicalStores" of an APFS volume, else its "ParentWholeDisk";
  // a whole disk's node path is that disk. Then "unmountDisk" "force" DISK
  // when forced, and "eject" DISK.
  //
  // Each failed run raises the runner's error, and nothing after it runs; a
  // property list that names no disk raises EVolumeError "Unexpected XML
  // output" before anything is unmounted.
  void Execute();

  bool Force = false;
  std::string MountPoint;

 private:
  explicit TDismountCommand(ImageTool tool);

  // The disk that "diskutil info" names for MountPoint.
  std::string DiskBehindMountPoint();

  const ImageTool tool_;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_DISMOUNT_COMMAND_H_
